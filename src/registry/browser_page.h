// The Browser page: browser extensions and toolbars registered for the machine.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/form.h"
#include "app/page.h"
#include "app/row_list.h"
#include "platform/ui.h"
#include "registry/registry_access.h"

namespace wd::registry {

class BackupSet;

inline constexpr char kExtensionsPath[] = "Software\\Microsoft\\Internet Explorer\\Extensions";
inline constexpr char kToolbarPath[] = "Software\\Microsoft\\Internet Explorer\\Toolbar";
// Wiped on every removal: all URL search hooks of the current user and all
// browser helper objects of the machine.
inline constexpr RootKey kUrlSearchHooksRoot = RootKey::CurrentUser;
inline constexpr char kUrlSearchHooksPath[] = "Software\\Microsoft\\Internet Explorer\\URLSearchHooks";
inline constexpr RootKey kHelperObjectsRoot = RootKey::LocalMachine;
inline constexpr char kHelperObjectsPath[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
// What an add-on's tip reads: the COM classes of the user and of the machine,
// and the values of an extension that name what it runs.
inline constexpr char kClassesPath[] = "Software\\Classes\\CLSID";
inline constexpr char kInprocServerKey[] = "InprocServer32";
inline constexpr char kExecValue[] = "Exec";
inline constexpr char kScriptValue[] = "Script";
inline constexpr char kClsidExtensionValue[] = "ClsidExtension";
// The values whose text captions an extension's row.
inline constexpr char kMenuTextValue[] = "MenuText";
inline constexpr char kButtonTextValue[] = "ButtonText";

class BrowserPage final : public app::Page {
public:
    BrowserPage(app::Form& form, ui::Picture& container);

    // The list box is white, its template row in the window's colour.
    void applyColours(ui::Rgb face) override;
    // The first time the page is selected its list is filled; after that only
    // "清  除" fills it anew. Every selection recomputes the scroll range.
    void onShown() override;

    // One row per subkey of the Extensions key as `view` shows it, captioned
    // by its first "MenuText" or "ButtonText" value with data, else by the
    // template's caption. Rows of the 32-bit view carry k32BitSuffix; that
    // view is read only where it has a key of its own.
    void ScanExtensions(const std::string& path, View view = View::Bit64);
    // One row per value of the Toolbar key that holds data, as above.
    void ScanToolbars(const std::string& path, View view = View::Bit64);
    // The whole list: the extensions of the 64-bit view, then those of the
    // 32-bit view, then the toolbars in the same order.
    void ScanAll();

    void DeleteExtensionKey(const std::string& name, View view = View::Bit64);
    void DeleteToolbarValue(const std::string& name, View view = View::Bit64);
    // Every value, or every direct subkey (each with its subkeys), of one key
    // in each view that has one of its own. The key is opened as itself: a
    // link in its place is left alone.
    void DeleteAllValues(RootKey root, const std::string& path);
    void DeleteAllSubkeys(RootKey root, const std::string& path);

    // "清  除": backs up all that the click deletes into one file, deletes the
    // ticked entries from both keys in the view each was found in, wipes the
    // URL search hooks and the browser helper objects in both views, then
    // lists anew. Without a backup nothing is deleted.
    void Command10_Click();
    void Command9_Click();
    void VScroll1_Change();

    // Whether the next click of "选定全部" ticks every row.
    bool selectAllNext() const { return selectAllNext_; }
    // Whether the next selection of the page fills its list.
    bool needsRefill() const { return needsRefill_; }

    std::unique_ptr<ui::Label> Label5;
    std::unique_ptr<ui::Picture> Picture4;
    std::unique_ptr<ui::CheckBox> Check3;  // element 0, the template row
    std::unique_ptr<ui::VScrollBar> VScroll1;
    std::unique_ptr<ui::Button> Command9;
    std::unique_ptr<ui::Button> Command10;
    std::unique_ptr<app::RowBoxList> rows;

    // The registry entry that row k stands for and the view it was found in;
    // null for a row that stands for none.
    const ViewedName* entry(int row) const;

private:
    // What a row stands for: an entry, and which key it was found under (its
    // tip reads that key).
    enum class Kind { Extension, Toolbar };
    struct Row {
        ViewedName entry;
        Kind kind = Kind::Extension;
    };
    void appendRow(const std::string& caption, const ViewedName& entry, Kind kind);
    const Row* listedRow(int k) const;
    // Row k's tool tip: the add-on's CLSID and the file it loads.
    std::string toolTipOf(int row);
    // The file a COM class is served from (InprocServer32), as the user's
    // classes, then the machine's, register it in `view`; "" when none.
    std::string classServer(const std::string& clsid, View view);
    // Row k at k - 1, set as the row is listed. Rows beyond the row count are
    // left from a longer list.
    std::vector<Row> listed_;
    bool backUpRemoval(BackupSet& backup, const std::vector<ViewedName>& ticked);
    // During a click: what its backup holds, and so what may be deleted.
    const BackupSet* backup_ = nullptr;
    bool working_ = false;  // "清  除" is under way
    bool selectAllNext_ = true;
    bool needsRefill_ = true;

    app::Form& form_;
};

}  // namespace wd::registry
