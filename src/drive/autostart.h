// Starting the drive monitor at log-on: a Run value under HKEY_LOCAL_MACHINE
// named after the executable, and the Drive page's box that shows whether it
// is there. The value lives in the registry's 64-bit view, where a 64-bit
// program's Run value belongs.
#pragma once

#include <string>

#include "app/form.h"
#include "platform/ui.h"

namespace wd::drive {

// Where the log-on autostart value lives (under HKEY_LOCAL_MACHINE).
inline constexpr char kRunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The command that the log-on Run value holds: the executable's path, quoted,
// then " watch" and the first character of the drive text. The folder is
// taken as the system reports a program's folder, so a program in a drive
// root gives "C:\\name.EXE".
std::string autostartCommand(const std::string& exePath, const std::string& driveText);

// The autostart box (Check4) and the Run value behind it.
class Autostart {
public:
    // Wires the box's click; `driveBox` is the drive box whose text the
    // command takes.
    Autostart(app::Form& form, ui::CheckBox& check4, ui::ComboBox& driveBox);

    // After the box has changed: writes or deletes the Run value, then shows
    // whether it is there.
    void Check4_Click();
    // Ticks the box when the key holds a value named `valueName`, clears it
    // otherwise. A change of the box runs Check4_Click again.
    void RefreshAutostartBox(const std::string& keyPath, const std::string& valueName);
    // The same at start-up, which leaves the Run value as it is: the click
    // that a change of the box raises writes and deletes nothing.
    void LoadAutostartBox(const std::string& keyPath, const std::string& valueName);

    // The command last built by a ticking of the box; it serves the write that follows.
    std::string autostartText;

private:
    app::Form& form_;
    ui::CheckBox& check4_;
    ui::ComboBox& driveBox_;
    bool loading_ = false;  // the box is being set at start-up
};

}  // namespace wd::drive
