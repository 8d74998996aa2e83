// Screen resolution: twips to pixels, and the per-monitor DPI functions of
// Windows 10, looked up at run time so that older systems fall back to the
// system DPI.
#pragma once

#include <windows.h>

namespace wd::win32::dpi {

inline constexpr UINT kDefault = 96;

// The one place where twips become pixels (and back).
int toPixels(int twips, UINT dpi);
int toTwips(int pixels, UINT dpi);

// Asks for per-monitor awareness on this thread when the manifest has not
// already given it (call before the first window is made).
void enablePerMonitorAwareness();

// The DPI a window is drawn at; the system DPI when the system cannot say.
UINT forWindow(HWND window);
UINT system();

// The font Windows uses for message boxes, sized for `dpi`.
LOGFONTW messageFont(UINT dpi);

// The outer rectangle of a window whose client area is `client`.
RECT adjustWindowRect(RECT client, DWORD style, DWORD exStyle, UINT dpi);

// GetSystemMetrics for a DPI.
int systemMetric(int index, UINT dpi);

}  // namespace wd::win32::dpi
