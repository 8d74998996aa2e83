// What the main window asks of each of its pages. A page owns its controls,
// its handlers and its state; the main window makes it when it is first
// needed, gives it the window's colours and tells it when it is selected.
#pragma once

#include "platform/ui.h"

namespace wd::app {

class Page {
public:
    virtual ~Page() = default;
    Page() = default;
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    // Gives the page's controls their colours; `face` is the window's background.
    virtual void applyColours(ui::Rgb face) = 0;
    // The page has been selected: its list work, done before its container
    // shows, so that a page chosen for the first time shows filled.
    virtual void onShown() = 0;
};

}  // namespace wd::app
