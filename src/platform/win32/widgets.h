// The Win32 side of the window toolkit: one C++ object per control window.
//
// Every control is a real child window. Its position is kept in twips and
// turned into pixels for the DPI of its top-level window whenever it is placed,
// so a DPI change only has to place everything again. The controls of a
// top-level window are kept in a list in creation order: for re-layout, for
// the font, and for the Tab order.
//
// Every window is bound to its C++ object one way (binding.h); the
// container a control sits on (a top-level window or a picture box) routes
// WM_COMMAND, WM_CTLCOLOR*, WM_VSCROLL and WM_NOTIFY to that object. The
// control's window procedure is replaced by ours (plain GWLP_WNDPROC
// subclassing: SetWindowSubclass looks up a window property on every message,
// which is slow under Wine) for mouse and keyboard events and to notice when
// Windows destroys it first (its parent went away).
#pragma once

#include <windows.h>
// commctrl.h needs the types of windows.h first.
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui.h"
#include "platform/win32/handles.h"

namespace wd::win32 {

class Session;
class WindowImpl;
class TimerImpl;

COLORREF colorRef(ui::Rgb c);
ui::Rgb systemColor(int index);

// What the controls share: a window's text, which button a mouse message is
// about (false for other messages), and the colours of a control's paint.
std::string windowText(HWND h);
void setWindowText(HWND h, std::string_view text);
bool mouseButton(UINT msg, ui::MouseButton& button);
HBRUSH paintWith(HDC dc, HBRUSH brush, ui::Rgb back, COLORREF text);

// ---- containers ------------------------------------------------------------

// A window that holds controls: a top-level window or a picture box.
class ContainerImpl {
public:
    virtual ~ContainerImpl() = default;
    virtual HWND containerHwnd() const = 0;
    virtual WindowImpl* containerTop() = 0;
    virtual ui::Rgb containerBack() const = 0;
    // The object behind a container given to the toolkit; throws for foreign
    // containers (a programming error).
    static ContainerImpl& from(ui::Container& c);
    // The container whose window is `hwnd`, or nullptr.
    static ContainerImpl* fromHwnd(HWND hwnd);

protected:
    // Notifications that children send to their parent. True when handled.
    static bool routeChildMessage(HWND self, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
};

// ---- the per-control part --------------------------------------------------

class Widget {
public:
    explicit Widget(WindowImpl* top, const ui::Layout& l);
    virtual ~Widget();
    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;

    HWND hwnd() const { return hwnd_.get(); }
    WindowImpl* top() const { return top_; }
    // The container this control sits on, while both exist.
    ContainerImpl* parentContainer() const;

    // From the parent container.
    virtual void command(WORD /*code*/) {}
    virtual HBRUSH ctlColor(HDC /*dc*/, UINT /*msg*/) { return nullptr; }
    virtual void scroll(WORD /*code*/) {}
    virtual LRESULT notify(const NMHDR& /*header*/) { return 0; }
    // From the control's own window procedure; true when fully handled.
    virtual bool filter(UINT /*msg*/, WPARAM /*wp*/, LPARAM /*lp*/, LRESULT& /*result*/) { return false; }

    virtual bool tabStop() const { return false; }
    // Places the window for the top-level window's current DPI.
    virtual void place();
    // The top-level window's DPI or font changed (after place()).
    virtual void dpiChanged() {}
    void applyFont(HFONT font, bool redraw);

    // Finds the object of a control from any window inside it, looking up
    // from `h` to the direct child of `container`.
    static Widget* fromChild(HWND container, HWND h);

protected:
    // Makes the control's window on `parent` and hooks it up.
    // `raise` puts it above the controls made before it; rows of a check-box
    // array never overlap each other and skip that.
    void create(ContainerImpl& parent, const wchar_t* cls, DWORD style, DWORD exStyle, std::wstring_view text,
                bool raise = true);
    HWND parentHwnd() const { return hwnd() ? ::GetParent(hwnd()) : nullptr; }
    // The control's own handling of a message (for filters that want it
    // before doing their part). `original` is original() taken beforehand when
    // the object may be gone by then.
    WNDPROC original() const { return original_; }
    static LRESULT callOriginal(WNDPROC original, HWND h, UINT msg, WPARAM wp, LPARAM lp);
    UINT dpi() const;
    virtual RECT pixelRect(UINT dpi) const;
    // A control whose window changes wait for the end of the handler (a row
    // of a check-box array, see RowBatch) queues a change and says so.
    virtual bool queueChange() { return false; }
    // Gives the window up, unhooked, for its owner to destroy.
    UniqueWindow releaseWindow();
    void doSetRect(const ui::Rect& r);
    void doSetVisible(bool v);
    void doSetEnabled(bool v);
    ui::Rgb parentBack() const;
    HBRUSH brushFor(ui::Rgb c) const;
    void invalidate();

