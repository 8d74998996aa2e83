#include "drive/drive_page.h"

#include "app/layout.h"
#include "common/paths.h"
#include "drive/quarantine.h"

namespace wd::drive {

namespace L = wd::layout;

DrivePage::DrivePage(app::Form& form, ui::Picture& c) : form_(form) {
    ui::Toolkit& tk = form.toolkit();
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
    form.Timer1.onTick = [this] { Timer1_Timer(); };
    autostart_ = std::make_unique<Autostart>(form, *Check4, *Combo1);
    background_ = std::make_unique<Background>(form, [this] { startMonitor(); });
}

void DrivePage::applyColours(ui::Rgb face) { Check4->setBackColor(face); }

void DrivePage::load(bool watch, const std::string& watchDrive) {
    for (char letter = kFirstDriveLetter; letter <= kLastDriveLetter; ++letter)
        Combo1->insertItem(letter - kFirstDriveLetter, std::string(1, letter) + ":");
    if (watch) {
        Combo1->setText(watchDrive);
        background_->EnterBackgroundMode();
    }
    autostart_->LoadAutostartBox(kRunKeyPath, common::executableBaseName(form_.start.exePath));
    background_->clearExitChoice();
}

void DrivePage::startMonitor() {
    form_.Timer1.setEnabled(true);
    Command1->setCaption(L::kMonitorStop);
}

void DrivePage::Command1_Click() {
    if (form_.Timer1.enabled()) {
        form_.Timer1.setEnabled(false);
        Command1->setCaption(L::kMonitorStart);
    } else {
        startMonitor();
    }
}

void DrivePage::Command12_Click() { background_->EnterBackgroundMode(); }

// A slice of the quarantine run per tick (see Quarantine): a huge autorun
// file is worked through over many ticks while the window and the other
// timers go on between them.
void DrivePage::Timer1_Timer() { quarantine_.tick(form_.platform.files, form_.platform.text, Combo1->text()); }

}  // namespace wd::drive
