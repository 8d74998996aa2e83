// Background mode: the main window out of sight, the drive monitor running
// and an icon in the notification area that brings the window back or asks
// how to leave. Also every close request of the main window, which the Exit
// dialog answers.
#pragma once

#include <functional>
#include <memory>

#include "app/form.h"
#include "drive/exit_dialog.h"
#include "platform/ui.h"

namespace wd::drive {

class Background {
public:
    // Wires the tray icon, the tray menu and the main window's close request.
    // `startMonitor` turns the drive monitor on.
    Background(app::Form& form, std::function<void()> startMonitor);

    // Starts the monitor, adds the tray icon and hides the window.
    void EnterBackgroundMode();

    // A mouse message on the tray icon.
    void Picico_MouseMove(platform::TrayMouse event);
    void openform_Click();
    void exitform_Click();
    // Every close request of the main window: asks the Exit dialog what to do.
    void Form_Unload(bool& cancel);

    ExitChoice exitChoice() const { return exitChoice_; }
    // Start-up: no answer yet.
    void clearExitChoice() { exitChoice_ = ExitChoice::None; }
    bool exitDialogOpen() const { return exitDialog_ != nullptr; }
    ui::PopupMenu& formma() { return *formma_; }

private:
    // The shell has made its task bar anew (it was restarted).
    void taskbarCreated();

    app::Form& form_;
    std::function<void()> startMonitor_;
    ExitChoice exitChoice_ = ExitChoice::None;
    bool trayIconWanted_ = false;         // added by background mode, kept until the program ends
    ExitDialog* exitDialog_ = nullptr;    // while it is open
    std::unique_ptr<ui::PopupMenu> formma_;  // the tray menu
};

}  // namespace wd::drive
