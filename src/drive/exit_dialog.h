// Form2: asks how to leave — quit, keep monitoring in the background, or stay.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/ui.h"

namespace wd::drive {

// The Exit dialog's answer (exitChoice): quit, background mode, or none yet.
inline constexpr std::int32_t kExitQuit = 0;
inline constexpr std::int32_t kExitBackground = 1;
inline constexpr std::int32_t kExitNoAnswer = 10;

class ExitDialog {
public:
    // `exitChoice` is the program-wide answer; `quit` ends the program;
    // `closeHelp` closes the Help window if it is open.
    ExitDialog(ui::Toolkit& tk, std::int32_t& exitChoice, std::function<void()> quit,
               std::function<void()> closeHelp);

    // Shows the dialog modally over `owner`; returns when it is closed.
    void showModal(ui::Window& owner);
    void Command1_Click(int index);

    std::unique_ptr<ui::Window> window;
    std::unique_ptr<ui::Picture> Picture1;
    std::unique_ptr<ui::Button> Command1[3];

private:
    std::int32_t& exitChoice_;
    std::function<void()> quit_;
    std::function<void()> closeHelp_;
};

}  // namespace wd::drive
