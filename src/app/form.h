// What the main window (Form1) hands to each of its pages: the platform, the
// window itself and the owner of its close requests, and the window's four
// timers. A page wires its own controls, timers and menus to its own
// handlers, so an event runs down one path: toolkit control -> page handler
// -> subsystem logic -> platform. Nothing here includes a page.
#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "app/close_requests.h"
#include "platform/platform.h"
#include "platform/ui.h"

namespace wd::app {

// Marks work under way for as long as it lives: work that lets the window
// answer as it goes (ui::Toolkit::keepAnswering) refuses to be started again
// meanwhile, and start-up's setting of a box is told from a user's click.
class Working {
public:
    explicit Working(bool& flag) : flag_(flag) { flag_ = true; }
    ~Working() { flag_ = false; }
    Working(const Working&) = delete;
    Working& operator=(const Working&) = delete;

private:
    bool& flag_;
};

struct Form {
    Platform& platform;
    const StartInfo& start;
    ui::Window& window;
    // The owner of the window's close requests.
    CloseRequests& closing;
    // The window's interval timers; each is wired by the page that switches it.
    ui::Timer& Timer1;  // the drive monitor
    ui::Timer& Timer2;  // loop kill
    ui::Timer& Timer3;  // auto refresh of the process list
    ui::Timer& Timer4;  // suspect search
    // Closes the Help window if it is open.
    std::function<void()> closeHelp;

    ui::Toolkit& toolkit() const { return platform.toolkit; }
    // A hidden pop-up menu of the window, with the page's handlers.
    std::unique_ptr<ui::PopupMenu> menu(std::string_view caption, std::vector<ui::PopupMenu::Item> items) const {
        return platform.toolkit.popupMenu(window, caption, std::move(items));
    }
};

}  // namespace wd::app
