// The window toolkit over Win32: real windows and common controls, per-monitor
// DPI aware, one UI thread.
#pragma once

#include <windows.h>

#include <memory>

#include "platform/ui.h"

namespace wd::win32 {

class Session;

class Toolkit final : public ui::Toolkit {
public:
    explicit Toolkit(HINSTANCE instance);
    ~Toolkit() override;
    Toolkit(const Toolkit&) = delete;
    Toolkit& operator=(const Toolkit&) = delete;

    // Runs the thread's message loop until the main window closes (or
    // something posts WM_QUIT); answers the quit code.
    int runMessageLoop();

    void initCommonControls() override;
    std::unique_ptr<ui::Window> window(std::string_view name, const ui::WindowStyle& style) override;
    std::unique_ptr<ui::Button> button(ui::Container& parent, const ui::Layout& l) override;
    std::unique_ptr<ui::CheckBox> checkBox(ui::Container& parent, const ui::Layout& l) override;
    std::unique_ptr<ui::Label> label(ui::Container& parent, const ui::Layout& l) override;
    std::unique_ptr<ui::TextBox> textBox(ui::Container& parent, const ui::Layout& l, ui::TextBoxStyle style) override;
    std::unique_ptr<ui::ComboBox> comboBox(ui::Container& parent, const ui::Layout& l) override;
    std::unique_ptr<ui::ListBox> listBox(ui::Container& parent, const ui::Layout& l) override;
    std::unique_ptr<ui::Picture> picture(ui::Container& parent, const ui::Layout& l, bool bordered) override;
    std::unique_ptr<ui::VScrollBar> vScrollBar(ui::Container& parent, const ui::Layout& l) override;
    std::unique_ptr<ui::Timer> timer(ui::Window& owner, int intervalMs) override;
    std::unique_ptr<ui::PopupMenu> popupMenu(ui::Window& owner, std::string_view caption,
                                             std::vector<ui::PopupMenu::Item> items) override;
    std::unique_ptr<ui::CheckBox> copyCheckBox(const ui::CheckBox& element0, int index) override;
    void keepAnswering() override;
    ui::MessageBoxAnswer messageBox(ui::Window* owner, std::string_view text, std::string_view title,
                                    ui::MessageBoxButtons buttons) override;
    [[noreturn]] void exitProcess() override;

private:
    std::unique_ptr<Session> session_;
    ULONGLONG lastAnswered_ = 0;  // when long work last let the windows answer
};

}  // namespace wd::win32
