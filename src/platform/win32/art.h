// The pictures compiled into the program, loaded on first use.
#pragma once

#include <windows.h>

#include <map>

#include "platform/ui.h"
#include "platform/win32/handles.h"

namespace wd::win32 {

class Art {
public:
    explicit Art(HINSTANCE instance) : instance_(instance) {}
    // Draws `image` stretched over `area`, picking the bitmap made for the
    // nearest resolution.
    void draw(HDC dc, ui::Image image, const RECT& area, UINT dpi);
    // The program icon at `size` pixels; the caller owns it.
    UniqueIcon icon(int resourceId, int size) const;

private:
    HBITMAP bitmap(int resourceId);
    HINSTANCE instance_;
    std::map<int, UniqueBitmap> bitmaps_;
};

}  // namespace wd::win32
