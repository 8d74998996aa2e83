// A toolkit without windows for the unit tests. It records every property,
// lets a test click, tick, type, right-click and fire timers deterministically,
// and answers message boxes, pop-up menus and modal windows from scripts.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace wd::test {

class HeadlessToolkit;

// Thrown by exitProcess so a test can see that the program ended.
struct ProgramExited : std::runtime_error {
    ProgramExited() : std::runtime_error("program exited") {}
};

// What every headless control shares.
class Node {
public:
    Node(HeadlessToolkit& tk, ui::Container* parent, std::string name, int id, ui::Rect rect);
    virtual ~Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    HeadlessToolkit& tk;
    ui::Container* parent;
    std::string nodeName;
    int nodeId;
    ui::Rect r;
    bool shown = true;
    bool isEnabled = true;
    ui::Rgb back{240, 240, 240};

    void takeFocus();
    bool holdsFocus() const;
};

template <class Base>
class HControl : public Base, public Node {
public:
    HControl(HeadlessToolkit& tk, ui::Container* parent, const ui::Layout& l)
        : Node(tk, parent, l.name, l.id, l.rect) {}
    const std::string& name() const override { return nodeName; }
    int id() const override { return nodeId; }
    ui::Rect rect() const override { return r; }
    void setRect(const ui::Rect& v) override { r = v; }
    bool visible() const override { return shown; }
    void setVisible(bool v) override { shown = v; }
    bool enabled() const override { return isEnabled; }
    void setEnabled(bool v) override { isEnabled = v; }
    ui::Rgb backColor() const override { return back; }
    void setBackColor(ui::Rgb c) override { back = c; }
    void setFocus() override { takeFocus(); }
    bool hasFocus() const override { return holdsFocus(); }
};

class HButton : public HControl<ui::Button> {
public:
    HButton(HeadlessToolkit& tk, ui::Container* p, const ui::Layout& l) : HControl(tk, p, l), text(l.caption) {}
    std::string caption() const override { return text; }
    void setCaption(std::string_view t) override { text = t; }
    void click();  // as the user does
    std::string text;
};

class HCheckBox : public HControl<ui::CheckBox> {
public:
    HCheckBox(HeadlessToolkit& tk, ui::Container* p, const ui::Layout& l) : HControl(tk, p, l), text(l.caption) {}
    std::string caption() const override { return text; }
    void setCaption(std::string_view t) override { text = t; }
    int value() const override { return val; }
    void setValue(int v) override;
    std::string tag() const override { return tagText; }
    void setTag(std::string_view t) override { tagText = t; }
    void setArrayIndex(int index) override { nodeId = arrayBase + index; }
    using ui::CheckBox::setToolTip;
    void setToolTip(std::string_view key, std::function<std::string()> text) override {
        if (key != tipKey) ++tipResets;
        tipKey = key;
        tipSource = std::move(text);
    }
    // The tip about to show: its text, as the toolkit asks for it.
    std::string toolTipText() {
        ++tipReads;
        return tipSource && !tipKey.empty() ? tipSource() : std::string();
    }
    void click();  // as the user does
    void mouseDown(ui::MouseButton b, int x = 0, int y = 0);
    std::string text, tagText, tipKey;
    std::function<std::string()> tipSource;
    int tipReads = 0, tipResets = 0;
    int val = 0;
    int arrayBase = 0;  // element 0's id, for a copy
};

class HLabel : public HControl<ui::Label> {
public:
    HLabel(HeadlessToolkit& tk, ui::Container* p, const ui::Layout& l) : HControl(tk, p, l), text(l.caption) {}
    std::string caption() const override { return text; }
    void setCaption(std::string_view t) override;
    void setAutoSize(bool on, bool wrap) override { autoSize = on, wordWrap = wrap; }
    void setForeColor(ui::Rgb c) override { fore = c; }
    ui::Rgb foreColor() const override { return fore; }
    void setTransparent(bool on) override { transparent = on; }
    std::string text;
    bool autoSize = false, wordWrap = false, transparent = false;
    ui::Rgb fore{0, 0, 0};
};

class HTextBox : public HControl<ui::TextBox> {
public:
    HTextBox(HeadlessToolkit& tk, ui::Container* p, const ui::Layout& l, ui::TextBoxStyle s)
        : HControl(tk, p, l), style(s) {}
    std::string text() const override { return value; }
    void setText(std::string_view t) override { value = t; }
    // Types one character as the user does (13 is Enter).
    void type(int keyAscii);
    void typeText(std::string_view t) {
        for (unsigned char c : t) type(c);
    }
    std::string value;
    ui::TextBoxStyle style;
};