    std::string name_;
    int id_;
    ui::Rect rect_;
    bool visible_ = true;
    bool enabled_ = true;
    RECT placed_{};  // where the window was last put, in pixels
    std::optional<ui::Rgb> back_;

private:
    friend class WindowImpl;
    static LRESULT CALLBACK controlProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    void unhook();

    WNDPROC original_ = nullptr;  // the control's own window procedure

    WindowImpl* top_;
    Widget* prev_ = nullptr;
    Widget* next_ = nullptr;
    UniqueWindow hwnd_;
};

// The ui::Control part that every control shares.
template <typename Interface>
class ControlImpl : public Interface, public Widget {
public:
    ControlImpl(WindowImpl* top, const ui::Layout& l) : Widget(top, l) {}
    const std::string& name() const override { return name_; }
    int id() const override { return id_; }
    ui::Rect rect() const override { return rect_; }
    void setRect(const ui::Rect& r) override { doSetRect(r); }
    bool visible() const override { return visible_; }
    void setVisible(bool v) override { doSetVisible(v); }
    bool enabled() const override { return enabled_; }
    void setEnabled(bool v) override { doSetEnabled(v); }
    ui::Rgb backColor() const override { return back_ ? *back_ : defaultBack(); }
    void setBackColor(ui::Rgb c) override {
        if (back_ == c) return;
        back_ = c;
        invalidate();
    }
    void setFocus() override {
        if (hwnd()) ::SetFocus(hwnd());
    }
    bool hasFocus() const override { return hwnd() && ::GetFocus() == hwnd(); }

protected:
    virtual ui::Rgb defaultBack() const { return parentBack(); }
};

// ---- controls ----------------------------------------------------------------

class ButtonImpl final : public ControlImpl<ui::Button> {
public:
    ButtonImpl(ContainerImpl& parent, const ui::Layout& l);
    std::string caption() const override { return caption_; }
    void setCaption(std::string_view text) override;
    void command(WORD code) override;
    HBRUSH ctlColor(HDC dc, UINT msg) override;
    bool tabStop() const override { return true; }

private:
    ui::Rgb defaultBack() const override;
    std::string caption_;
};

class CheckBoxImpl final : public ControlImpl<ui::CheckBox> {
public:
    // Without a parent (its container is gone) the box has no window. An
    // array row starts hidden (see copyOf).
    CheckBoxImpl(ContainerImpl* parent, const ui::Layout& l, bool arrayRow);
    ~CheckBoxImpl() override;
    std::string caption() const override { return caption_; }
    void setCaption(std::string_view text) override;
    int value() const override { return value_; }
    void setValue(int v) override;
    std::string tag() const override { return tag_; }
    void setTag(std::string_view t) override { tag_ = t; }
    void setArrayIndex(int index) override;
    using ui::CheckBox::setToolTip;
    void setToolTip(std::string_view key, std::function<std::string()> text) override;
    // The tip is about to show: fills in its text.
    void giveToolTipText(NMTTDISPINFOW& request);

    // ---- a row of a check-box array (see RowBatch) ----
    // Applies the row's queued caption, place and visibility without
    // redrawing; says whether its container needs a repaint. What did not
    // change costs no call. A row whose window is not made yet is made here.
    enum class Sync { Nothing, Repaint };
    Sync syncQuietly();
    bool hasPendingText() const { return pendingText_.has_value(); }
    // A row whose window is still to be made, and made shown.
    bool comesShown() const { return !hwnd() && visible_; }
    // The window a queued change paints in.
    HWND syncParent() const;

