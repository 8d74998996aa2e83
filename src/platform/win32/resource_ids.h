// Resource numbers shared by res/wardeck.rc and the toolkit. Plain macros, so
// that the resource compiler can read this file too.
#pragma once

#define WD_ICON_PROGRAM 1
#define WD_ICON_TRAY 2

// Pictures at 96 DPI (one pixel per 15 twips) and at twice that.
#define WD_BITMAP_BANNER 101
#define WD_BITMAP_HSEPARATOR 102
#define WD_BITMAP_VSEPARATOR 103
#define WD_BITMAP_EXIT_BANNER 104
#define WD_BITMAP_BANNER_2X 111
#define WD_BITMAP_HSEPARATOR_2X 112
#define WD_BITMAP_VSEPARATOR_2X 113
#define WD_BITMAP_EXIT_BANNER_2X 114
