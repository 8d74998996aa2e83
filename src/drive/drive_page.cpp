#include "drive/drive_page.h"

#include "app/layout.h"
#include "app/main_window.h"
#include "drive/quarantine.h"

namespace wd::drive {

namespace L = wd::layout;

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
    // Writing and removing the autostart value is added with the registry layer.
}

}  // namespace wd::drive
