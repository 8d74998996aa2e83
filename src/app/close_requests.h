// Every close request of the main window (its close box, the tray menu's
// "退出监控", a WM_CLOSE sent to it) lands here, and only here: this is the
// one owner of ui::Window::onCloseRequest for the main window. What a request
// does is the one answer registered (Background mode's: the Exit dialog);
// work that must not be cut short holds requests while it runs and makes a
// held one again when it ends.
#pragma once

#include <functional>

#include "platform/ui.h"

namespace wd::app {

class CloseRequests {
public:
    explicit CloseRequests(ui::Window& window);
    ~CloseRequests();
    CloseRequests(const CloseRequests&) = delete;
    CloseRequests& operator=(const CloseRequests&) = delete;

    // What a close request does: setting `cancel` keeps the window. Without
    // an answer the window closes.
    void answerWith(std::function<void(bool& cancel)> answer);

    // While it lives, every close request is cancelled and remembered.
    class Hold {
    public:
        explicit Hold(CloseRequests& requests);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        // Whether a close request came while held.
        bool requested() const { return requests_.heldRequest_; }

    private:
        CloseRequests& requests_;
    };

private:
    void request(bool& cancel);

    ui::Window& window_;
    std::function<void(bool& cancel)> answer_;
    bool holding_ = false;
    bool heldRequest_ = false;
};

}  // namespace wd::app
