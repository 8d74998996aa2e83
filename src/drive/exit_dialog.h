// Form2: asks how to leave — quit, keep monitoring in the background, or stay.
#pragma once

#include <functional>
#include <memory>

#include "platform/ui.h"

namespace wd::drive {

// The Exit dialog's answer (exitChoice): quit, background mode, or none yet.
enum class ExitChoice { Quit, Background, None };

// The buttons of the dialog, by their index in Command1.
enum ExitButton : int { kQuitButton = 0, kBackgroundButton = 1, kStayButton = 2 };

class ExitDialog {
public:
    // `exitChoice` is the program-wide answer; `quit` ends the program;
    // `closeHelp` closes the Help window if it is open.
    ExitDialog(ui::Toolkit& tk, ExitChoice& exitChoice, std::function<void()> quit,
               std::function<void()> closeHelp);

    // Shows the dialog modally over `owner`; returns when it is closed.
    void showModal(ui::Window& owner);
    void Command1_Click(int index);

    std::unique_ptr<ui::Window> window;
    std::unique_ptr<ui::Picture> Picture1;
    std::unique_ptr<ui::Button> Command1[3];

private:
    ExitChoice& exitChoice_;
    std::function<void()> quit_;
    std::function<void()> closeHelp_;
};

}  // namespace wd::drive
