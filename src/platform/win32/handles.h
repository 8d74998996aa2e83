// Owners for the Windows handles the toolkit makes.
//
// One move-only template; a small policy per handle kind says what the handle
// type is, which value means "none" and how the handle is given back. Borrowed
// handles (a parent's HWND, the font a control is using) stay plain values.
#pragma once

#include <windows.h>

#include <utility>

namespace wd::win32 {

template <typename Policy>
class Unique {
public:
    using Handle = typename Policy::Handle;

    Unique() noexcept = default;
    explicit Unique(Handle h) noexcept : h_(h) {}
    ~Unique() { reset(); }

    Unique(Unique&& other) noexcept : h_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;

    Handle get() const noexcept { return h_; }
    // For a call that hands back a new handle through a pointer: the old one
    // is closed, and the new one is owned from the moment it exists.
    Handle* put() noexcept {
        reset();
        return &h_;
    }
    explicit operator bool() const noexcept { return !(h_ == Policy::empty()); }

    // Gives up ownership without closing (the handle is gone already or
    // belongs to someone else now).
    Handle release() noexcept { return std::exchange(h_, Policy::empty()); }

    void reset(Handle h = Policy::empty()) noexcept {
        Handle old = std::exchange(h_, h);
        if (!(old == Policy::empty())) Policy::close(old);
    }

private:
    Handle h_ = Policy::empty();
};

// The part of a policy for a handle kind whose "none" is null.
template <typename H>
struct NullIsEmpty {
    using Handle = H;
    static constexpr Handle empty() noexcept { return nullptr; }
};

struct WindowPolicy : NullIsEmpty<HWND> {
    static void close(Handle h) noexcept { ::DestroyWindow(h); }
};

template <typename T>
struct GdiObjectPolicy : NullIsEmpty<T> {
    static void close(T h) noexcept { ::DeleteObject(h); }
};

struct IconPolicy : NullIsEmpty<HICON> {
    static void close(Handle h) noexcept { ::DestroyIcon(h); }
};

struct MenuPolicy : NullIsEmpty<HMENU> {
    static void close(Handle h) noexcept { ::DestroyMenu(h); }
};

// A memory device context from CreateCompatibleDC.
struct MemoryDcPolicy : NullIsEmpty<HDC> {
    static void close(Handle h) noexcept { ::DeleteDC(h); }
};

// A window's device context from GetDC; ReleaseDC needs the window too.
struct WindowDc {
    HWND window = nullptr;
    HDC dc = nullptr;
    friend bool operator==(const WindowDc&, const WindowDc&) = default;
};
struct WindowDcPolicy {
    using Handle = WindowDc;
    static constexpr Handle empty() noexcept { return {}; }
    static void close(Handle h) noexcept { ::ReleaseDC(h.window, h.dc); }
};

using UniqueWindow = Unique<WindowPolicy>;
using UniqueFont = Unique<GdiObjectPolicy<HFONT>>;
using UniqueBrush = Unique<GdiObjectPolicy<HBRUSH>>;
using UniqueBitmap = Unique<GdiObjectPolicy<HBITMAP>>;
using UniqueIcon = Unique<IconPolicy>;
using UniqueMenu = Unique<MenuPolicy>;
using UniqueMemoryDc = Unique<MemoryDcPolicy>;
using UniqueWindowDc = Unique<WindowDcPolicy>;

inline UniqueWindowDc windowDc(HWND window) { return UniqueWindowDc(WindowDc{window, ::GetDC(window)}); }

// Selects a GDI object into a DC for one scope and puts the old one back.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(obj ? ::SelectObject(dc, obj) : nullptr) {}
    ~SelectGuard() {
        if (old_) ::SelectObject(dc_, old_);
    }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// BeginPaint / EndPaint for one WM_PAINT.
class PaintScope {
public:
    explicit PaintScope(HWND window) noexcept : window_(window) { dc_ = ::BeginPaint(window, &ps_); }
    ~PaintScope() { ::EndPaint(window_, &ps_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC dc() const noexcept { return dc_; }
    const RECT& area() const noexcept { return ps_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_ = nullptr;
};

}  // namespace wd::win32
