#include "registry/browser_page.h"

#include "app/layout.h"
#include "registry/backup_file.h"
#include "registry/backup_set.h"
#include "registry/registry_access.h"
#include "registry/row_tips.h"

namespace wd::registry {

namespace L = wd::layout;

BrowserPage::BrowserPage(app::Form& form, ui::Picture& c) : form_(form) {
    ui::Toolkit& tk = form.toolkit();
    Label5 = tk.label(c, L::kLabel5);
    Label5->setTransparent(true);
    Picture4 = tk.picture(c, L::kPicture4, true);
    Check3 = tk.checkBox(*Picture4, L::kCheck3);
    Check3->setTag("0");
    VScroll1 = tk.vScrollBar(c, L::kVScroll1);
    VScroll1->setSteps(1, L::kScrollPageStep);
    Command9 = tk.button(c, L::kCommand9);
    Command10 = tk.button(c, L::kCommand10);

    const int rowWidth = L::kPicture1[L::kBrowser].rect.width - L::kRowWidthLess;
    rows = std::make_unique<app::RowBoxList>(tk, *Picture4, *Check3, VScroll1.get(), app::RowBoxList::Columns::One,
                                             rowWidth);

    rows->toolTipText = [this](int row) { return toolTipOf(row); };

    VScroll1->onChange = [this] { VScroll1_Change(); };
    Command9->onClick = [this] { Command9_Click(); };
    Command10->onClick = [this] { Command10_Click(); };
}

void BrowserPage::applyColours(ui::Rgb face) {
    Picture4->setBackColor(ui::kWhite);
    Check3->setBackColor(face);
}

void BrowserPage::onShown() {
    if (needsRefill_) {
        needsRefill_ = false;
        rows->clear();
        ScanAll();
    }
    rows->recomputeScrollRange(app::RowBoxList::kExtraWhenShown);
}

void BrowserPage::appendRow(const std::string& caption, const ViewedName& entry, Kind kind) {
    // The tip is read anew after every refill.
    rows->append(entry.view == View::Bit32 ? caption + L::k32BitSuffix : caption,
                 std::to_string(rows->fills()) + '|' + std::to_string(rows->count() + 1));
    const auto k = static_cast<std::size_t>(rows->count());
    if (listed_.size() < k) listed_.resize(k);
    listed_[k - 1] = {entry, kind};
}

const BrowserPage::Row* BrowserPage::listedRow(int k) const {
    const auto at = static_cast<std::size_t>(k);
    return rows->hasRow(k) && at <= listed_.size() ? &listed_[at - 1] : nullptr;
}

const ViewedName* BrowserPage::entry(int k) const {
    const Row* r = listedRow(k);
    return r ? &r->entry : nullptr;
}

std::string BrowserPage::classServer(const std::string& clsid, View view) {
    platform::Registry& reg = form_.platform.registry;
    for (RootKey root : {RootKey::CurrentUser, RootKey::LocalMachine}) {
        OpenResult server =
            OpenKey(reg, root, std::string(kClassesPath) + "\\" + clsid + "\\" + kInprocServerKey, view);
        if (server.status != platform::RegStatus::Success) continue;
        // The default value alone, however many others the key holds.
        if (const std::optional<ValueEntry> file = QueryValue(reg, *server.key, "")) return file->Text;
    }
    return {};
}

std::string BrowserPage::toolTipOf(int k) {
    const Row* r = listedRow(k);
    if (!r) return {};
    const ViewedName& entry = r->entry;
    Platform& p = form_.platform;
    std::string command;
    if (r->kind == Kind::Extension) {
        // A button or menu entry runs a program or script of its own, or a COM
        // class (named by ClsidExtension, or by the entry itself).
        std::string exec, script, clsid = entry.name;
        OpenResult ext = OpenKey(p.registry, RootKey::LocalMachine, std::string(kExtensionsPath) + "\\" + entry.name,
                                 entry.view);
        if (ext.status == platform::RegStatus::Success) {
            const auto read = [&](const char* name, std::string& into) {
                if (const std::optional<ValueEntry> e = QueryValue(p.registry, *ext.key, name); e && e->ByteCount >= 1)
                    into = e->Text;
            };
            read(kExecValue, exec);
            read(kScriptValue, script);
            read(kClsidExtensionValue, clsid);
        }
        command = !exec.empty() ? exec : !script.empty() ? script : classServer(clsid, entry.view);
    } else {
        command = classServer(entry.name, entry.view);
    }
    const std::string file = p.environment.expand(FileOfCommand(command));
    // A file on a network share is shown, never looked for: that would
    // connect to the host the registry names, offering the user's
    // credentials, and hold the window until the network gives up.
    return AddOnToolTip(entry.name, file, !file.empty() && !p.files.isNetworkPath(file) && !p.files.exists(file));
}

void BrowserPage::ScanExtensions(const std::string& path, View view) {
    platform::Registry& reg = form_.platform.registry;
    if (!ViewHasOwnKey(reg, RootKey::LocalMachine, path, view)) return;
    OpenResult extensions = OpenKey(reg, RootKey::LocalMachine, path, view);
    if (extensions.status != platform::RegStatus::Success) return;
    WalkSubkeyNames(reg, *extensions.key, [&](const std::string& name) {
        form_.toolkit().keepAnswering();
        std::string caption = Check3->caption();
        OpenResult ext = OpenKey(reg, RootKey::LocalMachine, path + "\\" + name, view);
        if (ext.status == platform::RegStatus::Success) {
            // Names only, until one of the two, spelt exactly so, has data.
            WalkValueNames(reg, *ext.key, [&](const std::string& value) {
                if (value != kMenuTextValue && value != kButtonTextValue) return true;
                const std::optional<ValueEntry> e = QueryValue(reg, *ext.key, value);
                if (!e || e->ByteCount < 1) return true;
                caption = e->Text;
                return false;
            });
        }
        appendRow(caption, {name, view}, Kind::Extension);
        return true;
    });
}

void BrowserPage::ScanToolbars(const std::string& path, View view) {
    platform::Registry& reg = form_.platform.registry;
    if (!ViewHasOwnKey(reg, RootKey::LocalMachine, path, view)) return;
    OpenResult toolbar = OpenKey(reg, RootKey::LocalMachine, path, view);
    if (toolbar.status != platform::RegStatus::Success) return;
    WalkValues(reg, *toolbar.key, [&](const ValueEntry& e) {
        form_.toolkit().keepAnswering();
        if (e.ByteCount >= 1) appendRow(e.Text, {e.Name, view}, Kind::Toolbar);
        return true;
    });
}

void BrowserPage::ScanAll() {
    // Every extension before every toolbar; of each kind, the 32-bit view's
    // rows after the 64-bit view's.
    for (View view : {View::Bit64, View::Bit32}) ScanExtensions(kExtensionsPath, view);
    for (View view : {View::Bit64, View::Bit32}) ScanToolbars(kToolbarPath, view);
}

void BrowserPage::DeleteExtensionKey(const std::string& name, View view) {
    platform::Registry& reg = form_.platform.registry;
    if (backup_ && !backup_->holdsKey(RootKey::LocalMachine, std::string(kExtensionsPath) + "\\" + name, view))
        return;
    OpenResult extensions = OpenKey(reg, RootKey::LocalMachine, kExtensionsPath, view);
    if (extensions.status == platform::RegStatus::Success)
        DeleteKeyTree(reg, *extensions.key, name, [&](const std::string& below) {
            form_.toolkit().keepAnswering();
            return !backup_ ||
                   backup_->holdsKeyBlock(RootKey::LocalMachine, std::string(kExtensionsPath) + "\\" + below, view);
        });
}

void BrowserPage::DeleteToolbarValue(const std::string& name, View view) {
    platform::Registry& reg = form_.platform.registry;
    if (backup_ && !backup_->holdsValue(RootKey::LocalMachine, kToolbarPath, name, view)) return;
    OpenResult toolbar = OpenKey(reg, RootKey::LocalMachine, kToolbarPath, view);
    if (toolbar.status == platform::RegStatus::Success) DeleteValue(reg, *toolbar.key, name);
}

void BrowserPage::DeleteAllValues(RootKey root, const std::string& path) {
    platform::Registry& reg = form_.platform.registry;
    for (View view : {View::Bit64, View::Bit32}) {
        if (!ViewHasOwnKey(reg, root, path, view)) continue;
        // The key itself: a link in its place would wipe the key it leads to.
        OpenResult key = OpenKeyAsItself(reg, root, path, view);
        if (key.status != platform::RegStatus::Success) continue;
        // All names first: deleting shifts the index of the values still to come.
        std::vector<std::string> names;
        WalkValueNames(reg, *key.key, [&](const std::string& name) {
            form_.toolkit().keepAnswering();
            names.push_back(name);
            return true;
        });
        for (const std::string& name : names) {
            form_.toolkit().keepAnswering();
            if (!backup_ || backup_->holdsValue(root, path, name, view)) DeleteValue(reg, *key.key, name);
        }
    }
}

void BrowserPage::DeleteAllSubkeys(RootKey root, const std::string& path) {
    platform::Registry& reg = form_.platform.registry;
    for (View view : {View::Bit64, View::Bit32}) {
        if (!ViewHasOwnKey(reg, root, path, view)) continue;
        OpenResult key = OpenKeyAsItself(reg, root, path, view);
        if (key.status != platform::RegStatus::Success) continue;
        // Each helper object whole, as its backup holds it.
        for (const std::string& name : EnumSubkeyNames(reg, *key.key))
            if (!backup_ || backup_->holdsKey(root, path + "\\" + name, view))
                DeleteKeyTree(reg, *key.key, name, [&](const std::string& below) {
                    form_.toolkit().keepAnswering();
                    return !backup_ || backup_->holdsKeyBlock(root, path + "\\" + below, view);
                });
    }
}

bool BrowserPage::backUpRemoval(BackupSet& backup, const std::vector<ViewedName>& ticked) {
    Platform& p = form_.platform;
    for (const ViewedName& e : ticked) {
        // A toolbar row may stand for the unnamed value; no subkey has an empty name.
        if (!e.name.empty())
            backup.addKeyTree(RootKey::LocalMachine, std::string(kExtensionsPath) + "\\" + e.name, e.view);
        backup.addValue(RootKey::LocalMachine, kToolbarPath, e.name, e.view);
    }
    for (View view : {View::Bit64, View::Bit32}) {
        if (ViewHasOwnKey(p.registry, kUrlSearchHooksRoot, kUrlSearchHooksPath, view))
            backup.addAllValues(kUrlSearchHooksRoot, kUrlSearchHooksPath, view);
        if (ViewHasOwnKey(p.registry, kHelperObjectsRoot, kHelperObjectsPath, view))
            backup.addSubkeyTrees(kHelperObjectsRoot, kHelperObjectsPath, view);
    }
    return !backup.empty() && WriteBackupFile(p.files, p.environment, "browser", backup).has_value();
}

void BrowserPage::Command10_Click() {
    // The work lets the window answer as it goes; a click sent meanwhile is
    // not a second request.
    if (working_) return;
    const app::Working working(working_);
    std::vector<ViewedName> ticked;
    for (int k = 1; k <= rows->count(); ++k)
        if (const ViewedName* e = entry(k); e && rows->ticked(k)) ticked.push_back(*e);

    // One backup of all the click deletes, and only what it holds is deleted;
    // without it nothing is deleted and the rescan lists every entry again.
    Platform& p = form_.platform;
    BackupSet backup(p.registry, &p.text);
    backup.between = [&] { p.toolkit.keepAnswering(); };
    const bool saved = backUpRemoval(backup, ticked);
    if (saved) {
        backup_ = &backup;
        for (const ViewedName& e : ticked) {
            DeleteExtensionKey(e.name, e.view);
            DeleteToolbarValue(e.name, e.view);
        }
    }
    rows->clear();
    if (saved) {
        DeleteAllValues(kUrlSearchHooksRoot, kUrlSearchHooksPath);
        DeleteAllSubkeys(kHelperObjectsRoot, kHelperObjectsPath);
    }
    backup_ = nullptr;
    ScanAll();
    rows->recomputeScrollRange(app::RowBoxList::kExtraAfterRemoval);
}

void BrowserPage::Command9_Click() { rows->tickAll(selectAllNext_, *Command9); }

void BrowserPage::VScroll1_Change() { rows->scrollRows(); }

}  // namespace wd::registry
