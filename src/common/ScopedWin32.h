#pragma once
// One small owner per kind of handle, so every handle is released exactly
// once. Each is move-only: a handle changes owners, it is never shared. The
// kinds differ only in what "empty" is and how a handle is released.
#include <winsock2.h>
#include <windows.h>

#include "common/IpHelperWin32.h"

template <class Kind>
class ScopedResource {
public:
    using Type = typename Kind::Type;

    ScopedResource() = default;
    explicit ScopedResource(Type h) : h_(h) {}
    ~ScopedResource() { Close(); }
    ScopedResource(const ScopedResource&) = delete;
    ScopedResource& operator=(const ScopedResource&) = delete;
    ScopedResource(ScopedResource&& o) noexcept : h_(o.Release()) {}
    ScopedResource& operator=(ScopedResource&& o) noexcept {
        if (this != &o) Reset(o.Release());
        return *this;
    }

    bool IsValid() const { return Kind::IsValid(h_); }
    Type Get() const { return h_; }
    Type Release() {
        Type h = h_;
        h_ = Kind::Empty();
        return h;
    }
    void Reset(Type h = Kind::Empty()) {
        Close();
        h_ = h;
    }
    void Close() {
        if (IsValid()) Kind::Free(h_);
        h_ = Kind::Empty();
    }

private:
    Type h_ = Kind::Empty();
};

// Kernel handle: both NULL and INVALID_HANDLE_VALUE mean empty.
struct KernelHandleKind {
    using Type = HANDLE;
    static HANDLE Empty() { return nullptr; }
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Free(HANDLE h) { CloseHandle(h); }
};

class ScopedHandle : public ScopedResource<KernelHandleKind> {
public:
    using ScopedResource::ScopedResource;
    // Lent to calls that take a HANDLE, as 7-Zip's CHandle is; ownership
    // stays here.
    operator HANDLE() const { return Get(); }
};

// Events and threads are kernel handles; the names say what a field holds.
// A thread's owner joins it before the handle goes.
using ScopedEvent = ScopedHandle;
using ScopedThread = ScopedHandle;

struct SocketKind {
    using Type = SOCKET;
    static SOCKET Empty() { return INVALID_SOCKET; }
    static bool IsValid(SOCKET s) { return s != INVALID_SOCKET; }
    static void Free(SOCKET s) { closesocket(s); }
};

class ScopedSocket : public ScopedResource<SocketKind> {
public:
    using ScopedResource::ScopedResource;
    // A reset instead of the closing handshake: nothing stays in TIME_WAIT
    // after thousands of connects.
    void CloseAbortive() {
        if (IsValid()) {
            LINGER linger = {1, 0};
            setsockopt(Get(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&linger), sizeof linger);
        }
        Close();
    }
};

// An ICMP handle of IP Helper; IcmpCreateFile fails with INVALID_HANDLE_VALUE.
struct IcmpKind {
    using Type = HANDLE;
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Free(HANDLE h) { iphlp::IcmpCloseHandle(h); }
};
using ScopedIcmp = ScopedResource<IcmpKind>;

// GDI object (font, bitmap, brush, pen).
template <class T>
struct GdiKind {
    using Type = T;
    static T Empty() { return nullptr; }
    static bool IsValid(T h) { return h != nullptr; }
    static void Free(T h) { DeleteObject(h); }
};
template <class T>
using ScopedGdi = ScopedResource<GdiKind<T>>;

// A menu that no window owns (a loaded popup menu).
struct MenuKind {
    using Type = HMENU;
    static HMENU Empty() { return nullptr; }
    static bool IsValid(HMENU h) { return h != nullptr; }
    static void Free(HMENU h) { DestroyMenu(h); }
};
using ScopedMenu = ScopedResource<MenuKind>;

// Selects a GDI object into a device context for the lifetime of the scope.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
    ~ScopedSelect() { if (old_) SelectObject(dc_, old_); }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;
private:
    HDC dc_;
    HGDIOBJ old_;
};
