#include "drive/background.h"

#include "app/layout.h"

namespace wd::drive {

namespace L = wd::layout;

Background::Background(app::Form& form, std::function<void()> startMonitor)
    : form_(form), startMonitor_(std::move(startMonitor)) {
    formma_ = form.menu("formma", {{"openform", "打开窗口", [this] { openform_Click(); }},
                                   {"exitform", "退出监控", [this] { exitform_Click(); }}});
    form.closing.answerWith([this](bool& cancel) { Form_Unload(cancel); });
    form.platform.tray.onMouse = [this](platform::TrayMouse event) { Picico_MouseMove(event); };
    form.platform.tray.onTaskbarCreated = [this] { taskbarCreated(); };
}

void Background::EnterBackgroundMode() {
    startMonitor_();
    // A second add while the icon is there fails and leaves the one icon.
    form_.platform.tray.add(L::kMainCaption);
    trayIconWanted_ = true;
    form_.window.minimize();
    form_.window.hide();
}

void Background::taskbarCreated() {
    // A restarted shell has lost every icon; ours comes back.
    if (trayIconWanted_) form_.platform.tray.add(L::kMainCaption);
}

void Background::Picico_MouseMove(platform::TrayMouse event) {
    if (event == platform::TrayMouse::LeftUp) {
        openform_Click();
    } else if (event == platform::TrayMouse::RightUp) {
        form_.platform.tray.setForeground();
        formma_->popup();
    }
}

void Background::openform_Click() {
    // While the Exit dialog is open the window cannot be shown.
    if (exitDialog_) return;
    form_.window.show();
    form_.window.restore();
}

void Background::exitform_Click() { form_.window.requestClose(); }

void Background::Form_Unload(bool& cancel) {
    // A second close request while the dialog is open is the same request.
    if (exitDialog_) {
        cancel = true;
        return;
    }
    ExitDialog dialog(
        form_.toolkit(), exitChoice_,
        [this] {
            form_.platform.tray.remove();
            form_.toolkit().exitProcess();
        },
        [this] {
            if (form_.closeHelp) form_.closeHelp();
        });
    exitDialog_ = &dialog;
    dialog.showModal(form_.window);
    exitDialog_ = nullptr;
    cancel = exitChoice_ != ExitChoice::Quit;
    if (exitChoice_ == ExitChoice::Background) {
        exitChoice_ = ExitChoice::None;
        EnterBackgroundMode();
    }
}

}  // namespace wd::drive
