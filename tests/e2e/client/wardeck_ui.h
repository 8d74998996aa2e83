// Wardeck's windows as a user sees them: titles, control IDs, captions and
// design sizes. Written down here on their own (not taken from the program's
// sources), so a wrong value in the program shows up as a failed check.
#pragma once

#include <string>

#include "automation.h"

namespace wdauto::wardeck {

inline const std::wstring kMainTitle = L"Skorrin助手——Wardeck";
inline const std::wstring kHelpTitle = L"软件说明";
inline const std::wstring kExitTitle = L"请选择退出方式";

// Outer window size in twips: most pages, and the Process page.
inline constexpr int kMainWidthTw = 7260, kMainHeightTw = 5280;
inline constexpr int kProcessWidthTw = 7995, kProcessHeightTw = 6060;

inline int pixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

// Client areas in twips: the Help window and the Exit dialog; the Exit
// dialog's three buttons (left, top, width, height).
inline constexpr int kHelpClientWidthTw = 4140, kHelpClientHeightTw = 2565;
inline constexpr int kExitClientWidthTw = 4425, kExitClientHeightTw = 1890;
inline constexpr int kExitButtonTw[3][4] = {{120, 1320, 1335, 375}, {1560, 1320, 1335, 375}, {3000, 1320, 1335, 375}};

// The page bar: button 110 + n selects page n; 115 opens the help window.
inline constexpr int kPageButton0 = 110;
inline constexpr int kHelpButton = 115;
inline constexpr int kPageContainer0 = 120;
inline constexpr int kPageCount = 5;
enum Page { kDrive = 0, kHijack = 1, kProcess = 2, kBrowser = 3, kDll = 4 };
inline const wchar_t* const kPageNames[kPageCount] = {L"drive", L"hijack", L"process", L"browser", L"dll"};
inline const wchar_t* const kPageButtonCaptions[6] = {
    L"优盘监控", L"映像劫持清理", L"进程管理", L"清理IE流氓", L"强力删除dll", L"帮助说明",
};
// The order in which the page bar shows its buttons, top to bottom.
inline constexpr int kPageBarOrder[6] = {0, 1, 3, 2, 4, 5};

// The Drive page.
inline constexpr int kCommand1 = 201, kCommand12 = 202, kCombo1 = 203, kLabel1 = 204, kText3 = 205,
                     kCheck4 = 206, kLabel8 = 207;
inline const std::wstring kMonitorStart = L"开启优盘监控";
inline const std::wstring kBackgroundRun = L"后台运行监控";
inline const std::wstring kDriveLabel = L"优盘盘符：";
inline const std::wstring kAutostartBox = L"下次开机“优盘监控”自动进入监控状态。";
inline const std::wstring kRegistryWarning =
    L"（本操作将会对注册表进行写操作，若有注册表监控软件提示，请选择“同意修改”选项）";
inline const std::wstring kDriveNote =
    L"说明：若您的优盘存在可疑的优盘病毒，本\r\n"
    L"模块则会在优盘根目录下建立一个 [★优盘\r\n"
    L"VIP房☆] 文件夹，并将可疑的病毒文件多加\r\n"
    L"了.vkq扩展名后隔离此文件夹中；您确认 [★\r\n"
    L"优盘VIP房☆] 内的文件并非您的重要文件后\r\n"
    L"，可以连同 [★优盘VIP房☆] 直接删除。若\r\n"
    L"您的优盘不存在可疑的优盘病毒，本模块不会\r\n"
    L"对您的优盘进行任何的写操作。\r\n";

// A started wardeck.exe and its main window.
struct Running {
    Process process;
    HWND main = nullptr;
    std::wstring error;  // why `main` is missing
};

// Starts wardeck.exe with the raw command line `commandLine` and waits for its
// main window to exist (visible or not) and for start-up to finish.
Running start(const std::wstring& app, const std::wstring& commandLine, int timeoutMs = 15000);

// `"C:\...\wardeck.exe"` followed by `rest` exactly.
std::wstring quotedCommandLine(const std::wstring& app, const std::wstring& rest);

}  // namespace wdauto::wardeck
