#include "app/main_window.h"

#include <stdexcept>

#include "app/command_line.h"
#include "app/help_window.h"
#include "dll/dll_page.h"
#include "drive/drive_page.h"
#include "drive/exit_dialog.h"
#include "process/process_page.h"
#include "registry/browser_page.h"
#include "registry/hijack_page.h"
#include "registry/registry_access.h"

namespace wd::app {

namespace L = wd::layout;

std::string executableBaseName(const std::string& exePath) {
    const std::size_t slash = exePath.find_last_of("\\/");
    std::string name = slash == std::string::npos ? exePath : exePath.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

MainWindow::MainWindow(Platform& platform, StartInfo start)
    : platform_(platform), tk_(platform.toolkit), start_(std::move(start)) {}

MainWindow::~MainWindow() = default;

ui::Timer& MainWindow::timer(int n) {
    switch (n) {
        case 1: return *timer1_;
        case 2: return *timer2_;
        case 3: return *timer3_;
        case 4: return *timer4_;
        default: throw std::out_of_range("timer");
    }
}

void MainWindow::createControls() {
    window_ = tk_.window("Form1", {.border = ui::BorderStyle::FixedSingle,
                                   .minimizeButton = true,
                                   .showInTaskbar = true,
                                   .hasIcon = true});
    window_->setCaption(L::kMainCaption);

    picture5_ = tk_.picture(*window_, L::kPicture5, false);
    picture5_->setImage(ui::Image::Banner);
    picture7_ = tk_.picture(*window_, L::kPicture7, false);
    picture7_->setImage(ui::Image::HSeparator);
    picture6_ = tk_.picture(*window_, L::kPicture6, false);
    picture6_->setImage(ui::Image::VSeparator);
    picico_ = tk_.picture(*window_, L::kPicico, false);
    picico_->setImage(ui::Image::TrayIcon);
    picico_->setVisible(false);

    for (int i = 0; i < 6; ++i) {
        pageBar_.push_back(tk_.button(*window_, L::kCommand2[i]));
        pageBar_.back()->onClick = [this, i] { selectPage(i); };
    }
    for (int p = 0; p < L::kPageCount; ++p) containers_.push_back(tk_.picture(*window_, L::kPicture1[p], false));

    timer1_ = tk_.timer(*window_, 100);
    timer2_ = tk_.timer(*window_, 50);
    timer3_ = tk_.timer(*window_, 200);
    timer4_ = tk_.timer(*window_, 200);

    drivePage_ = std::make_unique<drive::DrivePage>(*this, tk_, container(L::kDrive));
    hijackPage_ = std::make_unique<registry::HijackPage>(*this, tk_, container(L::kHijack));
    processPage_ = std::make_unique<process::ProcessPage>(*this, tk_, container(L::kProcess));
    browserPage_ = std::make_unique<registry::BrowserPage>(*this, tk_, container(L::kBrowser));
    dllPage_ = std::make_unique<dll::DllPage>(*this, tk_, container(L::kDll));

    timer1_->onTick = [this] { drivePage_->Timer1_Timer(); };
    timer2_->onTick = [this] { processPage_->LoopKillPass(); };
    timer3_->onTick = [this] { processPage_->RefreshProcessList(); };
    timer4_->onTick = [this] { processPage_->SearchSuspects(); };

    process::ProcessPage* pp = processPage_.get();
    mangerpro_ = tk_.popupMenu(*window_, "进程管理",
                               {{"showfile", "查看文件属性", [pp] { pp->showfile_Click(); }},
                                {"endpro", "结束进程", [pp] { pp->endpro_Click(); }}});
    listm_ = tk_.popupMenu(*window_, "列表管理",
                           {{"clear", "清 除", [pp] { pp->clear_Click(); }},
                            {"clearall", "清除所有", [pp] { pp->clearall_Click(); }}});
    formma_ = tk_.popupMenu(*window_, "formma",
                            {{"openform", "打开窗口", [this] { openform_Click(); }},
                             {"exitform", "退出监控", [this] { exitform_Click(); }}});

    window_->onCloseRequest = [this](bool& cancel) { Form_Unload(cancel); };
    platform_.tray->onMouse = [this](int message) { Picico_MouseMove(message); };
    platform_.tray->onTaskbarCreated = [this] { taskbarCreated(); };
}

void MainWindow::applyColours() {
    window_->setBackColor(L::kFaceColor);
    hijackPage_->Picture2->setBackColor(ui::kWhite);
    browserPage_->Picture4->setBackColor(ui::kWhite);
    const ui::Rgb face = window_->backColor();
    hijackPage_->Check1->setBackColor(face);
    processPage_->Check2->setBackColor(face);
    browserPage_->Check3->setBackColor(face);
    for (int p = 0; p < L::kPageCount; ++p) container(p).setBackColor(face);
    drivePage_->Check4->setBackColor(face);
    processPage_->Picture3->setBackColor(face);
    processPage_->List1->setBackColor(face);
}

void MainWindow::formLoad() {
    applyColours();
    window_->setOuterSize(L::kMainWidth, L::kMainHeight);
    for (int p = 0; p < L::kPageCount; ++p) {
        container(p).setVisible(false);
        state_.pageNeedsRefill[static_cast<std::size_t>(p)] = true;
    }
    state_.hijackCount = 0;
    state_.browserCount = 0;
    state_.processCount = 0;
    for (int n = 1; n <= 4; ++n) timer(n).setEnabled(false);
    ui::ComboBox& combo1 = *drivePage_->Combo1;
    for (int k = 0; k <= 22; ++k) combo1.insertItem(k, std::string(1, static_cast<char>(68 + k)) + ":");
    state_.hijackSelectAllNext = true;
    state_.browserSelectAllNext = true;
    state_.currentRow = 0;
    state_.baselineCount = 0;

    const WatchRequest watch = parseWatchArgument(start_.argument);
    if (watch.watch) {
        combo1.setText(watch.driveText);
        EnterBackgroundMode();
    }
    RefreshAutostartBox(kRunKeyPath, executableBaseName(start_.exePath));
    exitChoice_ = kExitNoAnswer;
    ui::Picture& drive = container(L::kDrive);
    drive.setTop(L::kPagePlacement[L::kDrive].top);
    drive.setLeft(L::kPagePlacement[L::kDrive].left);
    drive.setVisible(true);
}

void MainWindow::start() {
    tk_.initCommonControls();
    createControls();
    formLoad();
    // With the `watch` argument the load step has hidden the window already.
    if (!parseWatchArgument(start_.argument).watch) window_->show();
}

void MainWindow::selectPage(int index) {
    if (index == L::kHelp) {
        showHelp();
        return;
    }
    if (index < 0 || index >= L::kPageCount) return;
    const L::PagePlacement& place = L::kPagePlacement[index];
    window_->setOuterSize(place.windowWidth, place.windowHeight);
    ui::Picture& page = container(index);
    page.setTop(place.top);
    page.setLeft(place.left);

    auto& refill = state_.pageNeedsRefill;
    switch (index) {
        case L::kHijack:
            if (refill[L::kHijack]) {
                refill[L::kHijack] = false;
                hijackPage_->rows->clear();
                hijackPage_->ScanHijacks();
                hijackPage_->rows->recomputeScrollRange(2);
            }
            break;
        case L::kProcess:
            processPage_->rows->clear();
            processPage_->ListProcesses();
            break;
        case L::kBrowser:
            if (refill[L::kBrowser]) {
                refill[L::kBrowser] = false;
                browserPage_->rows->clear();
                browserPage_->ScanExtensions(registry::kExtensionsPath);
                browserPage_->ScanToolbars(registry::kToolbarPath);
            }
            browserPage_->rows->recomputeScrollRange(2);
            break;
        default:
            break;
    }

    page.setVisible(true);
    for (int p = 0; p < L::kPageCount; ++p)
        if (p != index) container(p).setVisible(false);
}

void MainWindow::showHelp() {
    HelpWindow help(tk_);
    help_ = &help;
    help.showModal(*window_);
    help_ = nullptr;
}

void MainWindow::EnterBackgroundMode() {
    timer(1).setEnabled(true);
    drivePage_->Command1->setCaption(L::kMonitorStop);
    // A second add while the icon is there fails and leaves the one icon.
    platform_.tray->add(L::kMainCaption);
    trayIconWanted_ = true;
    window_->minimize();
    window_->hide();
}

void MainWindow::taskbarCreated() {
    // A restarted shell has lost every icon; ours comes back.
    if (trayIconWanted_) platform_.tray->add(L::kMainCaption);
}

void MainWindow::Picico_MouseMove(int message) {
    if (message == platform::kTrayLeftButtonUp) {
        openform_Click();
    } else if (message == platform::kTrayRightButtonUp) {
        platform_.tray->setForeground();
        formma_->popup();
    }
}

void MainWindow::openform_Click() {
    // While the Exit dialog is open the window cannot be shown.
    if (exitDialog_) return;
    window_->show();
    window_->restore();
}

void MainWindow::exitform_Click() { window_->requestClose(); }

void MainWindow::Form_Unload(bool& cancel) {
    // A second close request while the dialog is open is the same request.
    if (exitDialog_) {
        cancel = true;
        return;
    }
    drive::ExitDialog dialog(
        tk_, exitChoice_,
        [this] {
            platform_.tray->remove();
            tk_.exitProcess();
        },
        [this] {
            if (help_) help_->window->close();
        });
    exitDialog_ = &dialog;
    dialog.showModal(*window_);
    exitDialog_ = nullptr;
    cancel = exitChoice_ != kExitQuit;
    if (exitChoice_ == kExitBackground) {
        exitChoice_ = kExitNoAnswer;
        EnterBackgroundMode();
    }
}

void MainWindow::RefreshAutostartBox(const std::string& keyPath, const std::string& valueName) {
    platform::Registry& reg = *platform_.registry;
    bool found = false;
    if (registry::OpenResult run = registry::OpenKey(reg, platform::RootKey::LocalMachine, keyPath);
        run.status == platform::kSuccess) {
        registry::WalkValues(reg, *run.key, [&](const registry::ValueEntry& e) {
            if (e.Name == valueName) found = true;  // exact, letter case included
            return !found;
        });
    }
    // Setting the box runs its click handler when the state changes.
    drivePage_->Check4->setValue(found ? 1 : 0);
}

}  // namespace wd::app
