#include "registry/hijack_page.h"

#include <vector>

#include "app/layout.h"
#include "registry/backup_file.h"
#include "registry/backup_set.h"
#include "registry/registry_access.h"
#include "registry/row_tips.h"

namespace wd::registry {

namespace L = wd::layout;

HijackPage::HijackPage(app::Form& form, ui::Picture& c) : form_(form) {
    ui::Toolkit& tk = form.toolkit();
    Label2 = tk.label(c, L::kLabel2);
    Label2->setTransparent(true);
    Picture2 = tk.picture(c, L::kPicture2, true);
    Check1 = tk.checkBox(*Picture2, L::kCheck1);
    Check1->setTag("0");
    Check1->setVisible(false);
    VScroll2 = tk.vScrollBar(c, L::kVScroll2);
    VScroll2->setSteps(1, L::kScrollPageStep);
    Command4 = tk.button(c, L::kCommand4);
    Command3 = tk.button(c, L::kCommand3);

    const int rowWidth = L::kPicture1[L::kHijack].rect.width - L::kRowWidthLess;
    rows = std::make_unique<app::RowBoxList>(tk, *Picture2, *Check1, VScroll2.get(), app::RowBoxList::Columns::One,
                                             rowWidth);

    rows->toolTipText = [this](int row) { return toolTipOf(row); };

    VScroll2->onChange = [this] { VScroll2_Change(); };
    Command4->onClick = [this] { Command4_Click(); };
    Command3->onClick = [this] { Command3_Click(); };
}

void HijackPage::applyColours(ui::Rgb face) {
    Picture2->setBackColor(ui::kWhite);
    Check1->setBackColor(face);
}

void HijackPage::onShown() {
    if (!needsRefill_) return;
    needsRefill_ = false;
    rows->clear();
    ScanHijacks();
    rows->recomputeScrollRange(app::RowBoxList::kExtraWhenShown);
}

void HijackPage::ScanHijacks() {
    scanView(View::Bit64);
    scanView(View::Bit32);
}

void HijackPage::scanView(View view) {
    platform::Registry& reg = form_.platform.registry;
    ui::Toolkit& tk = form_.toolkit();
    // Windows shares this key between the views: then it is read once.
    if (!ViewHasOwnKey(reg, RootKey::LocalMachine, kHijackPath, view)) return;
    OpenResult ifeo = OpenKey(reg, RootKey::LocalMachine, kHijackPath, view);
    if (ifeo.status != platform::RegStatus::Success) return;
    WalkSubkeyNames(reg, *ifeo.key, [&](const std::string& name) {
        tk.keepAnswering();
        if (name == kProtectedSubkey) return true;
        // The tip is read anew after every refill.
        rows->append(view == View::Bit32 ? name + L::k32BitSuffix : name,
                     std::to_string(rows->fills()) + '|' + std::to_string(rows->count() + 1));
        const auto k = static_cast<std::size_t>(rows->count());
        if (entries_.size() < k) entries_.resize(k);
        entries_[k - 1] = {name, view};
        return true;
    });
}

const ViewedName* HijackPage::entry(int row) const {
    const auto k = static_cast<std::size_t>(row);
    return rows->hasRow(row) && k <= entries_.size() ? &entries_[k - 1] : nullptr;
}

std::string HijackPage::toolTipOf(int row) {
    const ViewedName* found = entry(row);
    if (!found) return {};
    const ViewedName& entry = *found;
    platform::Registry& reg = form_.platform.registry;
    platform::Text& text = form_.platform.text;
    OpenResult ifeo = OpenKey(reg, RootKey::LocalMachine, kHijackPath, entry.view);
    if (ifeo.status != platform::RegStatus::Success) return {};
    OpenResult key = OpenSubkey(reg, *ifeo.key, entry.name);
    if (key.status != platform::RegStatus::Success) return {};
    // A tip reads what it shows: the values that change how the program
    // starts, wherever they stand, then the first others, as many as there
    // are lines; the count comes from the key's information. The values of
    // its subkeys follow: Windows reads a Debugger there too (the filter
    // form, UseFilter with FilterFullPath), one level down.
    std::vector<TipValue> values;
    std::size_t total = 0, others = 0;
    const auto read = [&](platform::RegKey& k, const std::string& subkey) {
        platform::KeyInfo info;
        if (reg.info(k, info) == platform::RegStatus::Success) total += info.values;
        for (const char* start : kStartValueNames)
            if (std::optional<ValueEntry> e = QueryValue(reg, k, start)) values.push_back({subkey, std::move(*e)});
        if (others >= kMaxTipValueLines) return;
        WalkValues(reg, k, [&](const ValueEntry& e) {
            if (IsStartValue(e.Name, text)) return true;
            values.push_back({subkey, e});
            return ++others < kMaxTipValueLines;
        });
    };
    read(*key.key, {});
    std::size_t subkeys = 0;
    WalkSubkeyNames(reg, *key.key, [&](const std::string& name) {
        if (OpenResult sub = OpenSubkey(reg, *key.key, name); sub.status == platform::RegStatus::Success) read(*sub.key, name);
        return ++subkeys < kMaxTipSubkeys;
    });
    return ValuesToolTip(values, total, text);
}

void HijackPage::DeleteHijackKey(const std::string& name, View view) {
    platform::Registry& reg = form_.platform.registry;
    const std::string path = std::string(kHijackPath) + "\\" + name;
    // Only what the click's backup holds is deleted: the entry whole, and of
    // its subkeys those that were read with it.
    if (backup_ && !backup_->holdsKey(RootKey::LocalMachine, path, view)) return;
    OpenResult ifeo = OpenKey(reg, RootKey::LocalMachine, kHijackPath, view);
    if (ifeo.status != platform::RegStatus::Success) return;
    DeleteKeyTree(reg, *ifeo.key, name, [&](const std::string& below) {
        form_.toolkit().keepAnswering();
        return !backup_ || backup_->holdsKeyBlock(RootKey::LocalMachine, std::string(kHijackPath) + "\\" + below, view);
    });
}

void HijackPage::Command3_Click() {
    // The work lets the window answer as it goes; a click sent meanwhile is
    // not a second request.
    if (working_) return;
    const app::Working working(working_);
    Platform& p = form_.platform;
    std::vector<ViewedName> ticked;
    for (int k = 1; k <= rows->count(); ++k)
        if (const ViewedName* e = entry(k); e && rows->ticked(k)) ticked.push_back(*e);

    if (!ticked.empty()) {
        // Everything about to go is written to a backup first; without one,
        // nothing is deleted and the rescan lists the keys again.
        BackupSet backup(p.registry, &p.text);
        backup.between = [&] { p.toolkit.keepAnswering(); };
        for (const ViewedName& e : ticked)
            if (!e.name.empty())
                backup.addKeyTree(RootKey::LocalMachine, std::string(kHijackPath) + "\\" + e.name, e.view);
        const bool saved = !backup.empty() && WriteBackupFile(p.files, p.environment, "hijack", backup).has_value();
        if (saved) {
            backup_ = &backup;
            for (const ViewedName& e : ticked) DeleteHijackKey(e.name, e.view);
            backup_ = nullptr;
        }
    }

    rows->clear();
    ScanHijacks();
    rows->recomputeScrollRange(app::RowBoxList::kExtraAfterRemoval);
}

void HijackPage::Command4_Click() { rows->tickAll(selectAllNext_, *Command4); }

void HijackPage::VScroll2_Change() { rows->scrollRows(); }

}  // namespace wd::registry