class HComboBox : public HControl<ui::ComboBox> {
public:
    using HControl::HControl;
    std::string text() const override { return value; }
    void setText(std::string_view t) override { value = t; }
    void insertItem(int index, std::string_view item) override;
    int itemCount() const override { return static_cast<int>(items.size()); }
    std::string item(int index) const override { return items.at(static_cast<std::size_t>(index)); }
    std::string value;
    std::vector<std::string> items;
};

class HListBox : public HControl<ui::ListBox> {
public:
    using HControl::HControl;
    int count() const override { return static_cast<int>(items.size()); }
    std::string item(int index) const override { return items.at(static_cast<std::size_t>(index)); }
    void addItem(std::string_view item) override { items.emplace_back(item); }
    void removeItem(int index) override;
    void clear() override {
        items.clear();
        selected = -1;
    }
    int selectedIndex() const override { return selected; }
    void setSelectedIndex(int index) override;
    void mouseDown(ui::MouseButton b, int x = 0, int y = 0);
    std::vector<std::string> items;
    int selected = -1;
};

class HVScrollBar : public HControl<ui::VScrollBar> {
public:
    using HControl::HControl;
    int min() const override { return lo; }
    int max() const override { return hi; }
    int value() const override { return val; }
    void setRange(int min, int max) override;
    void setValue(int v) override;
    int smallChange() const override { return small; }
    int largeChange() const override { return large; }
    void setSteps(int s, int l) override { small = s, large = l; }
    int lo = 0, hi = 0, val = 0, small = 1, large = 1;
};

class HPicture : public HControl<ui::Picture> {
public:
    HPicture(HeadlessToolkit& tk, ui::Container* p, const ui::Layout& l, bool b) : HControl(tk, p, l), border(b) {}
    void setImage(ui::Image i) override { img = i; }

    ui::Image image() const override { return img; }
    bool bordered() const override { return border; }
    bool border;
    ui::Image img = ui::Image::None;
};

class HTimer : public ui::Timer {
public:
    HTimer(HeadlessToolkit* tk, int ms) : tk(tk), ms(ms) {}
    int interval() const override { return ms; }
    bool enabled() const override { return on; }
    void setEnabled(bool v) override { on = v; }
    // One tick, if the timer is enabled.
    void fire();
    HeadlessToolkit* tk;
    int ms;
    bool on = false;
};

class HPopupMenu : public ui::PopupMenu {
public:
    HPopupMenu(HeadlessToolkit& tk, std::string caption, std::vector<Item> items)
        : tk(tk), text(std::move(caption)), entries(std::move(items)) {}
    const std::string& caption() const override { return text; }
    const std::vector<Item>& items() const override { return entries; }
    std::vector<Item>& mutableItems() { return entries; }
    void popup() override;
    HeadlessToolkit& tk;
    std::string text;
    std::vector<Item> entries;
    int shownCount = 0;
};

class HWindow : public ui::Window, public Node {
public:
    HWindow(HeadlessToolkit& tk, std::string name, ui::WindowStyle s)
        : Node(tk, nullptr, std::move(name), 0, {}), style(s) {}
    std::string caption() const override { return text; }
    void setCaption(std::string_view t) override { text = t; }
    int outerWidth() const override { return r.width; }
    int outerHeight() const override { return r.height; }
    void setOuterSize(int w, int h) override { r.width = w, r.height = h; }
    void setClientSize(int w, int h) override { r.width = w + kFrameX, r.height = h + kFrameY; }
    int clientWidth() const override { return r.width - kFrameX; }
    int clientHeight() const override { return r.height - kFrameY; }
    ui::Rgb backColor() const override { return back; }
    void setBackColor(ui::Rgb c) override { back = c; }
    bool visible() const override { return shown; }
    bool minimized() const override { return isMinimized; }
    void show() override;
    void hide() override { shown = false; }
    void minimize() override { isMinimized = true; }
    void restore() override { isMinimized = false; }
    void showModal(ui::Window* owner) override;
    void close() override;
    void requestClose() override;
    std::uintptr_t nativeHandle() const override { return 0; }

