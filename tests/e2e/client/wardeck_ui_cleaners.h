// The Hijack, Browser and Drive pages as the registry and drive scenarios see
// them: control IDs, captions, and the registry keys and drive names the
// program works on. Written down here on their own, like wardeck_ui.h.
#pragma once

#include <string>

#include "automation.h"

namespace wdauto::wardeck {

// The Hijack page: rows are check boxes 100000 + k inside Picture2.
inline constexpr int kPicture2 = 302, kVScroll2 = 303, kCommand4 = 304, kCommand3 = 305;
inline constexpr int kHijackRow0 = 100000;
inline const std::wstring kClearHijacks = L"清除劫持";

// The Browser page: rows are check boxes 300000 + k inside Picture4.
inline constexpr int kPicture4 = 502, kVScroll1 = 503, kCommand9 = 504, kCommand10 = 505;
inline const std::wstring kClearBrowser = L"清  除";
inline constexpr int kBrowserRow0 = 300000;

inline const std::wstring kSelectAll = L"选定全部";
inline const std::wstring kUnselectAll = L"取消全部";
inline const std::wstring kExtensionTemplateCaption = L"Check3";
// Follows the caption of a row found in the registry's 32-bit view.
inline const std::wstring kView32Suffix = L"（32位）";

// The registry keys the two cleaners list and delete.
inline const std::wstring kIfeoPath = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
inline const std::wstring kProtectedIfeo = L"Your Image File Name Here without a path";
inline const std::wstring kExtensionsPath = L"Software\\Microsoft\\Internet Explorer\\Extensions";
inline const std::wstring kToolbarPath = L"Software\\Microsoft\\Internet Explorer\\Toolbar";
inline const std::wstring kSearchHooksPath = L"Software\\Microsoft\\Internet Explorer\\URLSearchHooks";  // HKCU
inline const std::wstring kHelperObjectsPath =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";  // HKLM

// Where each click that deletes writes its backup, below %LOCALAPPDATA%.
inline const std::wstring kBackupFolder = L"Wardeck\\Backups";
inline const std::string kRegFileHeader = "Windows Registry Editor Version 5.00";

// The Drive page and the monitor.
inline const std::wstring kMonitorStop = L"停止 监控";
inline const std::wstring kQuarantineFolder = L"★优盘VIP房☆";
inline const std::wstring kAutorunCopy = L"autorun.inf.vkq";
inline const std::wstring kRunPath = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";  // HKLM

}  // namespace wdauto::wardeck
