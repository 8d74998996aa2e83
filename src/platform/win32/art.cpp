#include "platform/win32/art.h"

#include <algorithm>
#include <iterator>

#include "platform/win32/resource_ids.h"

namespace wd::win32 {

namespace {

struct ImageResources {
    ui::Image image;
    int normal;
    int doubled;
};

constexpr ImageResources kImageResources[] = {
    {ui::Image::Banner, WD_BITMAP_BANNER, WD_BITMAP_BANNER_2X},
    {ui::Image::HSeparator, WD_BITMAP_HSEPARATOR, WD_BITMAP_HSEPARATOR_2X},
    {ui::Image::VSeparator, WD_BITMAP_VSEPARATOR, WD_BITMAP_VSEPARATOR_2X},
    {ui::Image::ExitBanner, WD_BITMAP_EXIT_BANNER, WD_BITMAP_EXIT_BANNER_2X},
};

}  // namespace

HBITMAP Art::bitmap(int resourceId) {
    auto it = bitmaps_.find(resourceId);
    if (it == bitmaps_.end()) {
        UniqueBitmap loaded(static_cast<HBITMAP>(
            ::LoadImageW(instance_, MAKEINTRESOURCEW(resourceId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        it = bitmaps_.emplace(resourceId, std::move(loaded)).first;
    }
    return it->second.get();
}

UniqueIcon Art::icon(int resourceId, int size) const {
    return UniqueIcon(static_cast<HICON>(
        ::LoadImageW(instance_, MAKEINTRESOURCEW(resourceId), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

void Art::draw(HDC dc, ui::Image image, const RECT& area, UINT dpi) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0 || image == ui::Image::None) return;

    const auto* entry = std::find_if(std::begin(kImageResources), std::end(kImageResources),
                                     [image](const ImageResources& r) { return r.image == image; });
    if (entry == std::end(kImageResources)) return;
    HBITMAP picture = bitmap(dpi > 96 ? entry->doubled : entry->normal);
    if (!picture) picture = bitmap(entry->normal);
    if (!picture) return;

    BITMAP info{};
    if (!::GetObjectW(picture, sizeof(info), &info)) return;
    const UniqueMemoryDc source(::CreateCompatibleDC(dc));
    if (!source) return;
    const SelectGuard selected(source.get(), picture);
    if (info.bmWidth == width && info.bmHeight == height) {
        ::BitBlt(dc, area.left, area.top, width, height, source.get(), 0, 0, SRCCOPY);
    } else {
        const int oldMode = ::SetStretchBltMode(dc, HALFTONE);
        POINT oldOrigin{};
        ::SetBrushOrgEx(dc, 0, 0, &oldOrigin);
        ::StretchBlt(dc, area.left, area.top, width, height, source.get(), 0, 0, info.bmWidth, info.bmHeight,
                     SRCCOPY);
        ::SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
        ::SetStretchBltMode(dc, oldMode);
    }
}

}  // namespace wd::win32
