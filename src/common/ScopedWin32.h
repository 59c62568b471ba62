#pragma once
// One small owner per kind of handle, so every handle is released exactly
// once. Each is move-only: a handle changes owners, it is never shared.
#include <winsock2.h>
#include <windows.h>

#include "common/IpHelperWin32.h"

// Kernel handle: both NULL and INVALID_HANDLE_VALUE mean empty.
class ScopedHandle {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(HANDLE h) : h_(h) {}
    ~ScopedHandle() { Close(); }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& o) noexcept : h_(o.Release()) {}
    ScopedHandle& operator=(ScopedHandle&& o) noexcept {
        if (this != &o) { Close(); h_ = o.Release(); }
        return *this;
    }
    bool IsValid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return h_; }
    // Lent to calls that take a HANDLE, as 7-Zip's CHandle is; ownership
    // stays here.
    operator HANDLE() const { return h_; }
    HANDLE Release() { HANDLE h = h_; h_ = nullptr; return h; }
    void Reset(HANDLE h = nullptr) { Close(); h_ = h; }
    void Close() {
        if (IsValid()) CloseHandle(h_);
        h_ = nullptr;
    }
private:
    HANDLE h_ = nullptr;
};

// Events and threads are kernel handles; the names say what a field holds.
// A thread's owner joins it before the handle goes.
using ScopedEvent = ScopedHandle;
using ScopedThread = ScopedHandle;

// A Windows Sockets socket.
class ScopedSocket {
public:
    ScopedSocket() = default;
    explicit ScopedSocket(SOCKET s) : s_(s) {}
    ~ScopedSocket() { Close(); }
    ScopedSocket(const ScopedSocket&) = delete;
    ScopedSocket& operator=(const ScopedSocket&) = delete;
    ScopedSocket(ScopedSocket&& o) noexcept : s_(o.Release()) {}
    ScopedSocket& operator=(ScopedSocket&& o) noexcept {
        if (this != &o) { Close(); s_ = o.Release(); }
        return *this;
    }
    bool IsValid() const { return s_ != INVALID_SOCKET; }
    SOCKET Get() const { return s_; }
    SOCKET Release() { SOCKET s = s_; s_ = INVALID_SOCKET; return s; }
    void Reset(SOCKET s = INVALID_SOCKET) { Close(); s_ = s; }
    void Close() {
        if (IsValid()) closesocket(s_);
        s_ = INVALID_SOCKET;
    }
    // A reset instead of the closing handshake: nothing stays in TIME_WAIT
    // after thousands of connects.
    void CloseAbortive() {
        if (IsValid()) {
            LINGER linger = {1, 0};
            setsockopt(s_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&linger), sizeof linger);
        }
        Close();
    }
private:
    SOCKET s_ = INVALID_SOCKET;
};

// An ICMP handle of IP Helper; INVALID_HANDLE_VALUE is empty.
class ScopedIcmp {
public:
    ScopedIcmp() = default;
    explicit ScopedIcmp(HANDLE h) : h_(h) {}
    ~ScopedIcmp() { Close(); }
    ScopedIcmp(const ScopedIcmp&) = delete;
    ScopedIcmp& operator=(const ScopedIcmp&) = delete;
    ScopedIcmp(ScopedIcmp&& o) noexcept : h_(o.h_) { o.h_ = INVALID_HANDLE_VALUE; }
    ScopedIcmp& operator=(ScopedIcmp&& o) noexcept {
        if (this != &o) { Close(); h_ = o.h_; o.h_ = INVALID_HANDLE_VALUE; }
        return *this;
    }
    bool IsValid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE Get() const { return h_; }
    void Close() {
        if (IsValid()) iphlp::IcmpCloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }
private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

// GDI object (font, bitmap, brush, pen).
template <class T>
class ScopedGdi {
public:
    ScopedGdi() = default;
    explicit ScopedGdi(T h) : h_(h) {}
    ~ScopedGdi() { Close(); }
    ScopedGdi(const ScopedGdi&) = delete;
    ScopedGdi& operator=(const ScopedGdi&) = delete;
    bool IsValid() const { return h_ != nullptr; }
    T Get() const { return h_; }
    T Release() { T h = h_; h_ = nullptr; return h; }
    void Reset(T h = nullptr) { Close(); h_ = h; }
    void Close() {
        if (h_) DeleteObject(h_);
        h_ = nullptr;
    }
private:
    T h_ = nullptr;
};

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

// A menu that no window owns (a loaded popup menu).
class ScopedMenu {
public:
    ScopedMenu() = default;
    explicit ScopedMenu(HMENU h) : h_(h) {}
    ~ScopedMenu() { Close(); }
    ScopedMenu(const ScopedMenu&) = delete;
    ScopedMenu& operator=(const ScopedMenu&) = delete;
    ScopedMenu(ScopedMenu&& o) noexcept : h_(o.Release()) {}
    ScopedMenu& operator=(ScopedMenu&& o) noexcept {
        if (this != &o) { Close(); h_ = o.Release(); }
        return *this;
    }
    bool IsValid() const { return h_ != nullptr; }
    HMENU Get() const { return h_; }
    HMENU Release() { HMENU h = h_; h_ = nullptr; return h; }
    void Close() {
        if (h_) DestroyMenu(h_);
        h_ = nullptr;
    }
private:
    HMENU h_ = nullptr;
};
