#include "dll/dll_page.h"

#include "app/layout.h"
#include "common/paths.h"
#include "process/termination.h"

namespace wd::dll {

namespace L = wd::layout;

// While the shell is down, the program keeps running: the wait for the shell
// to exit handles timers and messages sent to the window. For that time
//  - "删除dll" is disabled, and a click that still arrives (a message sent to
//    the button) is no second request: the first one is not finished;
//  - a request to close the window (close box, tray menu, WM_CLOSE) is held
//    and made again once the shell runs: "完全退出" in the Exit dialog ends
//    the program at once, which must never leave the user without a shell.
// Switching pages needs nothing: the deletion works on its own copy of the path.
class DllPage::ShellDown {
public:
    explicit ShellDown(DllPage& page) : page_(page), hold_(page.form_.closing) {
        page_.shellDown_ = true;
        page_.Command11->setEnabled(false);
    }
    ~ShellDown() {
        page_.Command11->setEnabled(true);
        page_.shellDown_ = false;
    }
    ShellDown(const ShellDown&) = delete;
    ShellDown& operator=(const ShellDown&) = delete;
    bool closeRequested() const { return hold_.requested(); }

private:
    DllPage& page_;
    const app::CloseRequests::Hold hold_;
};

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

namespace {

// The file a path names, reached part by part from its root without going
// through a link, junction or mount point, and held: a folder on the way
// cannot be swapped meanwhile. Nothing when the path leads to anything but a
// plain file reached so.
struct Target {
    std::unique_ptr<platform::DriveRoot> root;
    std::unique_ptr<platform::DrivePath> path;  // the folders, then the file looked at
    std::string name;                           // the file's name in its folder
};

std::optional<Target> reach(platform::Files& files, const std::string& typed) {
    const std::optional<common::SplitPath> split = common::splitFullPath(typed);
    if (!split) return std::nullopt;
    Target t;
    t.root = files.openDriveRoot(split->root);
    if (!t.root) return std::nullopt;
    t.path = t.root->path();
    for (std::size_t i = 0; i + 1 < split->parts.size(); ++i)
        if (t.path->step(split->parts[i], platform::DriveAccess::Hold) != platform::DriveEntry::Folder)
            return std::nullopt;
    t.name = split->parts.back();
    // Looked at only: a program that holds the file does not hide it.
    if (t.path->step(t.name, platform::DriveAccess::Look) != platform::DriveEntry::File || !t.path->confirm())
        return std::nullopt;
    return t;
}

// Clears the file's attributes and deletes it through a handle of its own,
// opened anew in the folder held (the shell may have held the file until now).
bool deleteReached(Target& t) {
    t.path->back(1);
    return t.path->step(t.name, platform::DriveAccess::Move) == platform::DriveEntry::File && t.path->confirm() &&
           t.path->deleteFile();
}

}  // namespace

void DllPage::Command11_Click() {
    if (shellDown_) return;
    Platform& p = form_.platform;
    const std::string path = Text2->text();
    // Only a plain file counts as there: a path through a link would let the
    // deletion reach anything an administrator may delete, and a folder or
    // stream is no DLL.
    std::optional<Target> target = reach(p.files, path);
    if (!target) {
        form_.toolkit().messageBox(&form_.window, std::string(kNotFoundBefore) + path + kNotFoundAfter,
                                   kNotFoundTitle, ui::MessageBoxButtons::Ok);
        return;
    }
    bool closeRequested = false;
    {
        const ShellDown down(*this);
        replaceShell([&] { return deleteReached(*target); });
        closeRequested = down.closeRequested();
    }
    if (closeRequested) form_.window.requestClose();
}

void DllPage::replaceShell(const std::function<bool()>& deleteFile) {
    Platform& p = form_.platform;
    // The shell that is started again runs as the user did before, never
    // with this program's rights: its token (or the user's unelevated one)
    // is taken while it still runs.
    const std::optional<platform::ProcessEntry> running = process::FindProcessToEnd(p.processes, p.text, kShellName);
    const std::unique_ptr<platform::UserToken> user = p.processes.unelevatedToken(running ? running->pid : 0);
    const auto shell = running ? process::EndProcess(p.processes, p.text, *running) : std::nullopt;
    // The shell lets go of the file only once it has exited. A shell whose end
    // was refused runs on: waiting for it would only cost the time.
    if (shell && shell->ended) p.processes.waitForExit(shell->pid, kShellExitWaitMs);
    const bool deleted = deleteFile();
    // The shell is started from the Windows folder only: a program named
    // explorer.exe in the folder Wardeck was started from (an infected stick,
    // Downloads) or in the current folder must never run with Wardeck's rights.
    const std::string windows = p.shell.windowsFolder();
    if (windows.empty()) return;
    p.shell.startProgram(windows + "\\" + kShellName,
                         deleted ? platform::StartStyle::MinimizedActive : platform::StartStyle::Hidden, user.get());
}

}  // namespace wd::dll
