#include "platform/win32/toolkit.h"

#include <commctrl.h>

#include <stdexcept>

#include "platform/win32/dispatch.h"
#include "platform/win32/dpi.h"
#include "platform/win32/session.h"
#include "platform/win32/text.h"
#include "platform/win32/widgets.h"

namespace wd::win32 {
namespace {

WindowImpl& windowOf(ui::Window& w) {
    auto* impl = dynamic_cast<WindowImpl*>(&w);
    if (!impl) throw std::invalid_argument("window from another toolkit");
    return *impl;
}

}  // namespace

Toolkit::Toolkit(HINSTANCE instance) {
    dpi::enablePerMonitorAwareness();
    initCommonControls();
    session_ = std::make_unique<Session>(instance);
}

Toolkit::~Toolkit() = default;

int Toolkit::runMessageLoop() {
    const MessageLoop loop;
    MSG msg{};
    for (;;) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(msg.wParam);
        if (got == -1) return 1;
        if (!session_->preTranslate(msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

void Toolkit::initCommonControls() {
    INITCOMMONCONTROLSEX init{};
    init.dwSize = sizeof(init);
    init.dwICC = ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&init);
}

std::unique_ptr<ui::Window> Toolkit::window(std::string_view name, const ui::WindowStyle& style) {
    return std::make_unique<WindowImpl>(*session_, name, style);
}

std::unique_ptr<ui::Button> Toolkit::button(ui::Container& parent, const ui::Layout& l) {
    return std::make_unique<ButtonImpl>(ContainerImpl::from(parent), l);
}

std::unique_ptr<ui::CheckBox> Toolkit::checkBox(ui::Container& parent, const ui::Layout& l) {
    return std::make_unique<CheckBoxImpl>(&ContainerImpl::from(parent), l, false);
}

std::unique_ptr<ui::Label> Toolkit::label(ui::Container& parent, const ui::Layout& l) {
    return std::make_unique<LabelImpl>(ContainerImpl::from(parent), l);
}

std::unique_ptr<ui::TextBox> Toolkit::textBox(ui::Container& parent, const ui::Layout& l, ui::TextBoxStyle style) {
    return std::make_unique<TextBoxImpl>(ContainerImpl::from(parent), l, style);
}

std::unique_ptr<ui::ComboBox> Toolkit::comboBox(ui::Container& parent, const ui::Layout& l) {
    return std::make_unique<ComboBoxImpl>(ContainerImpl::from(parent), l);
}

std::unique_ptr<ui::ListBox> Toolkit::listBox(ui::Container& parent, const ui::Layout& l) {
    return std::make_unique<ListBoxImpl>(ContainerImpl::from(parent), l);
}

std::unique_ptr<ui::Picture> Toolkit::picture(ui::Container& parent, const ui::Layout& l, bool bordered) {
    return std::make_unique<PictureImpl>(ContainerImpl::from(parent), l, bordered);
}

std::unique_ptr<ui::VScrollBar> Toolkit::vScrollBar(ui::Container& parent, const ui::Layout& l) {
    return std::make_unique<VScrollBarImpl>(ContainerImpl::from(parent), l);
}

std::unique_ptr<ui::Timer> Toolkit::timer(ui::Window& owner, int intervalMs) {
    return std::make_unique<TimerImpl>(windowOf(owner), session_->nextTimerId(), intervalMs);
}

std::unique_ptr<ui::PopupMenu> Toolkit::popupMenu(ui::Window& owner, std::string_view caption,
                                                  std::vector<ui::PopupMenu::Item> items) {
    return std::make_unique<PopupMenuImpl>(windowOf(owner), caption, std::move(items));
}

std::unique_ptr<ui::CheckBox> Toolkit::copyCheckBox(const ui::CheckBox& element0, int index) {
    const auto* source = dynamic_cast<const CheckBoxImpl*>(&element0);
    if (!source) throw std::invalid_argument("check box from another toolkit");
    return CheckBoxImpl::copyOf(*source, index);
}

void Toolkit::keepAnswering() {
    const ULONGLONG now = ::GetTickCount64();
    if (now - lastAnswered_ < static_cast<ULONGLONG>(ui::kAnswerEveryMs)) return;
    dispatchPending();
    // From the end of the round: a slow round does not make the next one come at once.
    lastAnswered_ = ::GetTickCount64();
}

ui::MessageBoxAnswer Toolkit::messageBox(ui::Window* owner, std::string_view text, std::string_view title,
                                         ui::MessageBoxButtons buttons) {
    const auto* impl = dynamic_cast<const WindowImpl*>(owner);
    const HWND ownerHwnd = impl ? impl->hwnd() : nullptr;
    const UINT type = (buttons == ui::MessageBoxButtons::OkCancel ? MB_OKCANCEL : MB_OK) | MB_SETFOREGROUND;
    const MessageLoop loop;  // the message box's
    const int pressed = ::MessageBoxW(ownerHwnd, widen(text).c_str(), widen(title).c_str(), type);
    return pressed == IDOK ? ui::MessageBoxAnswer::Ok : ui::MessageBoxAnswer::Cancel;
}

void Toolkit::exitProcess() { ::ExitProcess(0); }

}  // namespace wd::win32
