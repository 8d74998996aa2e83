// The window toolkit as the program's logic sees it.
//
// Every position and size is in twips (1440 per inch) relative to the control's
// container; the toolkit converts to pixels at the window's DPI in one place.
// Texts are UTF-8. Two implementations exist: the real one over Win32
// (platform/win32) and a headless one for the unit tests (tests/support).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace wd::ui {

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kWhite{255, 255, 255};

// Which mouse button an event is about.
enum class MouseButton { Left, Right, Middle };

// One row of a layout table: what a control is called, where it stands and what
// it reads. `id` is the control's stable identifier inside its window (the Win32
// side uses it as the child-window ID, so the automation client can find it).
struct Layout {
    const char* name;
    int id;
    Rect rect;
    const char* caption;
};

// Pictures drawn by us and compiled into the executable.
enum class Image { None, Banner, HSeparator, VSeparator, ExitBanner };

class Control {
public:
    virtual ~Control() = default;
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    virtual const std::string& name() const = 0;
    virtual int id() const = 0;

    virtual Rect rect() const = 0;
    virtual void setRect(const Rect& r) = 0;
    void setLeft(int v) { Rect r = rect(); r.left = v; setRect(r); }
    void setTop(int v) { Rect r = rect(); r.top = v; setRect(r); }

    virtual bool visible() const = 0;
    virtual void setVisible(bool v) = 0;
    virtual bool enabled() const = 0;
    virtual void setEnabled(bool v) = 0;

    virtual Rgb backColor() const = 0;
    virtual void setBackColor(Rgb c) = 0;

    // Gives the control the keyboard focus.
    virtual void setFocus() {}
    // Whether the control has the keyboard focus.
    virtual bool hasFocus() const { return false; }
};

class Button : public Control {
public:
    virtual std::string caption() const = 0;
    virtual void setCaption(std::string_view text) = 0;
    std::function<void()> onClick;
};

// A check box. Setting its value from code raises onClick exactly as a user's
// click does, and only when the value changes. onClick runs after the value has
// changed; a handler may set the value again (the nested call raises onClick
// again for the new value, and the outer call then returns).
class CheckBox : public Control {
public:
    virtual std::string caption() const = 0;
    virtual void setCaption(std::string_view text) = 0;
    virtual int value() const = 0;  // 0 clear, 1 ticked
    virtual void setValue(int v) = 0;
    virtual std::string tag() const = 0;
    virtual void setTag(std::string_view t) = 0;
    // A copy of element 0 of a control array now stands for element `index`:
    // its id becomes element 0's id + index.
    virtual void setArrayIndex(int index) = 0;
    // The box's tool tip. `key` names what the tip shows (empty: no tip); the
    // text is asked of `text` only when the tip is about to show, and is kept
    // until the tip is given another key.
    virtual void setToolTip(std::string_view key, std::function<std::string()> text) = 0;
    void setToolTip(std::string_view fixed) {
        setToolTip(fixed, [t = std::string(fixed)] { return t; });
    }
    std::function<void()> onClick;
    std::function<void(MouseButton, int x, int y)> onMouseDown;
};

class Label : public Control {
public:
    virtual std::string caption() const = 0;
    // With auto-size on, setting the caption resizes the label to its text:
    // wrapped to the current width (height grows) when word wrap is on,
    // otherwise one line (width grows).
    virtual void setCaption(std::string_view text) = 0;
    virtual void setAutoSize(bool on, bool wordWrap) = 0;
    virtual void setForeColor(Rgb c) = 0;
    virtual Rgb foreColor() const = 0;
    virtual void setTransparent(bool on) = 0;
};

class TextBox : public Control {
public:
    virtual std::string text() const = 0;
    virtual void setText(std::string_view t) = 0;
    // Called for each character typed (kEnterKey for Enter) before the box handles it.
    std::function<void(int keyAscii)> onKeyPress;
};

// The character a TextBox reports for the Enter key (carriage return).
inline constexpr int kEnterKey = '\r';

struct TextBoxStyle {
    bool multiLine = false;
    bool readOnly = false;
    bool vScroll = false;
};

// An editable drop-down list.
class ComboBox : public Control {
public:
    virtual std::string text() const = 0;
    virtual void setText(std::string_view t) = 0;
    virtual void insertItem(int index, std::string_view item) = 0;
    virtual int itemCount() const = 0;
    virtual std::string item(int index) const = 0;
};

class ListBox : public Control {
public:
    virtual int count() const = 0;
    virtual std::string item(int index) const = 0;
    virtual void addItem(std::string_view item) = 0;
    virtual void removeItem(int index) = 0;
    virtual void clear() = 0;
    virtual int selectedIndex() const = 0;  // -1: none
    virtual void setSelectedIndex(int index) = 0;
    std::function<void(MouseButton, int x, int y)> onMouseDown;
};

class VScrollBar : public Control {
public:
    virtual int min() const = 0;
    virtual int max() const = 0;
    virtual int value() const = 0;
    // Setting a range that leaves the value outside clamps the value, and that
    // change raises onChange like any other.
    virtual void setRange(int min, int max) = 0;
    // Raises onChange when the value changes.
    virtual void setValue(int v) = 0;
    virtual int smallChange() const = 0;  // arrow step
    virtual int largeChange() const = 0;  // page step
    virtual void setSteps(int smallStep, int largeStep) = 0;
    std::function<void()> onChange;
};

// Something that holds controls: a window or a picture box.
class Container {
public:
    virtual ~Container() = default;
};

