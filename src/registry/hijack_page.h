// The Hijack page: programs with an "Image File Execution Options" entry.
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

inline constexpr char kHijackPath[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
// The sample entry Windows ships under the hijack key; it is never listed.
inline constexpr char kProtectedSubkey[] = "Your Image File Name Here without a path";

class HijackPage final : public app::Page {
public:
    HijackPage(app::Form& form, ui::Picture& container);

    // The list box is white, its template row in the window's colour.
    void applyColours(ui::Rgb face) override;
    // The first time the page is selected its list is filled; after that only
    // "清除劫持" fills it anew.
    void onShown() override;

    // Fills the (cleared) list from the registry: the subkeys of the 64-bit
    // view, then those of the 32-bit view where that has a hijack key of its
    // own, captioned with k32BitSuffix.
    void ScanHijacks();
    // Deletes the hijack key's subkey `name` in `view` with its subkeys (an
    // entry can hide its Debugger one level down, in a filter subkey).
    void DeleteHijackKey(const std::string& name, View view = View::Bit64);
    // "清除劫持": backs up every ticked key whole, deletes them in row order,
    // each in its own view, then lists anew. Without a backup nothing is
    // deleted.
    void Command3_Click();
    void Command4_Click();
    void VScroll2_Change();

    // Whether the next click of "选定全部" ticks every row.
    bool selectAllNext() const { return selectAllNext_; }
    // Whether the next selection of the page fills its list.
    bool needsRefill() const { return needsRefill_; }

    std::unique_ptr<ui::Label> Label2;
    std::unique_ptr<ui::Picture> Picture2;
    std::unique_ptr<ui::CheckBox> Check1;  // element 0, the template row
    std::unique_ptr<ui::VScrollBar> VScroll2;
    std::unique_ptr<ui::Button> Command4;
    std::unique_ptr<ui::Button> Command3;
    std::unique_ptr<app::RowBoxList> rows;

    // The subkey that row k stands for and the view it was found in; null for
    // a row that stands for none.
    const ViewedName* entry(int row) const;

private:
    void scanView(View view);
    // Row k's tool tip: the values of its key.
    std::string toolTipOf(int row);
    app::Form& form_;
    // The entry of row k at k - 1, set as the row is listed. Entries beyond
    // the row count are left from a longer list.
    std::vector<ViewedName> entries_;
    // During a click: what its backup holds, and so what may be deleted.
    const BackupSet* backup_ = nullptr;
    bool working_ = false;  // "清除劫持" is under way
    bool selectAllNext_ = true;
    bool needsRefill_ = true;
};

}  // namespace wd::registry
