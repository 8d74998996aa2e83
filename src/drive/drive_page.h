// The Drive page: the removable-drive monitor's controls.
#pragma once

#include <memory>

#include "platform/ui.h"

namespace wd::app { class MainWindow; }

namespace wd::drive {

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

private:
    app::MainWindow& form_;
};

}  // namespace wd::drive
