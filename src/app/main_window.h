// Form1: the main window. It builds the window, its page bar and the pages,
// runs start-up and switches pages; everything else belongs to the pages.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "app/form.h"
#include "app/layout.h"
#include "app/page.h"
#include "platform/platform.h"
#include "platform/ui.h"

namespace wd::drive { class DrivePage; }
namespace wd::registry { class HijackPage; class BrowserPage; }
namespace wd::process { class ProcessPage; }
namespace wd::dll { class DllPage; }

namespace wd::app {

class CloseRequests;
class HelpWindow;

class MainWindow {
public:
    MainWindow(Platform& platform, StartInfo start);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window and its controls, runs the load step, then shows the
    // window, or leaves it hidden in background mode for the `watch` argument.
    void start();

    // The page bar's action: element `index` of Command2.
    void selectPage(int index);

    ui::Window& window() { return *window_; }
    Form& form() { return *form_; }
    // A page's container (Picture1), made hidden the first time it is needed.
    ui::Picture& container(int page);
    ui::Button& pageButton(int index) { return *pageBar_.at(static_cast<std::size_t>(index)); }

    // Page `index`. Only the Drive page is made at start-up; the others are
    // made when first needed (shown, or asked for here), with their
    // containers: under Wine every control window costs about a millisecond
    // to make, and most starts never open most pages.
    Page& page(int index);
    drive::DrivePage& drivePage();
    registry::HijackPage& hijackPage();
    process::ProcessPage& processPage();
    registry::BrowserPage& browserPage();
    dll::DllPage& dllPage();

private:
    void createControls();
    void applyColours();
    void formLoad();
    void showHelp();

    Platform& platform_;
    ui::Toolkit& tk_;
    StartInfo start_;
    HelpWindow* help_ = nullptr;  // while it is open
    bool coloured_ = false;       // the load step has given the window its colours

    // Declared parent first: members are destroyed in reverse order.
    std::unique_ptr<ui::Window> window_;
    std::unique_ptr<CloseRequests> closing_;
    std::unique_ptr<ui::Picture> picture5_, picture7_, picture6_;
    std::vector<std::unique_ptr<ui::Button>> pageBar_;      // Command2
    std::array<std::unique_ptr<ui::Picture>, layout::kPageCount> containers_;  // Picture1
    std::unique_ptr<ui::Timer> timer1_, timer2_, timer3_, timer4_;
    std::unique_ptr<Form> form_;
    std::array<std::unique_ptr<Page>, layout::kPageCount> pages_;  // by page number
};

}  // namespace wd::app
