#pragma once
// One small owner per kind of handle, so every handle is released exactly once.
#include <windows.h>

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
    HANDLE Release() { HANDLE h = h_; h_ = nullptr; return h; }
    void Reset(HANDLE h = nullptr) { Close(); h_ = h; }
    void Close() {
        if (IsValid()) CloseHandle(h_);
        h_ = nullptr;
    }
private:
    HANDLE h_ = nullptr;
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
    bool IsValid() const { return h_ != nullptr; }
    HMENU Get() const { return h_; }
    void Close() {
        if (h_) DestroyMenu(h_);
        h_ = nullptr;
    }
private:
    HMENU h_ = nullptr;
};

class ScopedFindHandle {
public:
    explicit ScopedFindHandle(HANDLE h) : h_(h) {}
    ~ScopedFindHandle() { if (IsValid()) FindClose(h_); }
    ScopedFindHandle(const ScopedFindHandle&) = delete;
    ScopedFindHandle& operator=(const ScopedFindHandle&) = delete;
    bool IsValid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE Get() const { return h_; }
private:
    HANDLE h_;
};
