#include "app/main_window.h"

#include "app/command_line.h"
#include "app/help_window.h"
#include "dll/dll_page.h"
#include "drive/drive_page.h"
#include "process/process_page.h"
#include "registry/browser_page.h"
#include "registry/hijack_page.h"

namespace wd::app {

namespace L = wd::layout;

MainWindow::MainWindow(Platform& platform, StartInfo start)
    : platform_(platform), tk_(platform.toolkit), start_(std::move(start)) {}

MainWindow::~MainWindow() = default;

void MainWindow::createControls() {
    window_ = tk_.window("Form1", {.border = ui::BorderStyle::FixedSingle,
                                   .minimizeButton = true,
                                   .showInTaskbar = true,
                                   .hasIcon = true});
    window_->setCaption(L::kMainCaption);
    closing_ = std::make_unique<CloseRequests>(*window_);

    picture5_ = tk_.picture(*window_, L::kPicture5, false);
    picture5_->setImage(ui::Image::Banner);
    picture7_ = tk_.picture(*window_, L::kPicture7, false);
    picture7_->setImage(ui::Image::HSeparator);
    picture6_ = tk_.picture(*window_, L::kPicture6, false);
    picture6_->setImage(ui::Image::VSeparator);

    for (int i = 0; i < 6; ++i) {
        pageBar_.push_back(tk_.button(*window_, L::kCommand2[i]));
        pageBar_.back()->onClick = [this, i] { selectPage(i); };
    }

    timer1_ = tk_.timer(*window_, 100);
    timer2_ = tk_.timer(*window_, 50);
    timer3_ = tk_.timer(*window_, 200);
    timer4_ = tk_.timer(*window_, 200);

    form_ = std::make_unique<Form>(Form{platform_, start_, *window_, *closing_, state_, *timer1_, *timer2_, *timer3_,
                                        *timer4_,
                                        [this] {
                                            if (help_) help_->window->close();
                                        }});
    drivePage_ = std::make_unique<drive::DrivePage>(*form_, container(L::kDrive));
}

void MainWindow::applyColours() {
    window_->setBackColor(L::kFaceColor);
    const ui::Rgb face = window_->backColor();
    for (auto& c : containers_)
        if (c) c->setBackColor(face);
    drivePage_->Check4->setBackColor(face);
    coloured_ = true;
}

// Like the pages, the containers of the pages not shown at start, and the
// hidden tray picture, are made when first needed: each is a window, and
// windows are what start-up spends its time on. A container comes hidden, in
// the window's colour; selectPage places and shows it.
ui::Picture& MainWindow::container(int page) {
    auto& c = containers_.at(static_cast<std::size_t>(page));
    if (!c) {
        c = tk_.picture(*window_, L::kPicture1[page], false);
        c->setVisible(false);
        if (coloured_) c->setBackColor(window_->backColor());
    }
    return *c;
}

ui::Picture& MainWindow::picico() {
    if (!picico_) {
        picico_ = tk_.picture(*window_, L::kPicico, false);
        picico_->setVisible(false);
        picico_->setImage(ui::Image::TrayIcon);
    }
    return *picico_;
}

// Each of the other pages is made, and given its colours, the first time it
// is needed (its container with it, see container()): under Wine every
// control window costs about a millisecond to make, and most starts never
// open most pages.
registry::HijackPage& MainWindow::hijackPage() {
    if (!hijackPage_) {
        hijackPage_ = std::make_unique<registry::HijackPage>(*form_, container(L::kHijack));
        hijackPage_->Picture2->setBackColor(ui::kWhite);
        hijackPage_->Check1->setBackColor(window_->backColor());
    }
    return *hijackPage_;
}

process::ProcessPage& MainWindow::processPage() {
    if (!processPage_) {
        processPage_ = std::make_unique<process::ProcessPage>(*form_, container(L::kProcess));
        const ui::Rgb face = window_->backColor();
        processPage_->Check2->setBackColor(face);
        processPage_->Picture3->setBackColor(face);
        processPage_->List1->setBackColor(face);
    }
    return *processPage_;
}

registry::BrowserPage& MainWindow::browserPage() {
    if (!browserPage_) {
        browserPage_ = std::make_unique<registry::BrowserPage>(*form_, container(L::kBrowser));
        browserPage_->Picture4->setBackColor(ui::kWhite);
        browserPage_->Check3->setBackColor(window_->backColor());
    }
    return *browserPage_;
}

dll::DllPage& MainWindow::dllPage() {
    if (!dllPage_) dllPage_ = std::make_unique<dll::DllPage>(*form_, container(L::kDll));
    return *dllPage_;
}

void MainWindow::formLoad() {
    applyColours();
    window_->setOuterSize(L::kMainWidth, L::kMainHeight);
    for (auto& c : containers_)
        if (c) c->setVisible(false);
    state_.pageNeedsRefill.fill(true);
    state_.hijackCount = 0;
    state_.browserCount = 0;
    state_.processCount = 0;
    for (ui::Timer* t : {timer1_.get(), timer2_.get(), timer3_.get(), timer4_.get()}) t->setEnabled(false);
    state_.hijackSelectAllNext = true;
    state_.browserSelectAllNext = true;
    state_.currentRow = 0;
    state_.baselineCount = 0;

    // The drive box, the `watch` argument and the autostart box.
    const WatchRequest watch = parseWatchArgument(start_.argument);
    drivePage_->load(watch.watch, watch.driveText);

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
                hijackPage().rows->clear();
                hijackPage().ScanHijacks();
                hijackPage().rows->recomputeScrollRange(2);
            }
            break;
        case L::kProcess:
            processPage().rows->clear();
            processPage().ListProcesses();
            break;
        case L::kBrowser:
            if (refill[L::kBrowser]) {
                refill[L::kBrowser] = false;
                browserPage().rows->clear();
                browserPage().ScanAll();
            }
            browserPage().rows->recomputeScrollRange(2);
            break;
        case L::kDll:
            dllPage();
            break;
        default:
            break;
    }

    page.setVisible(true);
    for (std::size_t p = 0; p < containers_.size(); ++p)
        if (containers_[p] && static_cast<int>(p) != index) containers_[p]->setVisible(false);
}

void MainWindow::showHelp() {
    HelpWindow help(tk_);
    help_ = &help;
    help.showModal(*window_);
    help_ = nullptr;
}

}  // namespace wd::app
