// What the toolkit's windows share: the module, the window classes, a hidden
// owner for windows kept out of the task bar, brushes, pictures, the rows
// waiting to be shown, the list of top-level windows and the stack of modal
// ones.
#pragma once

#include <windows.h>

#include <map>
#include <vector>

#include "platform/ui.h"
#include "platform/win32/art.h"
#include "platform/win32/handles.h"
#include "platform/win32/row_batch.h"

namespace wd::win32 {

class WindowImpl;

inline constexpr wchar_t kWindowClass[] = L"WardeckWindow";
inline constexpr wchar_t kPictureClass[] = L"WardeckPicture";
inline constexpr wchar_t kOwnerClass[] = L"WardeckOwner";

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
    // The rows whose window changes wait for the end of the handler.
    RowBatch& rows() { return rows_; }
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

    // The session of this process (there is one toolkit).
    static Session* current();

private:
    void updateEnabling();

    HINSTANCE instance_;
    ATOM windowAtom_ = 0;
    ATOM pictureAtom_ = 0;
    ATOM ownerAtom_ = 0;
    UniqueWindow parking_;
    std::map<COLORREF, UniqueBrush> brushes_;
    Art art_;
    RowBatch rows_;
    UINT_PTR lastTimerId_ = 0x5744;  // anything not 0
    std::vector<WindowImpl*> windows_;
    std::vector<WindowImpl*> modal_;
};

}  // namespace wd::win32
