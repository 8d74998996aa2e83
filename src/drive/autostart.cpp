#include "drive/autostart.h"

#include "common/paths.h"
#include "common/unicode.h"
#include "registry/registry_access.h"

namespace wd::drive {

std::string autostartCommand(const std::string& exePath, const std::string& driveText) {
    const std::size_t slash = exePath.find_last_of('\\');
    std::string folder = slash == std::string::npos ? std::string() : exePath.substr(0, slash);
    // A program in a drive root has the root, backslash included, as its folder.
    if (folder.size() == 2 && folder[1] == ':') folder += '\\';
    return "\"" + folder + "\\" + common::executableBaseName(exePath) + ".EXE\" watch" +
           common::firstCharacter(driveText);
}

Autostart::Autostart(app::Form& form, ui::CheckBox& check4, ui::ComboBox& driveBox)
    : form_(form), check4_(check4), driveBox_(driveBox) {
    check4_.onClick = [this] { Check4_Click(); };
}

void Autostart::Check4_Click() {
    // Start-up only shows what the registry holds.
    if (loading_) return;
    platform::Registry& reg = form_.platform.registry;
    const std::string name = common::executableBaseName(form_.start.exePath);
    const int tick = check4_.value();
    if (tick == 0) {
        registry::OpenResult run = registry::OpenKey(reg, platform::RootKey::LocalMachine, kRunKeyPath);
        if (run.status == platform::RegStatus::Success) registry::DeleteValue(reg, *run.key, name);
    } else if (tick == 1) {
        autostartText = autostartCommand(form_.start.exePath, driveBox_.text());
        if (registry::KeyHandle run = registry::CreateKey(reg, platform::RootKey::LocalMachine, kRunKeyPath))
            registry::SetStringValue(reg, *run, name, autostartText);
    }
    // Shows whether the value is there now; a change of the box runs this again.
    RefreshAutostartBox(kRunKeyPath, name);
}

void Autostart::RefreshAutostartBox(const std::string& keyPath, const std::string& valueName) {
    platform::Registry& reg = form_.platform.registry;
    bool found = false;
    if (registry::OpenResult run = registry::OpenKey(reg, platform::RootKey::LocalMachine, keyPath);
        run.status == platform::RegStatus::Success) {
        registry::WalkValues(reg, *run.key, [&](const registry::ValueEntry& e) {
            if (e.Name == valueName) found = true;  // exact, letter case included
            return !found;
        });
    }
    // Setting the box runs its click handler when the state changes.
    check4_.setValue(found ? 1 : 0);
}

void Autostart::LoadAutostartBox(const std::string& keyPath, const std::string& valueName) {
    const app::Working loading(loading_);
    RefreshAutostartBox(keyPath, valueName);
}

}  // namespace wd::drive
