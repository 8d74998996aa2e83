// The Dll page: delete a DLL that the shell holds.
#pragma once

#include <memory>

#include "platform/ui.h"

namespace wd::app { class MainWindow; }

namespace wd::dll {

class DllPage {
public:
    DllPage(app::MainWindow& form, ui::Toolkit& tk, ui::Picture& container);

    void Command11_Click();

    std::unique_ptr<ui::Label> Label6;
    std::unique_ptr<ui::Label> Label7;
    std::unique_ptr<ui::TextBox> Text2;
    std::unique_ptr<ui::Button> Command11;

private:
    app::MainWindow& form_;
};

}  // namespace wd::dll
