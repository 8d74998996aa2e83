#include "drive/drive_page.h"

#include "app/layout.h"
#include "app/main_window.h"
#include "app/unicode.h"
#include "drive/quarantine.h"
#include "registry/registry_access.h"

namespace wd::drive {

namespace L = wd::layout;

std::string autostartCommand(const std::string& exePath, const std::string& driveText) {
    const std::size_t slash = exePath.find_last_of('\\');
    std::string folder = slash == std::string::npos ? std::string() : exePath.substr(0, slash);
    // A program in a drive root has the root, backslash included, as its folder.
    if (folder.size() == 2 && folder[1] == ':') folder += '\\';
    return "\"" + folder + "\\" + app::executableBaseName(exePath) + ".EXE\" watch" + app::firstCharacter(driveText);
}

DrivePage::DrivePage(app::MainWindow& form, ui::Toolkit& tk, ui::Picture& c) : form_(form) {
    Text3 = tk.textBox(c, L::kText3, {.multiLine = true, .readOnly = true, .vScroll = true});
    Text3->setText(L::kDriveNote);
    Command1 = tk.button(c, L::kCommand1);
    Label1 = tk.label(c, L::kLabel1);
    Label1->setTransparent(true);
    Combo1 = tk.comboBox(c, L::kCombo1);
    Combo1->setText(L::kCombo1.caption);
    Command12 = tk.button(c, L::kCommand12);
    Check4 = tk.checkBox(c, L::kCheck4);
    Check4->setValue(1);  // ticked as the form is made, before it has a handler
    Label8 = tk.label(c, L::kLabel8);
    Label8->setTransparent(true);
    Label8->setForeColor(L::kRed);

    Command1->onClick = [this] { Command1_Click(); };
    Command12->onClick = [this] { Command12_Click(); };
    Check4->onClick = [this] { Check4_Click(); };
}

void DrivePage::Command1_Click() {
    ui::Timer& timer1 = form_.timer(1);
    if (timer1.enabled()) {
        timer1.setEnabled(false);
        Command1->setCaption(L::kMonitorStart);
    } else {
        timer1.setEnabled(true);
        Command1->setCaption(L::kMonitorStop);
    }
}

void DrivePage::Command12_Click() { form_.EnterBackgroundMode(); }

void DrivePage::Timer1_Timer() {
    Platform& p = form_.platform();
    QuarantineDrive(*p.files, *p.text, Combo1->text());
}

void DrivePage::Check4_Click() {
    platform::Registry& reg = *form_.platform().registry;
    const std::string name = app::executableBaseName(form_.startInfo().exePath);
    const int tick = Check4->value();
    if (tick == 0) {
        registry::OpenResult run = registry::OpenKey(reg, platform::RootKey::LocalMachine, app::kRunKeyPath);
        if (run.status == platform::kSuccess) registry::DeleteValue(reg, *run.key, name);
    } else if (tick == 1) {
        autostartText = autostartCommand(form_.startInfo().exePath, Combo1->text());
        if (registry::KeyHandle run = registry::CreateKey(reg, platform::RootKey::LocalMachine, app::kRunKeyPath))
            registry::SetStringValue(reg, *run, name, autostartText);
    }
    // Shows whether the value is there now; a change of the box runs this again.
    form_.RefreshAutostartBox(app::kRunKeyPath, name);
}

}  // namespace wd::drive