    // The frame the headless windows pretend to have, in twips.
    static constexpr int kFrameX = 90;
    static constexpr int kFrameY = 405;

    std::string text;
    ui::WindowStyle style;
    bool isMinimized = false;
    bool modal = false;
    bool closed = false;
    int showCount = 0;
    ui::Window* modalOwner = nullptr;
};

class HeadlessToolkit : public ui::Toolkit {
public:
    // ---- the toolkit ----
    void initCommonControls() override { ++commonControlsInits; }
    std::unique_ptr<ui::Window> window(std::string_view name, const ui::WindowStyle& style) override;
    std::unique_ptr<ui::Button> button(ui::Container& parent, const ui::Layout& l) override;
    std::unique_ptr<ui::CheckBox> checkBox(ui::Container& parent, const ui::Layout& l) override;
    std::unique_ptr<ui::Label> label(ui::Container& parent, const ui::Layout& l) override;
    std::unique_ptr<ui::TextBox> textBox(ui::Container& parent, const ui::Layout& l, ui::TextBoxStyle s) override;
    std::unique_ptr<ui::ComboBox> comboBox(ui::Container& parent, const ui::Layout& l) override;
    std::unique_ptr<ui::ListBox> listBox(ui::Container& parent, const ui::Layout& l) override;
    std::unique_ptr<ui::Picture> picture(ui::Container& parent, const ui::Layout& l, bool bordered) override;
    std::unique_ptr<ui::VScrollBar> vScrollBar(ui::Container& parent, const ui::Layout& l) override;
    std::unique_ptr<ui::Timer> timer(ui::Window& owner, int intervalMs) override;
    std::unique_ptr<ui::PopupMenu> popupMenu(ui::Window& owner, std::string_view caption,
                                             std::vector<ui::PopupMenu::Item> items) override;
    std::unique_ptr<ui::CheckBox> copyCheckBox(const ui::CheckBox& element0, int index) override;
    void keepAnswering() override {
        ++keepAnsweringCalls;
        if (onKeepAnswering) onKeepAnswering();
    }
    // How often long work let the windows answer, and what the windows do
    // then (a timer's tick, a message sent to a button).
    int keepAnsweringCalls = 0;
    std::function<void()> onKeepAnswering;
    ui::MessageBoxAnswer messageBox(ui::Window* owner, std::string_view text, std::string_view title,
                                    ui::MessageBoxButtons buttons) override;
    [[noreturn]] void exitProcess() override { throw ProgramExited(); }

    // ---- for the tests ----
    // Every event a test raises as the user or the system would (a click, a
    // key, a mouse button, a timer tick) enters here, as every message enters
    // the Win32 toolkit's dispatch: what a handler throws is caught and
    // recorded in `thrown`, and the program goes on. Ending the program
    // (ProgramExited) passes through.
    void dispatch(const std::function<void()>& handler);
    std::vector<std::string> thrown;

    struct MessageBoxCall {
        std::string text, title;
        ui::MessageBoxButtons buttons;
    };
    std::vector<MessageBoxCall> messageBoxes;
    std::deque<ui::MessageBoxAnswer> messageBoxAnswers;  // answered in order; Ok when empty
    // Runs while a message box is shown (its message loop runs timers).
    std::function<void(const MessageBoxCall&)> onMessageBox;
    // Runs while a pop-up menu is shown; returns the index of the item chosen, or -1.
    std::function<int(HPopupMenu&)> onPopup;
    // Runs while a window is shown modally; the window stays "open" until it returns.
    std::function<void(HWindow&)> onModal;
    int commonControlsInits = 0;
    std::vector<HTimer*> timers;
    std::vector<Node*> nodes;  // every live control and window, in creation order
    const Node* focused = nullptr;  // the control with the keyboard focus

    // The live control of this id (the first one made, if several share it).
    template <class T>
    T& byId(int id) {
        for (Node* n : nodes)
            if (n->nodeId == id)
                if (auto* t = dynamic_cast<T*>(n)) return *t;
        throw std::out_of_range("no control with id " + std::to_string(id));
    }
    std::vector<Node*> childrenOf(const ui::Container* parent) const;
    // Visible itself and through every container up to its window.
    bool effectivelyVisible(const Node& n) const;

    // Fake text metrics: an ASCII character is 105 twips wide, any other 180;
    // a line is 240 twips high.
    static int textWidth(std::string_view text);
    static constexpr int kLineHeight = 240;
};

}  // namespace wd::test
