#include "drive/exit_dialog.h"

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
    Command1[0] = tk.button(*window, L::kExitButtons[0]);
    Picture1 = tk.picture(*window, L::kExitBanner, false);
    Picture1->setImage(ui::Image::ExitBanner);
    Command1[1] = tk.button(*window, L::kExitButtons[1]);
    Command1[2] = tk.button(*window, L::kExitButtons[2]);
    for (int i = 0; i < 3; ++i) Command1[i]->onClick = [this, i] { Command1_Click(i); };
    // The close box answers like "不退出".
    window->onCloseRequest = [](bool&) {};
}

void ExitDialog::showModal(ui::Window& owner) {
    window->setBackColor(L::kFaceColor);
    Picture1->setBackColor(L::kFaceColor);
    Command1[0]->setFocus();
    window->showModal(&owner);
}

void ExitDialog::Command1_Click(int index) {
    switch (index) {
        case 0:
            exitChoice_ = ExitChoice::Quit;
            quit_();
            break;
        case 1:
            exitChoice_ = ExitChoice::Background;
            if (closeHelp_) closeHelp_();
            window->close();
            break;
        default:
            window->close();
            break;
    }
}

}  // namespace wd::drive