// A picture box: a container that clips its children. It may show an image.
class Picture : public Control, public Container {
public:
    virtual void setImage(Image img) = 0;
    virtual Image image() const = 0;
    virtual bool bordered() const = 0;
};

// An interval timer owned by a window; it is made disabled.
class Timer {
public:
    virtual ~Timer() = default;
    virtual int interval() const = 0;
    virtual bool enabled() const = 0;
    virtual void setEnabled(bool on) = 0;
    std::function<void()> onTick;
};

// A pop-up menu that never shows in a menu bar. popup() shows it at the mouse
// position and returns after the user has chosen an item (its handler has run
// by then) or dismissed it.
class PopupMenu {
public:
    virtual ~PopupMenu() = default;
    struct Item {
        std::string name;
        std::string caption;
        std::function<void()> onClick;
    };
    virtual const std::string& caption() const = 0;
    virtual const std::vector<Item>& items() const = 0;
    virtual void popup() = 0;
};

enum class BorderStyle { FixedSingle, FixedDialog };

struct WindowStyle {
    BorderStyle border = BorderStyle::FixedSingle;
    bool minimizeButton = true;
    bool showInTaskbar = true;
    bool hasIcon = true;
};

// A top-level window. Sizes of the window itself are outer sizes (frame
// included) unless said otherwise.
class Window : public Container {
public:
    virtual ~Window() = default;
    virtual std::string caption() const = 0;
    virtual void setCaption(std::string_view text) = 0;
    virtual int outerWidth() const = 0;
    virtual int outerHeight() const = 0;
    virtual void setOuterSize(int width, int height) = 0;
    // The client area wanted; the frame is added around it.
    virtual void setClientSize(int width, int height) = 0;
    virtual int clientWidth() const = 0;
    virtual int clientHeight() const = 0;
    virtual Rgb backColor() const = 0;
    virtual void setBackColor(Rgb c) = 0;

    virtual bool visible() const = 0;
    virtual bool minimized() const = 0;
    virtual void show() = 0;           // first show centres it on the screen
    virtual void hide() = 0;
    virtual void minimize() = 0;
    virtual void restore() = 0;
    // Shows the window modally over `owner` and returns when it is closed.
    virtual void showModal(Window* owner) = 0;
    // Closes a window that is shown modally (ends its showModal).
    virtual void close() = 0;
    // Asks the window to close, as its close box does.
    virtual void requestClose() = 0;
    // Native handle as an integer (0 headless); only handed back to the platform.
    virtual std::uintptr_t nativeHandle() const = 0;

    // Every close request (close box, requestClose) lands here; setting
    // cancel keeps the window.
    std::function<void(bool& cancel)> onCloseRequest;
};

// The buttons a message box offers, and the answer the user gave: any way of
// closing it other than "OK" is Cancel.
enum class MessageBoxButtons { Ok, OkCancel };
enum class MessageBoxAnswer { Ok, Cancel };

// How often long work lets the windows answer.
inline constexpr int kAnswerEveryMs = 50;

// Makes the controls. A control made in a container is destroyed before that
// container by its owner (members are declared parent first).
class Toolkit {
public:
    virtual ~Toolkit() = default;

    // Prepares the common controls; a toolkit that needs nothing does nothing.
    virtual void initCommonControls() = 0;

    virtual std::unique_ptr<Window> window(std::string_view name, const WindowStyle& style) = 0;
    virtual std::unique_ptr<Button> button(Container& parent, const Layout& l) = 0;
    virtual std::unique_ptr<CheckBox> checkBox(Container& parent, const Layout& l) = 0;
    virtual std::unique_ptr<Label> label(Container& parent, const Layout& l) = 0;
    virtual std::unique_ptr<TextBox> textBox(Container& parent, const Layout& l, TextBoxStyle style) = 0;
    virtual std::unique_ptr<ComboBox> comboBox(Container& parent, const Layout& l) = 0;
    virtual std::unique_ptr<ListBox> listBox(Container& parent, const Layout& l) = 0;
    virtual std::unique_ptr<Picture> picture(Container& parent, const Layout& l, bool bordered) = 0;
    virtual std::unique_ptr<VScrollBar> vScrollBar(Container& parent, const Layout& l) = 0;
    virtual std::unique_ptr<Timer> timer(Window& owner, int intervalMs) = 0;
    virtual std::unique_ptr<PopupMenu> popupMenu(Window& owner, std::string_view caption,
                                                 std::vector<PopupMenu::Item> items) = 0;

    // Element `index` of a check-box control array: a copy of element 0 in the
    // same container (same rect, colours, font and caption), unticked, empty
    // tag, hidden. Its id is element 0's id + index.
    virtual std::unique_ptr<CheckBox> copyCheckBox(const CheckBox& element0, int index) = 0;

    // Long work calls this between its steps. When the windows have not been
    // looked after for a moment (kAnswerEveryMs), they repaint, answer the
    // messages sent to them and the timers tick, here; input (keys, mouse)
    // waits until the work is over, so no click starts anything meanwhile. A
    // timer's handler, or one that a sent message starts, may run inside:
    // work that calls this must not be started again by a sent message.
    virtual void keepAnswering() = 0;

    // Shows a message box (no icon) and returns the answer.
    virtual MessageBoxAnswer messageBox(Window* owner, std::string_view text, std::string_view title,
                                        MessageBoxButtons buttons) = 0;

    // Ends the program at once; no further close handling runs.
    [[noreturn]] virtual void exitProcess() = 0;
};

}  // namespace wd::ui
