#include "drive/exit_dialog.h"

#include <iterator>

#include "app/layout.h"

namespace wd::drive {

namespace L = wd::layout;

ExitDialog::ExitDialog(ui::Toolkit& tk, ExitChoice& exitChoice, std::function<void()> quit,
                       std::function<void()> closeHelp)
    : exitChoice_(exitChoice), quit_(std::move(quit)), closeHelp_(std::move(closeHelp)) {
    window = tk.window("Form2", {.border = ui::BorderStyle::FixedDialog,
                                 .minimizeButton = false,
                                 .showInTaskbar = false,
                                 .hasIcon = false});
    window->setCaption(L::kExitCaption);
    window->setClientSize(L::kExitClientWidth, L::kExitClientHeight);
    // Tab order: "完全退出", the banner, "后台监控", "不退出".
    Command1[kQuitButton] = tk.button(*window, L::kExitButtons[kQuitButton]);
    Picture1 = tk.picture(*window, L::kExitBanner, false);
    Picture1->setImage(ui::Image::ExitBanner);
    Command1[kBackgroundButton] = tk.button(*window, L::kExitButtons[kBackgroundButton]);
    Command1[kStayButton] = tk.button(*window, L::kExitButtons[kStayButton]);
    for (int i = 0; i < static_cast<int>(std::size(Command1)); ++i)
        Command1[i]->onClick = [this, i] { Command1_Click(i); };
    // The close box answers like "不退出".
    window->onCloseRequest = [](bool&) {};
}

void ExitDialog::showModal(ui::Window& owner) {
    window->setBackColor(L::kFaceColor);
    Picture1->setBackColor(L::kFaceColor);
    Command1[kQuitButton]->setFocus();
    window->showModal(&owner);
}

void ExitDialog::Command1_Click(int index) {
    switch (index) {
        case kQuitButton:
            exitChoice_ = ExitChoice::Quit;
            quit_();
            break;
        case kBackgroundButton:
            exitChoice_ = ExitChoice::Background;
            if (closeHelp_) closeHelp_();
            window->close();
            break;
        default:  // kStayButton
            window->close();
            break;
    }
}

}  // namespace wd::drive
