// The Dll page: delete a DLL that the shell holds.
#pragma once

#include <functional>
#include <memory>

#include "app/form.h"
#include "app/page.h"
#include "platform/ui.h"

namespace wd::dll {

inline constexpr char kShellName[] = "explorer.exe";
inline constexpr char kNotFoundBefore[] = "没有找到";
inline constexpr char kNotFoundAfter[] = "文件，请检查文件名与路径是否正确！";
inline constexpr char kNotFoundTitle[] = "没有找到！";
// How long the shell may take to exit before the file is deleted anyway.
inline constexpr int kShellExitWaitMs = 5000;

class DllPage final : public app::Page {
public:
    DllPage(app::Form& form, ui::Picture& container);

    // The page's controls keep the colours they are made with, and it has no list.
    void applyColours(ui::Rgb) override {}
    void onShown() override {}

    void Command11_Click();

    std::unique_ptr<ui::Label> Label6;
    std::unique_ptr<ui::Label> Label7;
    std::unique_ptr<ui::TextBox> Text2;
    std::unique_ptr<ui::Button> Command11;

private:
    class ShellDown;
    // Ends the shell, runs `deleteFile`, and starts the shell again.
    void replaceShell(const std::function<bool()>& deleteFile);

    app::Form& form_;
    bool shellDown_ = false;  // from ending the shell until it has been started again
};

}  // namespace wd::dll
