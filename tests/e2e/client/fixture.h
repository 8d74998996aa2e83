// The client's own test window (`wdauto fixture`): known controls with known
// behaviour, for checking the client's primitives across processes.
#pragma once

namespace wdauto::fixture {

inline constexpr const wchar_t* kTitle = L"wdauto 测试窗口";
inline constexpr const wchar_t* kBoxTitle = L"wdauto 提问";
inline constexpr const wchar_t* kQuestion = L"继续吗？";

// Child IDs. Press and Nested count clicks into Status ("clicked N"); Ask
// shows a Yes/No message box and writes "answer N" (the button's ID).
inline constexpr int kPressButton = 1001, kStatus = 1002, kCheckBox = 1003, kCombo = 1004, kList = 1005,
                     kFrame = 1006, kNestedButton = 1007, kAskButton = 1008;

// Shows the window (not if `hidden`) and runs until it is closed.
int run(bool hidden);

}  // namespace wdauto::fixture
