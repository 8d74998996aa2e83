#include "support/headless.h"

#include <algorithm>

namespace wd::test {

Node::Node(HeadlessToolkit& tk, ui::Container* parent, std::string name, int id, ui::Rect rect)
    : tk(tk), parent(parent), nodeName(std::move(name)), nodeId(id), r(rect) {
    tk.nodes.push_back(this);
}

void Node::takeFocus() { tk.focused = this; }

bool Node::holdsFocus() const { return tk.focused == this; }

Node::~Node() {
    if (tk.focused == this) tk.focused = nullptr;
    auto& v = tk.nodes;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

void HeadlessToolkit::dispatch(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const ProgramExited&) {
        throw;
    } catch (const std::exception& e) {
        thrown.emplace_back(e.what());
    } catch (...) {
        thrown.emplace_back("?");
    }
}

void HButton::click() {
    tk.dispatch([this] {
        if (isEnabled && onClick) onClick();
    });
}

void HTimer::fire() {
    const auto tick = [this] {
        if (on && onTick) onTick();
    };
    if (tk)
        tk->dispatch(tick);
    else
        tick();
}

void HCheckBox::setValue(int v) {
    if (v == val) return;
    val = v;
    if (onClick) onClick();
}

void HCheckBox::click() {
    tk.dispatch([this] { setValue(val ? 0 : 1); });
}

void HCheckBox::mouseDown(ui::MouseButton b, int x, int y) {
    tk.dispatch([&] {
        if (onMouseDown) onMouseDown(b, x, y);
    });
}

void HListBox::mouseDown(ui::MouseButton b, int x, int y) {
    tk.dispatch([&] {
        if (onMouseDown) onMouseDown(b, x, y);
    });
}

void HLabel::setCaption(std::string_view t) {
    text = t;
    if (!autoSize) return;
    const int width = HeadlessToolkit::textWidth(text);
    if (wordWrap) {
        const int lines = std::max(1, (width + r.width - 1) / std::max(1, r.width));
        r.height = lines * HeadlessToolkit::kLineHeight;
    } else {
        r.width = width;
        r.height = HeadlessToolkit::kLineHeight;
    }
}

void HTextBox::type(int keyAscii) {
    tk.dispatch([&] {
        if (onKeyPress) onKeyPress(keyAscii);
    });
    if (keyAscii == 13) {
        if (style.multiLine) value += "\r\n";
    } else if (keyAscii == 8) {
        if (!value.empty()) value.pop_back();
    } else {
        value.push_back(static_cast<char>(keyAscii));
    }
}

void HComboBox::insertItem(int index, std::string_view item) {
    index = std::clamp(index, 0, itemCount());
    items.insert(items.begin() + index, std::string(item));
}

void HListBox::removeItem(int index) {
    if (index < 0 || index >= count()) return;
    items.erase(items.begin() + index);
    if (selected == index) selected = -1;
    else if (selected > index) --selected;
}

void HListBox::setSelectedIndex(int index) { selected = (index >= 0 && index < count()) ? index : -1; }

void HVScrollBar::setRange(int min, int max) {
    lo = min;
    hi = max;
    setValue(std::clamp(val, lo, std::max(lo, hi)));
}

void HVScrollBar::setValue(int v) {
    v = std::clamp(v, lo, std::max(lo, hi));
    if (v == val) return;
    val = v;
    if (onChange) onChange();
}

void HPopupMenu::popup() {
    ++shownCount;
    if (!tk.onPopup) return;
    const int chosen = tk.onPopup(*this);
    if (chosen >= 0 && chosen < static_cast<int>(entries.size()) && entries[static_cast<std::size_t>(chosen)].onClick)
        entries[static_cast<std::size_t>(chosen)].onClick();
}

void HWindow::show() {
    shown = true;
    ++showCount;
}

void HWindow::showModal(ui::Window* owner) {
    shown = true;
    modal = true;
    closed = false;
    modalOwner = owner;
    ++showCount;
    if (tk.onModal) tk.onModal(*this);
    shown = false;
    modal = false;
}

void HWindow::close() {
    closed = true;
    shown = false;
}

void HWindow::requestClose() {
    bool cancel = false;
    if (onCloseRequest) onCloseRequest(cancel);
    if (!cancel) close();
}

std::unique_ptr<ui::Window> HeadlessToolkit::window(std::string_view name, const ui::WindowStyle& style) {
    auto w = std::make_unique<HWindow>(*this, std::string(name), style);
    w->shown = false;
    return w;
}

std::unique_ptr<ui::Button> HeadlessToolkit::button(ui::Container& p, const ui::Layout& l) {
    return std::make_unique<HButton>(*this, &p, l);
}
std::unique_ptr<ui::CheckBox> HeadlessToolkit::checkBox(ui::Container& p, const ui::Layout& l) {
    return std::make_unique<HCheckBox>(*this, &p, l);
}
std::unique_ptr<ui::Label> HeadlessToolkit::label(ui::Container& p, const ui::Layout& l) {
    return std::make_unique<HLabel>(*this, &p, l);
}
std::unique_ptr<ui::TextBox> HeadlessToolkit::textBox(ui::Container& p, const ui::Layout& l, ui::TextBoxStyle s) {
    return std::make_unique<HTextBox>(*this, &p, l, s);
}
std::unique_ptr<ui::ComboBox> HeadlessToolkit::comboBox(ui::Container& p, const ui::Layout& l) {
    return std::make_unique<HComboBox>(*this, &p, l);
}
std::unique_ptr<ui::ListBox> HeadlessToolkit::listBox(ui::Container& p, const ui::Layout& l) {
    return std::make_unique<HListBox>(*this, &p, l);
}
std::unique_ptr<ui::Picture> HeadlessToolkit::picture(ui::Container& p, const ui::Layout& l, bool bordered) {
    return std::make_unique<HPicture>(*this, &p, l, bordered);
}
std::unique_ptr<ui::VScrollBar> HeadlessToolkit::vScrollBar(ui::Container& p, const ui::Layout& l) {
    return std::make_unique<HVScrollBar>(*this, &p, l);
}

namespace {
class OwnedTimer : public HTimer {
public:
    OwnedTimer(HeadlessToolkit& tk, int ms) : HTimer(&tk, ms), tk_(tk) { tk_.timers.push_back(this); }
    ~OwnedTimer() override {
        auto& v = tk_.timers;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }

private:
    HeadlessToolkit& tk_;
};
}  // namespace

std::unique_ptr<ui::Timer> HeadlessToolkit::timer(ui::Window&, int intervalMs) {
    return std::make_unique<OwnedTimer>(*this, intervalMs);
}

std::unique_ptr<ui::PopupMenu> HeadlessToolkit::popupMenu(ui::Window&, std::string_view caption,
                                                         std::vector<ui::PopupMenu::Item> items) {
    return std::make_unique<HPopupMenu>(*this, std::string(caption), std::move(items));
}

std::unique_ptr<ui::CheckBox> HeadlessToolkit::copyCheckBox(const ui::CheckBox& element0, int index) {
    const auto& src = dynamic_cast<const HCheckBox&>(element0);
    ui::Layout l{src.nodeName.c_str(), src.nodeId + index, src.r, src.text.c_str()};
    auto copy = std::make_unique<HCheckBox>(*this, src.parent, l);
    copy->back = src.back;
    copy->shown = false;
    copy->arrayBase = src.nodeId;
    return copy;
}

ui::MessageBoxAnswer HeadlessToolkit::messageBox(ui::Window*, std::string_view text, std::string_view title,
                                                 ui::MessageBoxButtons buttons) {
    messageBoxes.push_back({std::string(text), std::string(title), buttons});
    if (onMessageBox) onMessageBox(messageBoxes.back());
    if (messageBoxAnswers.empty()) return ui::MessageBoxAnswer::Ok;
    const ui::MessageBoxAnswer answer = messageBoxAnswers.front();
    messageBoxAnswers.pop_front();
    return answer;
}

std::vector<Node*> HeadlessToolkit::childrenOf(const ui::Container* parent) const {
    std::vector<Node*> out;
    for (Node* n : nodes)
        if (n->parent == parent) out.push_back(n);
    return out;
}

bool HeadlessToolkit::effectivelyVisible(const Node& n) const {
    const Node* cur = &n;
    while (cur) {
        if (!cur->shown) return false;
        const ui::Container* p = cur->parent;
        if (!p) return true;
        cur = dynamic_cast<const Node*>(p);
    }
    return true;
}

int HeadlessToolkit::textWidth(std::string_view text) {
    int w = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            w += 105;
            ++i;
        } else {
            w += 180;
            i += (c >= 0xF0) ? 4 : (c >= 0xE0) ? 3 : 2;
        }
    }
    return w;
}

}  // namespace wd::test
