// The Process page, the Dll page, the Exit dialog and the tray icon as a user
// sees them: control IDs, captions and the program's texts. Written down here
// on their own (not taken from the program's sources), so a wrong value in the
// program shows up as a failed check.
#pragma once

#include <string>

#include "cli.h"
#include "wardeck_ui.h"

namespace wdauto::wardeck {

// Page bar buttons of the pages these scenarios use.
inline constexpr int kProcessPageButton = 112;
inline constexpr int kDllPageButton = 114;

// ---- Process page ---------------------------------------------------------------
inline constexpr int kPicture3 = 404;  // the box of the Process list
inline constexpr int kList1 = 405;     // the Suspect list
inline constexpr int kCommand5 = 406;  // ">>"
inline constexpr int kText1 = 407;     // manual add
inline constexpr int kCommand6 = 408;  // Auto refresh
inline constexpr int kCommand8 = 409;  // Suspect search
inline constexpr int kCommand7 = 410;  // Loop kill
inline constexpr int kVScroll3 = 411;  // the Process list's scroll bar
inline constexpr int kRowId0 = 200000;  // row k has the ID kRowId0 + k
inline constexpr int kFirstRowWithMenu = 6;
inline constexpr int kRowsInView = 32;  // two columns of 16

inline const std::wstring kAutoRefreshOn = L"自动刷新进程";
inline const std::wstring kAutoRefreshOff = L"停止 刷新";
inline const std::wstring kSearchOn = L"寻找可疑进程";
inline const std::wstring kSearchOff = L"停止 寻找";
inline const std::wstring kLoopKillOn = L"循环结束疑进程";
inline const std::wstring kLoopKillOff = L"停止 结束";

// The Process menu ("进程管理"): "查看文件属性", "结束进程".
inline constexpr int kMenuShowFile = 0, kMenuEndProcess = 1;
// The List menu: "清 除", "清除所有".
inline constexpr int kMenuClear = 0, kMenuClearAll = 1;
inline const std::wstring kEndConfirmText = L"某些进程是系统进程，结束会引起系统不稳定，真的要结束进程";
inline const std::wstring kEndConfirmTitle = L"结束进程";

// ---- Drive page and Background mode ---------------------------------------------
inline const std::wstring kMonitorStop = L"停止 监控";
inline const std::wstring kQuarantineFolder = L"★优盘VIP房☆";
inline constexpr UINT kTrayIconId = 1;
inline const std::wstring kTrayTip = L"Skorrin助手——Wardeck";
// The Tray menu: "打开窗口", "退出监控".
inline constexpr int kTrayMenuOpen = 0, kTrayMenuExit = 1;

// ---- Exit dialog -------------------------------------------------------------------
inline constexpr int kExitQuit = 710, kExitBackground = 711, kExitStay = 712;
inline const std::wstring kExitQuitCaption = L"完全退出";
inline const std::wstring kExitBackgroundCaption = L"后台监控";
inline const std::wstring kExitStayCaption = L"不退出";

// ---- Dll page ------------------------------------------------------------------------
inline constexpr int kText2 = 603;
inline constexpr int kCommand11 = 604;
inline const std::wstring kDeleteDllCaption = L"删除dll";
inline const std::wstring kNotFoundBefore = L"没有找到";
inline const std::wstring kNotFoundAfter = L"文件，请检查文件名与路径是否正确！";
inline const std::wstring kNotFoundTitle = L"没有找到！";

// Saves a picture of `window` as OUT/BASE[-TAG].bmp (run converts it to PNG).
inline void saveShot(Report& r, const Options& o, HWND window, const std::wstring& base) {
    repaint(window);
    const std::wstring path = joinPath(o.out, base + (o.tag.empty() ? L"" : L"-" + o.tag) + L".bmp");
    if (!saveScreenBmp(windowRect(window), path)) r.note(L"could not save " + path);
}

// The main window answers messages (is not hung or gone).
inline bool answers(HWND w, int timeoutMs = 3000) {
    DWORD_PTR res = 0;
    return IsWindow(w) && SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, static_cast<UINT>(timeoutMs), &res);
}

}  // namespace wdauto::wardeck