    void command(WORD code) override;
    HBRUSH ctlColor(HDC dc, UINT msg) override;
    bool hasFocus() const override { return focused_; }
    bool filter(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    bool tabStop() const override { return true; }

    // Element `index` of the array whose element 0 is `element0`.
    static std::unique_ptr<CheckBoxImpl> copyOf(const CheckBoxImpl& element0, int index);

private:
    bool focused_ = false;  // between WM_SETFOCUS and WM_KILLFOCUS
    bool queueChange() override;
    bool queueText(std::string_view text);
    // A row whose window is made at the first flush: makes it; false when it
    // cannot be made (its container is gone).
    bool materialize();

    std::string caption_;
    std::string tag_;
    std::string tipKey_;
    std::function<std::string()> tipText_;
    std::wstring tipBuffer_;  // the text last given, which the tip control copies
    void applyToolTip();
    bool hasTip_ = false;
    int value_ = 0;
    int arrayBase_ = 0;  // element 0's id, for a copy
    bool row_ = false;     // a row of a check-box array
    bool queued_ = false;  // ... with a change queued
    std::optional<std::wstring> pendingText_;  // its caption, not yet given to its window
    HWND lazyParent_ = nullptr;                // not made yet: the container it goes in
};

class LabelImpl final : public ControlImpl<ui::Label> {
public:
    LabelImpl(ContainerImpl& parent, const ui::Layout& l);
    std::string caption() const override { return caption_; }
    void setCaption(std::string_view text) override;
    void setAutoSize(bool on, bool wordWrap) override;
    void setForeColor(ui::Rgb c) override;
    ui::Rgb foreColor() const override;
    void setTransparent(bool on) override;

    HBRUSH ctlColor(HDC dc, UINT msg) override;
    void dpiChanged() override;

private:
    void fit();
    std::string caption_;
    std::optional<ui::Rgb> fore_;
    bool autoSize_ = false;
    bool wordWrap_ = false;
    bool transparent_ = false;
};

class TextBoxImpl final : public ControlImpl<ui::TextBox> {
public:
    TextBoxImpl(ContainerImpl& parent, const ui::Layout& l, ui::TextBoxStyle style);
    std::string text() const override;
    void setText(std::string_view t) override;

    HBRUSH ctlColor(HDC dc, UINT msg) override;
    bool filter(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    bool tabStop() const override { return true; }

private:
    ui::Rgb defaultBack() const override;
    ui::TextBoxStyle style_;
};

class ComboBoxImpl final : public ControlImpl<ui::ComboBox> {
public:
    ComboBoxImpl(ContainerImpl& parent, const ui::Layout& l);
    std::string text() const override;
    void setText(std::string_view t) override;
    void insertItem(int index, std::string_view text) override;
    int itemCount() const override;
    std::string item(int index) const override;

    HBRUSH ctlColor(HDC dc, UINT msg) override;
    bool tabStop() const override { return true; }
    void dpiChanged() override { place(); }

private:
    ui::Rgb defaultBack() const override;
    RECT pixelRect(UINT dpi) const override;
};

class ListBoxImpl final : public ControlImpl<ui::ListBox> {
public:
    ListBoxImpl(ContainerImpl& parent, const ui::Layout& l);
    int count() const override;
    std::string item(int index) const override;
    void addItem(std::string_view text) override;
    void removeItem(int index) override;
    void clear() override;
    int selectedIndex() const override;
    void setSelectedIndex(int index) override;

    HBRUSH ctlColor(HDC dc, UINT msg) override;
    bool filter(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    bool tabStop() const override { return true; }

private:
    ui::Rgb defaultBack() const override;
};

class VScrollBarImpl final : public ControlImpl<ui::VScrollBar> {
public:
    VScrollBarImpl(ContainerImpl& parent, const ui::Layout& l);
    int min() const override { return min_; }
    int max() const override { return max_; }
    int value() const override { return value_; }
    void setRange(int min, int max) override;
    void setValue(int v) override;
    int smallChange() const override { return small_; }
    int largeChange() const override { return large_; }
    void setSteps(int smallStep, int largeStep) override;

    void scroll(WORD code) override;

private:
    ui::Rgb defaultBack() const override;
    int clamp(long long v) const;
    void sync();
    void change(int v);
    int min_ = 0, max_ = 0, value_ = 0, small_ = 1, large_ = 1;
};

class PictureImpl final : public ControlImpl<ui::Picture>, public ContainerImpl {
public:
    PictureImpl(ContainerImpl& parent, const ui::Layout& l, bool bordered);
    ~PictureImpl() override;
    void setImage(ui::Image img) override;
    ui::Image image() const override { return image_; }
    bool bordered() const override { return bordered_; }

    HWND containerHwnd() const override { return hwnd(); }
    WindowImpl* containerTop() override { return top(); }
    ui::Rgb containerBack() const override { return backColor(); }

