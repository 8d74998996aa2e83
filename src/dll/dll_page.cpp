#include "dll/dll_page.h"

#include "app/layout.h"
#include "process/termination.h"

namespace wd::dll {

namespace L = wd::layout;

DllPage::DllPage(app::Form& form, ui::Picture& c) : form_(form) {
    ui::Toolkit& tk = form.toolkit();
    Label6 = tk.label(c, L::kLabel6);
    Label6->setTransparent(true);
    Label7 = tk.label(c, L::kLabel7);
    Label7->setTransparent(true);
    Text2 = tk.textBox(c, L::kText2, {.multiLine = true});
    Command11 = tk.button(c, L::kCommand11);
    Command11->onClick = [this] { Command11_Click(); };
}

void DllPage::Command11_Click() {
    Platform& p = form_.platform;
    const std::string path = Text2->text();
    if (!p.files.exists(path)) {
        form_.toolkit().messageBox(&form_.window, std::string(kNotFoundBefore) + path + kNotFoundAfter,
                                   kNotFoundTitle, ui::kMbOk);
        return;
    }
    const auto shell = process::EndProcessByName(p.processes, p.text, kShellName);
    // The shell lets go of the file only once it has exited.
    if (shell) p.processes.waitForExit(*shell, kShellExitWaitMs);
    const bool deleted = p.files.setNormalAttributes(path) && p.files.deleteFile(path);
    // The shell is started from the Windows folder only: a program named
    // explorer.exe in the folder Wardeck was started from (an infected stick,
    // Downloads) or in the current folder must never run with Wardeck's rights.
    const std::string windows = p.shell.windowsFolder();
    if (windows.empty()) return;
    p.shell.startProgram(windows + "\\" + kShellName,
                         deleted ? platform::StartStyle::MinimizedActive : platform::StartStyle::Hidden);
}

}  // namespace wd::dll
