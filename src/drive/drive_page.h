// The Drive page: the removable-drive monitor's controls, its autostart box
// and the way into background mode.
#pragma once

#include <memory>
#include <string>

#include "app/form.h"
#include "app/page.h"
#include "drive/autostart.h"
#include "drive/background.h"
#include "drive/quarantine.h"
#include "platform/ui.h"

namespace wd::drive {

// The drive box lists the drives from D: to Z:.
inline constexpr char kFirstDriveLetter = 'D';
inline constexpr char kLastDriveLetter = 'Z';

class DrivePage final : public app::Page {
public:
    // Makes the page's controls in `container` and wires them and Timer1.
    DrivePage(app::Form& form, ui::Picture& container);

    // The autostart box takes the window's colour.
    void applyColours(ui::Rgb face) override;
    // The page has no list: nothing to do.
    void onShown() override {}

    // The page's part of start-up: the drive box's list, the `watch`
    // argument's drive and background mode, then the autostart box.
    void load(bool watch, const std::string& watchDrive);

    void Command1_Click();
    void Command12_Click();
    void Timer1_Timer();
    // Turns the monitor on (Timer1 and Command1's caption).
    void startMonitor();

    Autostart& autostart() { return *autostart_; }
    Background& background() { return *background_; }

    std::unique_ptr<ui::TextBox> Text3;
    std::unique_ptr<ui::Button> Command1;
    std::unique_ptr<ui::Label> Label1;
    std::unique_ptr<ui::ComboBox> Combo1;
    std::unique_ptr<ui::Button> Command12;
    std::unique_ptr<ui::CheckBox> Check4;
    std::unique_ptr<ui::Label> Label8;

private:
    app::Form& form_;
    std::unique_ptr<Autostart> autostart_;
    std::unique_ptr<Background> background_;
    // The run under way on the drive in the box, going on from tick to tick.
    Quarantine quarantine_;
};

}  // namespace wd::drive