    static LRESULT CALLBACK proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);

private:
    void paint();
    Session& session_;
    ui::Image image_ = ui::Image::None;
    bool bordered_;
};

// ---- top-level windows -------------------------------------------------------

class WindowImpl final : public ui::Window, public ContainerImpl {
public:
    WindowImpl(Session& session, std::string_view name, const ui::WindowStyle& style);
    ~WindowImpl() override;

    std::string caption() const override { return caption_; }
    void setCaption(std::string_view text) override;
    int outerWidth() const override;
    int outerHeight() const override;
    void setOuterSize(int width, int height) override;
    void setClientSize(int width, int height) override;
    int clientWidth() const override;
    int clientHeight() const override;
    ui::Rgb backColor() const override { return back_; }
    void setBackColor(ui::Rgb c) override;
    bool visible() const override;
    bool minimized() const override;
    void show() override;
    void hide() override;
    void minimize() override;
    void restore() override;
    void showModal(ui::Window* owner) override;
    void close() override;
    void requestClose() override;
    std::uintptr_t nativeHandle() const override;

    HWND containerHwnd() const override { return hwnd_.get(); }
    WindowImpl* containerTop() override { return this; }
    ui::Rgb containerBack() const override { return back_; }

    HWND hwnd() const { return hwnd_.get(); }
    Session& session() const { return session_; }
    UINT dpi() const { return dpi_; }
    HFONT font() const { return font_.get(); }
    // The tool-tip window of this window's controls, made on first use.
    HWND toolTip();
    // Its font and widest line for the window's DPI and screen.
    void fitToolTip();

    void addWidget(Widget* w);
    void removeWidget(Widget* w);
    void addTimer(UINT_PTR id, TimerImpl* t) { timers_[id] = t; }
    void removeTimer(UINT_PTR id) { timers_.erase(id); }
    // Moves the focus to the next (or previous) control in creation order.
    void tabFrom(HWND focus, bool backwards);

    static LRESULT CALLBACK proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);

private:
    // One named handler per message; false: Windows' default handling follows.
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    bool onTimer(UINT_PTR id);
    LRESULT onEraseBackground(HDC dc);
    void onDpiChanged(UINT newDpi, const RECT& suggested);
    bool onActivate(WPARAM wp);
    void onSize(WPARAM kind);
    SIZE outerPixels() const;
    void applySize();
    void centre();
    void endModal();
    void loadFont();
    void loadIcons();
    void focusFirst();
    std::vector<Widget*> tabStops() const;

    Session& session_;
    std::string name_;
    ui::WindowStyle style_;
    DWORD wsStyle_ = 0;
    DWORD wsExStyle_ = 0;
    UniqueWindow hwnd_;
    UINT dpi_ = 96;
    UniqueFont font_;
    UniqueIcon bigIcon_, smallIcon_;
    UniqueWindow toolTip_;
    std::string caption_;
    ui::Rgb back_;
    enum class SizeMode { Outer, Client } sizeMode_ = SizeMode::Outer;
    int widthTwips_ = 4800;
    int heightTwips_ = 3600;
    bool shownOnce_ = false;
    bool pendingMinimize_ = false;
    bool inModal_ = false;
    bool sizePending_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    HWND savedFocus_ = nullptr;
    Widget* first_ = nullptr;
    Widget* last_ = nullptr;
    std::map<UINT_PTR, TimerImpl*> timers_;
};

// ---- timers and menus --------------------------------------------------------

class TimerImpl final : public ui::Timer {
public:
    TimerImpl(WindowImpl& owner, UINT_PTR id, int intervalMs);
    ~TimerImpl() override;
    int interval() const override { return interval_; }
    bool enabled() const override { return enabled_; }
    void setEnabled(bool on) override;

    void tick();
    // The owner window is going away first.
    void detach() { owner_ = nullptr; }

private:
    WindowImpl* owner_;
    UINT_PTR id_;
    int interval_;
    bool enabled_ = false;
};

class PopupMenuImpl final : public ui::PopupMenu {
public:
    PopupMenuImpl(WindowImpl& owner, std::string_view title, std::vector<Item> entries);
    const std::string& caption() const override { return caption_; }
    const std::vector<Item>& items() const override { return items_; }
    void popup() override;

private:
    HWND owner_;  // borrowed
    std::string caption_;
    std::vector<Item> items_;
    UniqueMenu menu_;
};

}  // namespace wd::win32
