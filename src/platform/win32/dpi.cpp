#include "platform/win32/dpi.h"

#include "platform/win32/functions.h"
#include "platform/win32/handles.h"

namespace wd::win32::dpi {
namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetDpiForSystemFn = UINT(WINAPI*)();
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using SetThreadDpiAwarenessContextFn = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);

struct Api {
    GetDpiForWindowFn getDpiForWindow = nullptr;
    GetDpiForSystemFn getDpiForSystem = nullptr;
    SystemParametersInfoForDpiFn systemParametersInfoForDpi = nullptr;
    AdjustWindowRectExForDpiFn adjustWindowRectExForDpi = nullptr;
    GetSystemMetricsForDpiFn getSystemMetricsForDpi = nullptr;
    SetThreadDpiAwarenessContextFn setThreadDpiAwarenessContext = nullptr;

    Api() {
        const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
        getDpiForWindow = lookUp<GetDpiForWindowFn>(user32, "GetDpiForWindow");
        getDpiForSystem = lookUp<GetDpiForSystemFn>(user32, "GetDpiForSystem");
        systemParametersInfoForDpi = lookUp<SystemParametersInfoForDpiFn>(user32, "SystemParametersInfoForDpi");
        adjustWindowRectExForDpi = lookUp<AdjustWindowRectExForDpiFn>(user32, "AdjustWindowRectExForDpi");
        getSystemMetricsForDpi = lookUp<GetSystemMetricsForDpiFn>(user32, "GetSystemMetricsForDpi");
        setThreadDpiAwarenessContext =
            lookUp<SetThreadDpiAwarenessContextFn>(user32, "SetThreadDpiAwarenessContext");
    }
};

const Api& api() {
    static const Api instance;
    return instance;
}

UINT deviceDpi() {
    const UniqueWindowDc screen = windowDc(nullptr);
    const int value = screen.get().dc ? ::GetDeviceCaps(screen.get().dc, LOGPIXELSY) : 0;
    return value > 0 ? static_cast<UINT>(value) : kDefault;
}

}  // namespace

int toPixels(int twips, UINT dpi) { return ::MulDiv(twips, static_cast<int>(dpi), 1440); }

int toTwips(int pixels, UINT dpi) { return ::MulDiv(pixels, 1440, static_cast<int>(dpi ? dpi : kDefault)); }

void enablePerMonitorAwareness() {
    const auto set = api().setThreadDpiAwarenessContext;
    if (!set) return;
    if (!set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
}

UINT system() {
    if (const auto get = api().getDpiForSystem) {
        const UINT value = get();
        if (value) return value;
    }
    return deviceDpi();
}

UINT forWindow(HWND window) {
    if (const auto get = api().getDpiForWindow; get && window) {
        const UINT value = get(window);
        if (value) return value;
    }
    return system();
}

namespace {

// The face as the system names it, but let GDI pick the character set: a face
// asked for with ANSI_CHARSET gets no Chinese glyphs where font linking is
// missing, while DEFAULT_CHARSET lets the mapper fall back to a face that
// has them.
LOGFONTW anyCharset(LOGFONTW font) {
    font.lfCharSet = DEFAULT_CHARSET;
    return font;
}

}  // namespace

LOGFONTW messageFont(UINT dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (const auto forDpi = api().systemParametersInfoForDpi;
        forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
        return anyCharset(metrics.lfMessageFont);
    }
    metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        LOGFONTW font = metrics.lfMessageFont;
        font.lfHeight = ::MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(system()));
        return anyCharset(font);
    }
    // Nothing to ask: 9 points of the default GUI face.
    LOGFONTW font{};
    font.lfHeight = -::MulDiv(9, static_cast<int>(dpi), 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(font.lfFaceName, L"Segoe UI", LF_FACESIZE);
    return font;
}

RECT adjustWindowRect(RECT client, DWORD style, DWORD exStyle, UINT dpi) {
    RECT r = client;
    if (const auto adjust = api().adjustWindowRectExForDpi; adjust && adjust(&r, style, FALSE, exStyle, dpi))
        return r;
    r = client;
    ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
    return r;
}

int systemMetric(int index, UINT dpi) {
    if (const auto get = api().getSystemMetricsForDpi) return get(index, dpi);
    return ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(system()));
}

}  // namespace wd::win32::dpi
