#include "process/process_page.h"

#include "app/layout.h"
#include "common/paths.h"
#include "process/file_work.h"
#include "process/termination.h"

namespace wd::process {

namespace L = wd::layout;

std::string ownNameKey(const std::string& exeBaseName) {
    std::string key = exeBaseName;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key + ".exe";
}

ProcessPage::ProcessPage(app::Form& form, ui::Picture& c)
    : form_(form),
      processes_(form.platform.processes),
      text_(form.platform.text),
      ownKey_(ownNameKey(common::executableBaseName(form.start.exePath))) {
    ui::Toolkit& tk = form.toolkit();
    Label3[0] = tk.label(c, L::kLabel3[0]);
    Picture3 = tk.picture(c, L::kPicture3, true);
    Check2 = tk.checkBox(*Picture3, L::kCheck2);
    Check2->setTag("0");
    Check2->setVisible(false);
    VScroll3 = tk.vScrollBar(c, L::kVScroll3);
    VScroll3->setSteps(1, L::kProcessColumnRows);
    Label3[1] = tk.label(c, L::kLabel3[1]);
    List1 = tk.listBox(c, L::kList1);
    Command5 = tk.button(c, L::kCommand5);
    Label3[2] = tk.label(c, L::kLabel3[2]);
    Text1 = tk.textBox(c, L::kText1, {});
    Command6 = tk.button(c, L::kCommand6);
    Command8 = tk.button(c, L::kCommand8);
    Command7 = tk.button(c, L::kCommand7);
    for (auto& l : Label3) l->setTransparent(true);

    rows = std::make_unique<app::RowBoxList>(tk, *Picture3, *Check2, nullptr, app::RowBoxList::Columns::Two,
                                             L::kCheck2.rect.width);
    rows->setColumnScrollBar(VScroll3.get());
    rows->toolTipText = [this](int row) { return toolTipOf(row); };
    rows->onRowMouseDown = [this](int row, ui::MouseButton b, int, int) { Check2_MouseDown(row, b); };

    VScroll3->onChange = [this] { rows->scrollRows(); };
    Command5->onClick = [this] { Command5_Click(); };
    Command6->onClick = [this] { Command6_Click(); };
    Command7->onClick = [this] { Command7_Click(); };
    Command8->onClick = [this] { Command8_Click(); };
    Text1->onKeyPress = [this](int key) { Text1_KeyPress(key); };
    List1->onMouseDown = [this](ui::MouseButton b, int, int) { List1_MouseDown(b); };

    form.Timer2.onTick = [this] { LoopKillPass(); };
    form.Timer3.onTick = [this] { RefreshProcessList(); };
    form.Timer4.onTick = [this] { SearchSuspects(); };
    mangerpro_ = form.menu("进程管理", {{"showfile", "查看文件属性", [this] { showfile_Click(); }},
                                        {"endpro", "结束进程", [this] { endpro_Click(); }}});
    listm_ = form.menu("列表管理", {{"clear", "清 除", [this] { clear_Click(); }},
                                    {"clearall", "清除所有", [this] { clearall_Click(); }}});
}

void ProcessPage::applyColours(ui::Rgb face) {
    Check2->setBackColor(face);
    Picture3->setBackColor(face);
    List1->setBackColor(face);
}

void ProcessPage::onShown() {
    rows->clear();
    ListProcesses();
}

void ProcessPage::ListProcesses() {
    std::map<ProcessKey, Known> listed;
    listed_.clear();
    if (const auto snapshot = processes_.snapshot()) {
        for (const platform::ProcessEntry& e : *snapshot) {
            const ProcessKey id{e.pid, e.createTime};
            Known known;
            if (const auto it = known_.find(id); it != known_.end() && e.createTime != 0)
                known = it->second;
            else
                known.name = processName(text_, e.exeName);
            if (known.name != ownKey_) {
                if (!known.pathRead) {
                    known.path = processes_.mainModulePath(e.pid);
                    known.pathRead = true;
                }
                // The tip stays while the row stands for a file of the same path.
                rows->append(known.name, known.path);
                listed_.push_back({e, known.path});
            }
            // Without a start time an id says too little to be kept.
            if (e.createTime != 0) listed.insert_or_assign(id, std::move(known));
        }
    }
    known_ = std::move(listed);
    rows->fitScrollBar();
}

const ProcessPage::Row* ProcessPage::listedRow(int k) const {
    const auto at = static_cast<std::size_t>(k);
    return rows->hasRow(k) && at <= listed_.size() ? &listed_[at - 1] : nullptr;
}

std::string ProcessPage::pathOf(int row) const {
    const Row* r = listedRow(row);
    return r ? r->path : std::string();
}

std::string ProcessPage::toolTipOf(int row) {
    const std::string path = pathOf(row);
    if (path.empty()) return {};
    return path + "\n" + signatureLine(path);
}

std::string ProcessPage::signatureLine(const std::string& path) {
    // A file on a network share is never opened on the program's own
    // initiative: that would connect to the host, offering the user's
    // credentials, and hold the window until the network answers.
    if (form_.platform.files.isNetworkPath(path)) return std::string(kSignaturePrefix) + kSignatureUnchecked;
    platform::Trust& trust = form_.platform.trust;
    const std::optional<std::uint64_t> stamp = trust.fileStamp(path);
    if (const auto it = signatures_.find(path); it != signatures_.end() && stamp && it->second.stamp == *stamp)
        return it->second.line;
    const platform::Signature signature = trust.verify(path);
    std::string line = kSignaturePrefix;
    switch (signature.state) {
        case platform::Signature::State::Valid: line += signature.signer; break;
        case platform::Signature::State::Invalid: line += kSignatureInvalid; break;
        case platform::Signature::State::None: line += kSignatureNone; break;
    }
    // A hostile machine can start processes from any number of paths: the
    // answers kept stay few.
    if (signatures_.size() >= kMaxSignaturesKept) signatures_.clear();
    if (stamp) signatures_[path] = {*stamp, line};
    return line;
}

void ProcessPage::RefreshProcessList() {
    rows->clear();
    ListProcesses();
}

int ProcessPage::selectMatching(const std::string& name) {
    for (int i = 0; i < List1->count(); ++i) {
        List1->setSelectedIndex(i);
        if (List1->item(i) == name) return i;
    }
    return -1;
}

void ProcessPage::Command5_Click() {
    for (int n = 1; rows->hasRow(n); ++n) {
        if (!rows->ticked(n)) continue;
        const std::string caption = rows->caption(n);
        if (selectMatching(caption) >= 0) continue;
        List1->addItem(caption);
        List1->setSelectedIndex(List1->count() - 1);
    }
}

void ProcessPage::Text1_KeyPress(int keyAscii) {
    if (keyAscii != ui::kEnterKey) return;
    const std::string typed = Text1->text();
    if (typed.empty()) return;
    List1->addItem(typed + ".exe");
    Text1->setText("");
    List1->setSelectedIndex(List1->count() - 1);
}

void ProcessPage::SearchSuspects() {
    const auto snapshot = processes_.snapshot();
    if (!snapshot) return;
    const bool recording = baseline_.empty();
    for (const platform::ProcessEntry& e : *snapshot) {
        const std::string name = processName(text_, e.exeName);
        if (name.empty()) continue;  // a process still starting: no name to judge yet
        if (recording) {
            baseline_.push_back(name);
            baselineNames_.insert(name);
            continue;
        }
        if (baselineNames_.count(name) != 0) continue;
        if (selectMatching(name) >= 0) continue;
        List1->addItem(name);
    }
}

void ProcessPage::LoopKillPass() {
    const int count = List1->count();
    for (int i = 0; i < count && i < List1->count(); ++i) {
        List1->setSelectedIndex(i);
        EndProcessByName(processes_, text_, List1->item(i));
    }
}

namespace {

// A switch button: toggles its timer and swaps its caption.
void toggle(ui::Timer& timer, ui::Button& button, const char* action, const char* stop) {
    if (timer.enabled()) {
        timer.setEnabled(false);
        button.setCaption(action);
    } else {
        timer.setEnabled(true);
        button.setCaption(stop);
    }
}

}  // namespace

void ProcessPage::Command6_Click() { toggle(form_.Timer3, *Command6, L::kCommand6.caption, "停止 刷新"); }
void ProcessPage::Command7_Click() { toggle(form_.Timer2, *Command7, L::kCommand7.caption, "停止 结束"); }
void ProcessPage::Command8_Click() { toggle(form_.Timer4, *Command8, L::kCommand8.caption, "停止 寻找"); }

void ProcessPage::List1_MouseDown(ui::MouseButton button) {
    if (button == ui::MouseButton::Right) listm_->popup();
}

void ProcessPage::clear_Click() {
    const int selected = List1->selectedIndex();
    if (selected >= 0 && List1->count() > 0) List1->removeItem(selected);
}

void ProcessPage::clearall_Click() { List1->clear(); }

void ProcessPage::Check2_MouseDown(int index, ui::MouseButton button) {
    if (button != ui::MouseButton::Right || index <= kRowsWithoutMenu || index > INT16_MAX) return;
    currentRow_ = static_cast<std::int16_t>(index);
    // "结束进程" ends the process this row stands for now, whatever the row
    // shows by the time the item is chosen.
    const Row* r = listedRow(index);
    menuProcess_ = r ? std::optional<platform::ProcessEntry>(r->process) : std::nullopt;
    mangerpro_->popup();
}

void ProcessPage::showfile_Click() {
    // The list may have been rebuilt with fewer rows while the menu was open.
    const int n = currentRow_;
    if (!rows->hasRow(n)) return;
    const std::string path = pathOf(n);
    ShowFileProperties(form_.platform.shell, path, form_.window.nativeHandle());
}

void ProcessPage::endpro_Click() {
    const int n = currentRow_;
    if (!rows->hasRow(n) || !menuProcess_) return;
    // The process stays the one the user right-clicked, even if a refresh
    // gives its row to another process while the box is open.
    const platform::ProcessEntry chosen = *menuProcess_;
    const std::string name = processName(text_, chosen.exeName);
    const ui::MessageBoxAnswer answer = form_.toolkit().messageBox(
        &form_.window, std::string(kEndConfirmText) + name, kEndConfirmTitle, ui::MessageBoxButtons::OkCancel);
    if (answer != ui::MessageBoxAnswer::Ok) return;
    // Ended meanwhile, it stays ended: a process that now has its id is not it.
    EndProcess(processes_, text_, chosen);
}

}  // namespace wd::process
