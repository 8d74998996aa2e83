// The Process page: every running process, the Suspect list and its switches.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <map>
#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

#include "app/form.h"
#include "app/page.h"
#include "app/row_list.h"
#include "platform/processes.h"
#include "platform/ui.h"

namespace wd::process {

inline constexpr char kEndConfirmText[] = "某些进程是系统进程，结束会引起系统不稳定，真的要结束进程";
inline constexpr char kEndConfirmTitle[] = "结束进程";
// The second line of a process row's tool tip: who signed its file.
inline constexpr char kSignaturePrefix[] = "签名：";
inline constexpr char kSignatureNone[] = "无";
inline constexpr char kSignatureInvalid[] = "无效";
// A file on a network share, which is never opened for its signature.
inline constexpr char kSignatureUnchecked[] = "未检查";
inline constexpr std::size_t kMaxSignaturesKept = 512;
// The first rows of the list never open the Process menu: a snapshot starts
// with the system's own processes.
inline constexpr int kRowsWithoutMenu = 5;

// The name under which the program itself runs: its executable's base name
// with only A-Z folded to lower case, then ".exe".
std::string ownNameKey(const std::string& exeBaseName);

class ProcessPage final : public app::Page {
public:
    // Makes the page's controls in `container` and wires them, the timers
    // Timer2 to Timer4 and the Process and List menus to its handlers.
    ProcessPage(app::Form& form, ui::Picture& container);

    // The list's box, its template row and the Suspect list take the window's colour.
    void applyColours(ui::Rgb face) override;
    // Every selection lists the processes anew.
    void onShown() override;

    // Appends one row per running process to the (cleared) Process list.
    void ListProcesses();
    void RefreshProcessList();
    void SearchSuspects();
    void LoopKillPass();

    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command8_Click();
    void Text1_KeyPress(int keyAscii);
    void List1_MouseDown(ui::MouseButton button);
    void Check2_MouseDown(int index, ui::MouseButton button);
    void clear_Click();
    void clearall_Click();
    void showfile_Click();
    void endpro_Click();

    const std::vector<std::string>& baseline() const { return baseline_; }
    // How many names the suspect search has recorded as running when it
    // first looked (0: the next search records them).
    std::int32_t baselineCount() const { return static_cast<std::int32_t>(baseline_.size()); }
    // The row whose menu was opened last (0: none yet).
    std::int16_t currentRow() const { return currentRow_; }
    // The full path of row k's executable, as listed (empty when it could not
    // be read, or for a row that stands for no process).
    std::string pathOf(int row) const;
    ui::PopupMenu& mangerpro() { return *mangerpro_; }
    ui::PopupMenu& listm() { return *listm_; }

    std::unique_ptr<ui::Label> Label3[3];
    std::unique_ptr<ui::Picture> Picture3;
    std::unique_ptr<ui::CheckBox> Check2;  // element 0, the template row
    std::unique_ptr<ui::VScrollBar> VScroll3;
    std::unique_ptr<ui::ListBox> List1;
    std::unique_ptr<ui::Button> Command5;
    std::unique_ptr<ui::TextBox> Text1;
    std::unique_ptr<ui::Button> Command6;
    std::unique_ptr<ui::Button> Command8;
    std::unique_ptr<ui::Button> Command7;
    std::unique_ptr<app::RowBoxList> rows;

private:
    // Selects entries one by one from the top; the index of the first equal
    // to `name`, or -1 with the last entry left selected.
    int selectMatching(const std::string& name);
    // Row k's tool tip: its path, then who signed the file.
    std::string toolTipOf(int row);
    std::string signatureLine(const std::string& path);

    // What a listing learnt of a process: its name for life, its path once
    // read. Kept by process id and start time, so that a refresh reads the
    // path of new processes only, and a new process that was given an old
    // id is read anew.
    struct Known {
        std::string name;
        std::string path;
        bool pathRead = false;
    };
    using ProcessKey = std::pair<std::uint32_t, std::uint64_t>;

    app::Form& form_;
    platform::Processes& processes_;
    platform::Text& text_;
    const std::string ownKey_;
    std::map<ProcessKey, Known> known_;  // the processes of the last listing
    // What a row stands for: the process, and its executable's path.
    struct Row {
        platform::ProcessEntry process;
        std::string path;
    };
    const Row* listedRow(int k) const;
    // The rows of the last listing (row k at k - 1), and the process of the
    // row whose menu was opened last.
    std::vector<Row> listed_;
    std::optional<platform::ProcessEntry> menuProcess_;
    // Signatures checked, by path, with the file's stamp when it was checked.
    struct Checked {
        std::uint64_t stamp = 0;
        std::string line;
    };
    std::map<std::string, Checked> signatures_;
    std::unique_ptr<ui::PopupMenu> mangerpro_;  // the Process menu
    std::unique_ptr<ui::PopupMenu> listm_;      // the List menu
    std::vector<std::string> baseline_;
    std::int16_t currentRow_ = 0;
    std::unordered_set<std::string> baselineNames_;
};

}  // namespace wd::process
