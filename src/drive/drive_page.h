// The Drive page: the removable-drive monitor's controls.
#pragma once

#include <memory>
#include <string>

#include "platform/ui.h"

namespace wd::app { class MainWindow; }

namespace wd::drive {

// The command that the log-on Run value holds: the executable's path, quoted,
// then " watch" and the first character of the drive text. The folder is
// taken as the system reports a program's folder, so a program in a drive
// root gives "C:\\name.EXE".
std::string autostartCommand(const std::string& exePath, const std::string& driveText);

class DrivePage {
public:
    DrivePage(app::MainWindow& form, ui::Toolkit& tk, ui::Picture& container);

    void Command1_Click();
    void Command12_Click();
    void Timer1_Timer();
    void Check4_Click();

    std::unique_ptr<ui::TextBox> Text3;
    std::unique_ptr<ui::Button> Command1;
    std::unique_ptr<ui::Label> Label1;
    std::unique_ptr<ui::ComboBox> Combo1;
    std::unique_ptr<ui::Button> Command12;
    std::unique_ptr<ui::CheckBox> Check4;
    std::unique_ptr<ui::Label> Label8;

    // The command last built by a ticking of Check4; it serves the write that follows.
    std::string autostartText;

private:
    app::MainWindow& form_;
};

}  // namespace wd::drive
