// The Process page: every running process, the Suspect list and its switches.
#pragma once

#include <memory>

#include "app/row_list.h"
#include "platform/ui.h"

namespace wd::app { class MainWindow; }

namespace wd::process {

class ProcessPage {
public:
    ProcessPage(app::MainWindow& form, ui::Toolkit& tk, ui::Picture& container);

    // Appends one row per running process to the (cleared) Process list.
    void ListProcesses();

    std::unique_ptr<ui::Label> Label3[3];
    std::unique_ptr<ui::Picture> Picture3;
    std::unique_ptr<ui::CheckBox> Check2;  // element 0, the template row
    std::unique_ptr<ui::ListBox> List1;
    std::unique_ptr<ui::Button> Command5;
    std::unique_ptr<ui::TextBox> Text1;
    std::unique_ptr<ui::Button> Command6;
    std::unique_ptr<ui::Button> Command8;
    std::unique_ptr<ui::Button> Command7;
    std::unique_ptr<app::RowBoxList> rows;

private:
    app::MainWindow& form_;
};

}  // namespace wd::process
