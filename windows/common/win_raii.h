// Owners for Win32 handles: each closes its handle exactly once.
#pragma once

#include <windows.h>

#include <utility>

namespace qorwin {

template <typename T, typename Traits>
class UniqueWin {
public:
    UniqueWin() = default;
    explicit UniqueWin(T h) : h_(h) {}
    ~UniqueWin() { reset(); }
    UniqueWin(const UniqueWin&) = delete;
    UniqueWin& operator=(const UniqueWin&) = delete;
    UniqueWin(UniqueWin&& o) noexcept : h_(std::exchange(o.h_, Traits::empty())) {}
    UniqueWin& operator=(UniqueWin&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, Traits::empty());
        }
        return *this;
    }
    void reset(T h = Traits::empty()) {
        if (Traits::valid(h_)) Traits::close(h_);
        h_ = h;
    }
    T release() { return std::exchange(h_, Traits::empty()); }
    T get() const { return h_; }
    explicit operator bool() const { return Traits::valid(h_); }

private:
    T h_ = Traits::empty();
};

struct HandleTraits {
    static HANDLE empty() { return nullptr; }
    static bool valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { CloseHandle(h); }
};
struct KeyTraits {
    static HKEY empty() { return nullptr; }
    static bool valid(HKEY h) { return h != nullptr; }
    static void close(HKEY h) { RegCloseKey(h); }
};
struct ModuleTraits {
    static HMODULE empty() { return nullptr; }
    static bool valid(HMODULE h) { return h != nullptr; }
    static void close(HMODULE h) { FreeLibrary(h); }
};
template <typename G>
struct GdiTraits {
    static G empty() { return nullptr; }
    static bool valid(G h) { return h != nullptr; }
    static void close(G h) { DeleteObject(h); }
};
struct DcTraits {
    static HDC empty() { return nullptr; }
    static bool valid(HDC h) { return h != nullptr; }
    static void close(HDC h) { DeleteDC(h); }
};
struct MenuTraits {
    static HMENU empty() { return nullptr; }
    static bool valid(HMENU h) { return h != nullptr; }
    static void close(HMENU h) { DestroyMenu(h); }
};

using UniqueHandle = UniqueWin<HANDLE, HandleTraits>;
using UniqueKey = UniqueWin<HKEY, KeyTraits>;
using UniqueModule = UniqueWin<HMODULE, ModuleTraits>;
using UniqueBitmap = UniqueWin<HBITMAP, GdiTraits<HBITMAP>>;
using UniqueBrush = UniqueWin<HBRUSH, GdiTraits<HBRUSH>>;
using UniquePen = UniqueWin<HPEN, GdiTraits<HPEN>>;
using UniqueMemDc = UniqueWin<HDC, DcTraits>;
using UniqueMenu = UniqueWin<HMENU, MenuTraits>;

// Selects an object into a DC for the lifetime of the scope.
class SelectIn {
public:
    SelectIn(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
    ~SelectIn() {
        if (old_ != nullptr && old_ != HGDI_ERROR) SelectObject(dc_, old_);
    }
    SelectIn(const SelectIn&) = delete;
    SelectIn& operator=(const SelectIn&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A window DC from GetDC, released at scope end.
class WindowDc {
public:
    explicit WindowDc(HWND w) : w_(w), dc_(GetDC(w)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(w_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND w_;
    HDC dc_;
};

// Holds a slim reader/writer lock exclusively for its scope.
class SrwGuard {
public:
    explicit SrwGuard(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~SrwGuard() { ReleaseSRWLockExclusive(&lock_); }
    SrwGuard(const SrwGuard&) = delete;
    SrwGuard& operator=(const SrwGuard&) = delete;

private:
    SRWLOCK& lock_;
};

}  // namespace qorwin
