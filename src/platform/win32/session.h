// What the toolkit's windows share: the module, the window classes, a hidden
// owner for windows kept out of the task bar, brushes, pictures, the list of
// top-level windows and the stack of modal ones.
#pragma once

#include <windows.h>

#include <map>
#include <vector>

#include "platform/ui.h"
#include "platform/win32/handles.h"

namespace wd::win32 {

class WindowImpl;
class Widget;

inline constexpr wchar_t kWindowClass[] = L"WardeckWindow";
inline constexpr wchar_t kPictureClass[] = L"WardeckPicture";
inline constexpr wchar_t kOwnerClass[] = L"WardeckOwner";

// The pictures compiled into the program, loaded on first use.
class Art {
public:
    explicit Art(HINSTANCE instance) : instance_(instance) {}
    // Draws `image` stretched over `area`, picking the bitmap made for the
    // nearest resolution.
    void draw(HDC dc, ui::Image image, const RECT& area, UINT dpi);
    // The program icon (or the tray icon) at `size` pixels; the caller owns it.
    UniqueIcon icon(int resourceId, int size) const;

private:
    HBITMAP bitmap(int resourceId);
    HINSTANCE instance_;
    std::map<int, UniqueBitmap> bitmaps_;
};

class Session {
public:
    explicit Session(HINSTANCE instance);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    HINSTANCE instance() const { return instance_; }
    // Hidden top-level window that owns the windows kept out of the task bar
    // and takes the posted flush; made the first time it is asked for.
    HWND parking();
    HBRUSH brush(ui::Rgb colour);
    Art& art() { return art_; }
    UINT_PTR nextTimerId() { return ++lastTimerId_; }

    void addWindow(WindowImpl* w) { windows_.push_back(w); }
    void removeWindow(WindowImpl* w);
    bool isMain(const WindowImpl* w) const { return !windows_.empty() && windows_.front() == w; }
    bool anyOtherVisible(const WindowImpl* w) const;
    WindowImpl* windowFromHwnd(HWND hwnd) const;

    // Modal windows, innermost last. Only the innermost one takes input.
    void pushModal(WindowImpl* w);
    void removeModal(WindowImpl* w);
    bool modalOpen() const { return !modal_.empty(); }

    // Keyboard handling the message loops do before dispatching (Tab moves
    // the focus). True when the message was used up.
    bool preTranslate(const MSG& msg);

    // Rows of check-box arrays come and go, and move, by the hundred inside
    // one handler; on screen each such change costs a repaint (and, under
    // Wine, server round trips). So a row's moves, shows and hides are put off
    // until the handler returns (the dispatch scope calls flushShows, see
    // dispatch.h) and then done in one SetWindowPos each without redrawing,
    // followed by one repaint of each container touched. The windows of rows
    // let go are destroyed then too, hidden first the same way. Outside the
    // handler nothing of this shows.
    void deferSync(Widget* control);
    // A control with a change queued is going away.
    void forgetSync(Widget* control);
    void deferDestroy(UniqueWindow control);
    void flushShows();

    // The session of this process (there is one toolkit).
    static Session* current();

private:
    void updateEnabling();
    void postFlush();

    HINSTANCE instance_;
    ATOM windowAtom_ = 0;
    ATOM pictureAtom_ = 0;
    ATOM ownerAtom_ = 0;
    UniqueWindow parking_;
    std::map<COLORREF, UniqueBrush> brushes_;
    Art art_;
    UINT_PTR lastTimerId_ = 0x5744;  // anything not 0
    std::vector<WindowImpl*> windows_;
    std::vector<WindowImpl*> modal_;
    std::vector<Widget*> pendingSyncs_;
    std::vector<UniqueWindow> pendingDestroys_;
    bool flushPosted_ = false;
};

}  // namespace wd::win32
