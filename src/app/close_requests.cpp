#include "app/close_requests.h"

namespace wd::app {

CloseRequests::CloseRequests(ui::Window& window) : window_(window) {
    window_.onCloseRequest = [this](bool& cancel) { request(cancel); };
}

CloseRequests::~CloseRequests() { window_.onCloseRequest = nullptr; }

void CloseRequests::answerWith(std::function<void(bool& cancel)> answer) { answer_ = std::move(answer); }

void CloseRequests::request(bool& cancel) {
    if (holding_) {
        cancel = true;
        heldRequest_ = true;
        return;
    }
    // A copy: the answer may replace itself while it runs.
    if (auto answer = answer_) answer(cancel);
}

CloseRequests::Hold::Hold(CloseRequests& requests) : requests_(requests) {
    requests_.holding_ = true;
    requests_.heldRequest_ = false;
}

CloseRequests::Hold::~Hold() { requests_.holding_ = false; }

}  // namespace wd::app
