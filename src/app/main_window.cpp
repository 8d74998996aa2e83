#include "app/main_window.h"

#include <iterator>

#include "app/close_requests.h"
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

    for (int i = 0; i < static_cast<int>(std::size(L::kCommand2)); ++i) {
        pageBar_.push_back(tk_.button(*window_, L::kCommand2[i]));
        pageBar_.back()->onClick = [this, i] { selectPage(i); };
    }

    timer1_ = tk_.timer(*window_, L::kTimer1Ms);
    timer2_ = tk_.timer(*window_, L::kTimer2Ms);
    timer3_ = tk_.timer(*window_, L::kTimer3Ms);
    timer4_ = tk_.timer(*window_, L::kTimer4Ms);

    form_ = std::make_unique<Form>(Form{platform_, start_, *window_, *closing_, *timer1_, *timer2_, *timer3_, *timer4_,
                                        [this] {
                                            if (help_) help_->window->close();
                                        }});
    page(L::kDrive);
}

void MainWindow::applyColours() {
    window_->setBackColor(L::kFaceColor);
    const ui::Rgb face = window_->backColor();
    for (auto& c : containers_)
        if (c) c->setBackColor(face);
    for (auto& p : pages_)
        if (p) p->applyColours(face);
    coloured_ = true;
}

// Like the pages, the containers of the pages not shown at start are made
// when first needed: each is a window, and windows are what start-up spends
// its time on. A container comes hidden, in the window's colour; selectPage
// places and shows it.
ui::Picture& MainWindow::container(int page) {
    auto& c = containers_.at(static_cast<std::size_t>(page));
    if (!c) {
        c = tk_.picture(*window_, L::kPicture1[page], false);
        c->setVisible(false);
        if (coloured_) c->setBackColor(window_->backColor());
    }
    return *c;
}

namespace {

template <class P>
std::unique_ptr<Page> makePage(Form& form, ui::Picture& container) {
    return std::make_unique<P>(form, container);
}

// How each page is made, by page number.
using PageMaker = std::unique_ptr<Page> (*)(Form&, ui::Picture&);
constexpr PageMaker kPageMakers[L::kPageCount] = {
    &makePage<drive::DrivePage>,      // kDrive
    &makePage<registry::HijackPage>,  // kHijack
    &makePage<process::ProcessPage>,  // kProcess
    &makePage<registry::BrowserPage>, // kBrowser
    &makePage<dll::DllPage>,          // kDll
};

}  // namespace

Page& MainWindow::page(int index) {
    auto& p = pages_.at(static_cast<std::size_t>(index));
    if (!p) {
        p = kPageMakers[index](*form_, container(index));
        // A page made after the load step takes the colours the others got then.
        if (coloured_) p->applyColours(window_->backColor());
    }
    return *p;
}

drive::DrivePage& MainWindow::drivePage() { return static_cast<drive::DrivePage&>(page(L::kDrive)); }
registry::HijackPage& MainWindow::hijackPage() { return static_cast<registry::HijackPage&>(page(L::kHijack)); }
process::ProcessPage& MainWindow::processPage() { return static_cast<process::ProcessPage&>(page(L::kProcess)); }
registry::BrowserPage& MainWindow::browserPage() { return static_cast<registry::BrowserPage&>(page(L::kBrowser)); }
dll::DllPage& MainWindow::dllPage() { return static_cast<dll::DllPage&>(page(L::kDll)); }

void MainWindow::formLoad() {
    applyColours();
    window_->setOuterSize(L::kMainWidth, L::kMainHeight);
    for (auto& c : containers_)
        if (c) c->setVisible(false);
    for (ui::Timer* t : {timer1_.get(), timer2_.get(), timer3_.get(), timer4_.get()}) t->setEnabled(false);

    // The drive box, the `watch` argument and the autostart box.
    const WatchRequest watch = parseWatchArgument(start_.argument);
    drivePage().load(watch.watch, watch.driveText);

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
    ui::Picture& shown = container(index);
    shown.setTop(place.top);
    shown.setLeft(place.left);
    page(index).onShown();
    shown.setVisible(true);
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
