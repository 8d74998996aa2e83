// platform_check.exe: runs the Win32 system services (processes, text, shell,
// files, registry, tray) against the real system and prints one line per
// check: "PASS name: detail", "FAIL name: detail" or "INFO name: detail".
// The exit code is the number of failures.
//
// A copy of this program named WDCHK*.EXE only sleeps for a minute: it is the
// child process that the process checks start, find and end.
//
// Part of the windows build (it links the Win32 layer, wardeck_win32);
// tests/e2e/run runs it as the scenario platform-check.
#include <windows.h>
// shellapi.h needs the types of windows.h first.
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <map>
#include <optional>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/services.h"
#include "platform/win32/text.h"
#include "platform/win32/toolkit.h"

using wd::win32::narrow;
using wd::win32::widen;
namespace platform = wd::platform;

namespace {

int failures = 0;

void line(const char* status, const std::string& name, const std::string& detail) {
    std::printf("%s %s: %s\n", status, name.c_str(), detail.c_str());
    std::fflush(stdout);
}

void check(bool ok, const std::string& name, const std::string& detail = {}) {
    if (!ok) ++failures;
    line(ok ? "PASS" : "FAIL", name, detail);
}

void info(const std::string& name, const std::string& detail) { line("INFO", name, detail); }

std::string num(long long v) { return std::to_string(v); }
std::string num(wd::platform::RegStatus s) { return std::to_string(static_cast<int>(s)); }

std::wstring ownPath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (int i = 0; i < 8; ++i) {
        const DWORD len = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (len == 0) return {};
        if (len < buffer.size()) return buffer.substr(0, len);
        buffer.assign(buffer.size() * 2, L'\0');
    }
    return {};
}

std::wstring fileNameOf(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring folderOf(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// Lets the messages of this thread run for a while.
void pump(DWORD ms) {
    const ULONGLONG until = ::GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        const ULONGLONG now = ::GetTickCount64();
        if (now >= until) return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(until - now), QS_ALLINPUT);
    }
}

std::vector<std::uint8_t> bytesOf(std::wstring_view text) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
    return {p, p + text.size() * sizeof(wchar_t)};
}

const platform::ProcessEntry* findPid(const std::vector<platform::ProcessEntry>& list, std::uint32_t pid) {
    for (const auto& e : list)
        if (e.pid == pid) return &e;
    return nullptr;
}

// ---------------------------------------------------------------------------

void checkText(wd::win32::Text& text) {
    const std::string upper = "ÀÉÎ ΑΒΓΣ АБВЖ ＡＢＣ WARDECK.EXE 优盘 Ǆ";
    const std::string lower = text.lowerCase(upper);
    check(lower == "àéî αβγσ абвж ａｂｃ wardeck.exe 优盘 ǆ", "text.lowerCase", lower);
    check(text.lowerCase("").empty(), "text.lowerCase empty");

    const UINT acp = ::GetACP();
    const std::string gbk = text.fromAnsi("\xd6\xd0\xce\xc4 abc");
    if (acp == 936)
        check(gbk == "中文 abc", "text.fromAnsi cp936", gbk);
    else
        info("text.fromAnsi", "ANSI code page " + num(acp) + " (936 needed for the GBK check): " + gbk);
    check(text.fromAnsi("plain") == "plain", "text.fromAnsi ascii");

    // The registry's own rule: per UTF-16 unit, upper case, no locale.
    check(text.sameName("Wardeck.EXE", "wardeck.exe") && text.sameName("Ärger", "äRGER"), "text.sameName letter case");
    check(!text.sameName("I", "\xC4\xB0") && !text.sameName("K", "\xE2\x84\xAA") && !text.sameName("k", "\xE2\x84\xAA"),
          "text.sameName keeps I/İ and K/Kelvin sign apart");
    check(!text.sameName(std::string("a\0b", 3), "a") && !text.sameName("e\xCC\x81", "\xC3\xA9"),
          "text.sameName counts a NUL and does not normalise");
}

void checkProcesses(wd::win32::Processes& processes, wd::win32::Shell& shell, wd::win32::Text& text) {
    const std::wstring self = ownPath();
    const std::uint32_t selfPid = ::GetCurrentProcessId();

    const auto list = processes.snapshot();
    check(list.has_value() && !list->empty(), "processes.snapshot", list ? num(list->size()) + " processes" : "none");
    if (!list) return;
    const auto* me = findPid(*list, selfPid);
    check(me && text.lowerCase(me->exeName) == text.lowerCase(narrow(fileNameOf(self))), "processes.snapshot self",
          me ? me->exeName : "pid " + num(selfPid) + " missing");
    const std::string selfPath = processes.mainModulePath(selfPid);
    check(selfPath == narrow(self), "processes.mainModulePath self", selfPath);

    // The child: a copy of this program under an upper-case Chinese name,
    // started by its full path. By its bare name it is not started, though a
    // search would find it first in this program's folder.
    const std::wstring childName = L"WDCHK子进程.EXE";
    const std::wstring childPath = folderOf(self) + L"\\" + childName;
    if (!::CopyFileW(self.c_str(), childPath.c_str(), FALSE)) {
        check(false, "processes.child copy", "CopyFileW error " + num(::GetLastError()));
        return;
    }
    check(!shell.startProgram(narrow(childName), platform::StartStyle::Hidden, nullptr), "shell.startProgram bare name refused",
          narrow(childName));
    check(shell.startProgram(narrow(childPath), platform::StartStyle::Hidden, nullptr), "shell.startProgram child",
          narrow(childPath));
    const std::string windows = shell.windowsFolder();
    check(!windows.empty() && windows.back() != '\\' &&
              ::GetFileAttributesW(widen(windows + "\\explorer.exe").c_str()) != INVALID_FILE_ATTRIBUTES,
          "shell.windowsFolder holds explorer.exe", windows);
    check(!shell.startProgram(narrow(folderOf(self)) + "\\wd_no_such_program_here.exe", platform::StartStyle::Hidden, nullptr),
          "shell.startProgram missing");

    const std::string system32 = processes.systemFolder();
    check(!system32.empty() && system32.back() != '\\' &&
              ::GetFileAttributesW(widen(system32 + "\\services.exe").c_str()) != INVALID_FILE_ATTRIBUTES,
          "processes.systemFolder holds services.exe", system32);

    std::uint32_t childPid = 0;
    std::uint64_t childStart = 0;
    std::string childExe;
    for (int i = 0; i < 100 && !childPid; ++i) {
        if (const auto now = processes.snapshot()) {
            for (const auto& e : *now) {
                if (text.lowerCase(e.exeName) == text.lowerCase(narrow(childName))) {
                    childPid = e.pid;
                    childStart = e.createTime;
                    childExe = e.exeName;
                }
            }
        }
        if (!childPid) ::Sleep(50);
    }
    check(childPid != 0, "processes.snapshot child", childExe + " pid " + num(childPid));
    if (!childPid) return;
    info("processes.snapshot child name", childExe == narrow(childName) ? "case kept" : "case changed: " + childExe);

    std::string childModule;
    for (int i = 0; i < 100 && childModule.empty(); ++i) {
        childModule = processes.mainModulePath(childPid);
        if (childModule.empty()) ::Sleep(50);
    }
    check(text.lowerCase(childModule) == text.lowerCase(narrow(childPath)), "processes.mainModulePath child",
          childModule);

    check(!processes.waitForExit(childPid, 100), "processes.waitForExit running child");
    check(childStart != 0, "processes.snapshot gives the child's start time", num(childStart));
    // Another start time is another process that was given the same id.
    check(processes.terminate(childPid, childStart + 1) == platform::EndResult::Gone &&
              !processes.waitForExit(childPid, 200),
          "processes.terminate leaves a process whose start time differs");
    check(processes.terminate(childPid, childStart) == platform::EndResult::Ended, "processes.terminate child");
    check(processes.waitForExit(childPid, 5000), "processes.waitForExit child");
    const auto after = processes.snapshot();
    check(after && !findPid(*after, childPid), "processes.snapshot child gone");
    check(processes.waitForExit(childPid, 0), "processes.waitForExit gone pid");
    {
        // Wine may keep the object of an ended process for a moment after its
        // last handle is gone; give it that moment.
        bool refused = false;
        for (int i = 0; i < 40 && !refused; ++i) {
            refused = processes.terminate(childPid, 0) != platform::EndResult::Ended;
            if (!refused) ::Sleep(50);
        }
        check(refused, "processes.terminate gone pid");
    }
    {
        // As above: the object of an ended process may outlive it a moment.
        bool empty = false;
        for (int i = 0; i < 40 && !empty; ++i) {
            empty = processes.mainModulePath(childPid).empty();
            if (!empty) ::Sleep(50);
        }
        check(empty, "processes.mainModulePath gone pid");
    }

    bool deleted = false;
    for (int i = 0; i < 50 && !deleted; ++i) {
        deleted = ::DeleteFileW(childPath.c_str()) != FALSE;
        if (!deleted) ::Sleep(50);
    }
    if (!deleted) info("processes.child copy", "could not delete the copy");
}

// ---------------------------------------------------------------------------

bool sameValue(const platform::RegValue& a, const platform::RegValue& b) {
    return a.name == b.name && a.type == b.type && a.data == b.data;
}

// A direct subkey deleted as the program deletes one: opened as itself, then
// deleted through its handle.
platform::RegStatus deleteSubkey(wd::win32::Registry& reg, platform::RegKey& parent, const std::string& name) {
    platform::RegStatus status = platform::RegStatus::Failed;
    auto sub = reg.openSubkey(parent, name, status);
    return sub ? reg.deleteKey(*sub) : status;
}

void checkRegistry(wd::win32::Registry& reg) {
    using platform::RootKey;
    using platform::View;
    platform::RegStatus status = platform::RegStatus::Failed;
    const std::string parentPath = "Software\\WardeckCheck";
    const std::string childName = "子键中文★";
    const std::string longKeyName(255, 'k');

    auto key = reg.create(RootKey::CurrentUser, parentPath + "\\" + childName, View::Bit64, status);
    check(key && status == platform::RegStatus::Success, "registry.create chinese key", "status " + num(status));
    if (!key) return;
    auto longKey = reg.create(RootKey::CurrentUser, parentPath + "\\" + longKeyName, View::Bit64, status);
    check(longKey && status == platform::RegStatus::Success, "registry.create 255-char key", "status " + num(status));

    std::vector<platform::RegValue> values;
    values.push_back({"Dword", 4, {0x78, 0x56, 0x34, 0x12}});
    values.push_back({"多字符串", 7, bytesOf(std::wstring_view(L"一\0two\0\0", 8))});
    {
        std::vector<std::uint8_t> big(100 * 1024);
        for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>((i * 131 + 7) & 0xff);
        values.push_back({"Binary100K", 3, std::move(big)});
    }
    {
        std::wstring longName;
        while (longName.size() < 16000) longName += L"名abc";
        longName.resize(16000);
        values.push_back({narrow(longName), 1, bytesOf(std::wstring_view(L"长名字\0", 4))});
    }
    values.push_back({"", 1, bytesOf(std::wstring_view(L"default\0", 8))});
    values.push_back({"Empty", 3, {}});
    values.push_back({"Expand", 2, bytesOf(std::wstring_view(L"%WINDIR%\\x\0", 11))});

    bool allSet = true;
    for (const auto& v : values) {
        const platform::RegStatus s = reg.setValue(*key, v);
        if (s != platform::RegStatus::Success) {
            allSet = false;
            info("registry.setValue", "name of " + num(v.name.size()) + " bytes: status " + num(s));
        }
    }
    check(allSet, "registry.setValue", num(values.size()) + " values");

    std::map<std::string, platform::RegValue> seen;
    platform::RegStatus last = platform::RegStatus::Success;
    std::vector<std::string> names;
    for (std::uint32_t i = 0; i < 100; ++i) {
        platform::RegValue v;
        last = reg.enumValue(*key, i, v, 1u << 20);
        if (last != platform::RegStatus::Success) break;
        std::string name;
        if (reg.enumValueName(*key, i, name) == platform::RegStatus::Success) names.push_back(name);
        seen[v.name] = v;
    }
    check(names.size() == seen.size() && std::all_of(names.begin(), names.end(), [&](const std::string& n) { return seen.count(n); }),
          "registry.enumValueName gives the names enumValue gives", num(names.size()) + " names");
    {
        // A read with a limit: the first part of a value too large, and what it holds.
        platform::RegValue cut;
        std::size_t binaryIndex = 0;
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i] == "Binary100K") binaryIndex = i;
        const platform::RegStatus s = reg.enumValue(*key, static_cast<std::uint32_t>(binaryIndex), cut, 64 * 1024);
        const auto& whole = values[2].data;
        check(s == platform::RegStatus::Success && cut.name == "Binary100K" && cut.size == whole.size() &&
                  cut.data.size() == 64 * 1024 && std::equal(cut.data.begin(), cut.data.end(), whole.begin()),
              "registry.enumValue with a limit gives the first 64 KiB of a 100 KB value",
              "status " + num(s) + ", " + num(cut.data.size()) + " of " + num(cut.size) + " bytes");
        platform::RegValue queried;
        const platform::RegStatus q = reg.queryValue(*key, "BINARY100k", queried, 1000);
        check(q == platform::RegStatus::Success && queried.size == whole.size() && queried.data.size() == 1000 &&
                  std::equal(queried.data.begin(), queried.data.end(), whole.begin()),
              "registry.queryValue matches the name as the registry does and cuts at the limit",
              "status " + num(q) + ", " + num(queried.data.size()) + " of " + num(queried.size) + " bytes");
        check(reg.queryValue(*key, "no such value", queried, 1000) == platform::RegStatus::NotFound,
              "registry.queryValue of a missing value");
        platform::KeyInfo held;
        const platform::RegStatus i = reg.info(*key, held);
        check(i == platform::RegStatus::Success && held.values == values.size() && held.subkeys == 0,
              "registry.info counts the values", num(held.values) + " values");
    }
    check(last == platform::RegStatus::NoMoreItems, "registry.enumValue end", "status " + num(last));
    for (const auto& v : values) {
        const auto it = seen.find(v.name);
        const std::string label = v.name.size() > 40 ? "name of " + num(v.name.size()) + " bytes" : "'" + v.name + "'";
        check(it != seen.end() && sameValue(it->second, v), "registry.enumValue " + label,
              it == seen.end() ? "missing"
                               : "type " + num(it->second.type) + ", " + num(it->second.data.size()) + " bytes");
    }

    auto parent = reg.open(RootKey::CurrentUser, parentPath, View::Bit64, status);
    check(parent && status == platform::RegStatus::Success, "registry.open", "status " + num(status));
    if (!parent) return;
    std::vector<std::string> subkeys;
    for (std::uint32_t i = 0; i < 100; ++i) {
        std::string name;
        last = reg.enumSubkey(*parent, i, name);
        if (last != platform::RegStatus::Success) break;
        subkeys.push_back(name);
    }
    const bool foundChinese = std::find(subkeys.begin(), subkeys.end(), childName) != subkeys.end();
    const bool foundLong = std::find(subkeys.begin(), subkeys.end(), longKeyName) != subkeys.end();
    check(subkeys.size() == 2 && foundChinese && foundLong && last == platform::RegStatus::NoMoreItems, "registry.enumSubkey",
          num(subkeys.size()) + " keys, end status " + num(last));

    auto software = reg.open(RootKey::CurrentUser, "Software", View::Bit64, status);
    check(software != nullptr, "registry.open Software", "status " + num(status));
    if (!software) return;
    status = deleteSubkey(reg, *software, "WardeckCheck");
    check(status != platform::RegStatus::Success, "registry.deleteSubkey refuses a key with subkeys", "status " + num(status));

    bool deletedAll = true;
    for (const auto& v : values) deletedAll = reg.deleteValue(*key, v.name) == platform::RegStatus::Success && deletedAll;
    check(deletedAll, "registry.deleteValue");
    status = reg.deleteValue(*key, "Dword");
    check(status == platform::RegStatus::NotFound, "registry.deleteValue missing", "status " + num(status));
    platform::RegValue none;
    status = reg.enumValue(*key, 0, none, 1024);
    check(status == platform::RegStatus::NoMoreItems, "registry.enumValue empty key", "status " + num(status));

    key.reset();
    longKey.reset();
    const platform::RegStatus s1 = deleteSubkey(reg, *parent, childName);
    const platform::RegStatus s2 = deleteSubkey(reg, *parent, longKeyName);
    parent.reset();
    const platform::RegStatus s3 = deleteSubkey(reg, *software, "WardeckCheck");
    check(s1 == platform::RegStatus::Success && s2 == platform::RegStatus::Success &&
              s3 == platform::RegStatus::Success,
          "registry.deleteSubkey",
          "status " + num(s1) + " " + num(s2) + " " + num(s3));
    reg.open(RootKey::CurrentUser, parentPath, View::Bit64, status);
    check(status == platform::RegStatus::NotFound, "registry.open deleted", "status " + num(status));

    auto run = reg.open(RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", View::Bit64, status);
    info("registry.open HKLM Run", "status " + num(status));
    if (run) {
        int count = 0;
        platform::RegValue v;
        while (count < 1000 && reg.enumValue(*run, static_cast<std::uint32_t>(count), v, 1024) == platform::RegStatus::Success) ++count;
        info("registry.enumValue HKLM Run", num(count) + " values");
    }
}

// The two registry views: a key made in the 32-bit view is stored below
// Software\Wow6432Node, the 64-bit view does not see it, and it is deleted in
// its own view; the hijack key is one key for both views.
void checkRegistryViews(wd::win32::Registry& reg) {
    using platform::RootKey;
    using platform::View;
    platform::RegStatus status = platform::RegStatus::Failed;
    const std::string name = "WardeckViewCheck";
    auto key = reg.create(RootKey::LocalMachine, "Software\\" + name + "\\Inner", View::Bit32, status);
    if (!key) {
        info("registry.create 32-bit view", "HKLM not writable here: status " + num(status));
        return;
    }
    check(reg.storedPath(*key) == std::optional<std::string>("Software\\Wow6432Node\\" + name + "\\Inner") ||
              reg.storedPath(*key) == std::optional<std::string>("SOFTWARE\\WOW6432Node\\" + name + "\\Inner"),
          "registry.storedPath 32-bit view", reg.storedPath(*key).value_or("(nothing)"));
    reg.open(RootKey::LocalMachine, "Software\\" + name, View::Bit64, status);
    check(status == platform::RegStatus::NotFound, "registry.open 64-bit view misses the 32-bit key", "status " + num(status));
    auto user = reg.open(RootKey::CurrentUser, "Software", View::Bit32, status);
    check(user && reg.storedPath(*user) == std::optional<std::string>("Software"), "registry.storedPath HKCU, shared",
          user ? reg.storedPath(*user).value_or("(nothing)") : "status " + num(status));
    const std::string ifeo = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
    auto ifeo64 = reg.open(RootKey::LocalMachine, ifeo, View::Bit64, status);
    auto ifeo32 = reg.open(RootKey::LocalMachine, ifeo, View::Bit32, status);
    if (ifeo64 && ifeo32)
        info("registry.storedPath IFEO", reg.storedPath(*ifeo64).value_or("?") + " / " + reg.storedPath(*ifeo32).value_or("?"));
    key.reset();
    auto parent = reg.open(RootKey::LocalMachine, "Software\\" + name, View::Bit32, status);
    const platform::RegStatus inner = parent ? deleteSubkey(reg, *parent, "Inner") : status;
    auto software = reg.open(RootKey::LocalMachine, "Software", View::Bit32, status);
    parent.reset();
    const platform::RegStatus outer = software ? deleteSubkey(reg, *software, name) : status;
    reg.open(RootKey::LocalMachine, "Software\\" + name, View::Bit32, status);
    check(inner == platform::RegStatus::Success && outer == platform::RegStatus::Success &&
              status == platform::RegStatus::NotFound,
          "registry.deleteSubkey in the 32-bit view",
          "status " + num(inner) + " " + num(outer) + " " + num(status));
    // A name with a NUL is refused, not read short.
    check(reg.open(RootKey::CurrentUser, std::string("Software\0x", 10), View::Bit64, status) == nullptr &&
              status == platform::RegStatus::Invalid,
          "registry.open refuses a NUL", "status " + num(status));
}

// A registry link (Software\WardeckLink, leading to Software\WardeckLinkTarget):
// a path through it leads to the target, openSubkey refuses it, and deleting
// the link's parent tree leaves the target whole.
void checkRegistryLinks(wd::win32::Registry& reg) {
    using platform::RootKey;
    using platform::View;
    HKEY target = nullptr, link = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\WardeckLinkTarget\\Inside", 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &target, nullptr) != ERROR_SUCCESS) {
        info("registry links", "HKLM not writable here");
        return;
    }
    ::RegCloseKey(target);
    const LONG made = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\WardeckLink", 0, nullptr,
                                        REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link,
                                        nullptr);
    const std::wstring to = L"\\Registry\\Machine\\Software\\WardeckLinkTarget";
    const bool linked = made == ERROR_SUCCESS &&
                        ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(to.data()),
                                         static_cast<DWORD>(to.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
    if (link) ::RegCloseKey(link);
    check(linked, "registry link made for the checks", "status " + num(made));
    if (linked) {
        platform::RegStatus status = platform::RegStatus::Failed;
        auto through = reg.open(RootKey::LocalMachine, "Software\\WardeckLink\\Inside", View::Bit64, status);
        check(through != nullptr, "registry.open follows a link on the way", "status " + num(status));
        auto software = reg.open(RootKey::LocalMachine, "Software", View::Bit64, status);
        auto itself = software ? reg.openSubkey(*software, "WardeckLink", status) : nullptr;
        check(!itself && status == platform::RegStatus::LinkRefused, "registry.openSubkey refuses a link", "status " + num(status));
        check(software && deleteSubkey(reg, *software, "WardeckLink") == platform::RegStatus::LinkRefused,
              "a link is never deleted, nor what it leads to");
        auto inside = reg.open(RootKey::LocalMachine, "Software\\WardeckLinkTarget\\Inside", View::Bit64, status);
        check(inside != nullptr, "the key a link leads to stays", "status " + num(status));
    }
    // Clean up: the link itself, opened as itself.
    using NtDeleteKeyFn = LONG(NTAPI*)(HANDLE);
    const auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\WardeckLink", REG_OPTION_OPEN_LINK, DELETE, &link) ==
        ERROR_SUCCESS) {
        if (ntDeleteKey) ntDeleteKey(link);
        ::RegCloseKey(link);
    }
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\WardeckLinkTarget\\Inside");
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\WardeckLinkTarget");
}

// ---------------------------------------------------------------------------

void checkFiles(wd::win32::Files& files, wd::win32::Shell& shell) {
    std::wstring temp(MAX_PATH + 1, L'\0');
    temp.resize(::GetTempPathW(static_cast<DWORD>(temp.size()), temp.data()));
    const std::string base = narrow(temp) + "wdcheck-" + num(::GetCurrentProcessId());
    const std::string folder = base + "\\★优盘VIP房☆";

    check(files.makeFolder(base) && files.makeFolder(folder), "files.makeFolder", folder);
    check(files.exists(folder) && files.isFolder(folder), "files.exists/isFolder folder");
    check(!files.makeFolder(folder), "files.makeFolder existing");
    check(!files.exists(folder + "\\nothing.txt"), "files.exists missing");

    std::string big(3 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7 + i / 4096) & 0xff);
    const std::string bigPath = folder + "\\深\\层\\big.bin";
    check(files.writeAll(bigPath, big), "files.writeAll 3 MB with new folders");
    check(files.isFolder(folder + "\\深\\层") && !files.isFolder(bigPath), "files.isFolder");
    const auto all = files.readAll(bigPath, 10u * 1024 * 1024);
    check(all && *all == big, "files.readAll 3 MB", all ? num(all->size()) + " bytes" : "nothing");
    const auto head = files.readAll(bigPath, 1000);
    check(head && *head == big.substr(0, 1000), "files.readAll limit", head ? num(head->size()) + " bytes" : "nothing");
    check(!files.readAll(folder + "\\nothing.txt", 100), "files.readAll missing");
    check(!files.readAll(folder, 100), "files.readAll folder");
    check(files.deleteFile(bigPath) && !files.exists(bigPath), "files.deleteFile");

    {
        // Another program holds the file open for writing.
        const std::string busy = folder + "\\busy.txt";
        files.writeAll(busy, "busy");
        const HANDLE h = ::CreateFileW(widen(busy).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
        const auto got = files.readAll(busy, 100);
        check(got && *got == "busy", "files.readAll file open elsewhere");
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
        files.deleteFile(busy);
    }

    const std::string a = folder + "\\a.txt", b = folder + "\\b.txt", c = folder + "\\c.txt";
    files.writeAll(a, "A");
    files.writeAll(b, "B");
    check(!files.rename(a, b) && files.readAll(b, 10) == std::optional<std::string>("B"),
          "files.rename never replaces");
    check(files.rename(a, c) && !files.exists(a) && files.readAll(c, 10) == std::optional<std::string>("A"),
          "files.rename");
    check(files.rename(folder + "\\深", folder + "\\深2") && files.isFolder(folder + "\\深2\\层"),
          "files.rename folder");
    check(!files.deleteFile(folder + "\\深2"), "files.deleteFile refuses a folder");

    const std::string hidden = folder + "\\autorun.inf";
    files.writeAll(hidden, "[autorun]\r\nopen=x.exe\r\n");
    ::SetFileAttributesW(widen(hidden).c_str(),
                         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
    const bool deletedReadOnly = files.deleteFile(hidden);
    check(!deletedReadOnly, "files.deleteFile read-only refused");
    check(files.setNormalAttributes(hidden), "files.setNormalAttributes");
    const DWORD attributes = ::GetFileAttributesW(widen(hidden).c_str());
    check((attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM)) == 0,
          "files.setNormalAttributes cleared", "attributes " + num(attributes));
    check(files.deleteFile(hidden) && !files.exists(hidden), "files.deleteFile after setNormalAttributes");

    {
        std::string longPath = folder;
        for (int i = 0; i < 6; ++i) longPath += "\\" + std::string(50, static_cast<char>('a' + i));
        longPath += "\\long.txt";
        const bool wrote = files.writeAll(longPath, "long");
        const auto back = files.readAll(longPath, 10);
        info("files.long path", num(widen(longPath).size()) + " chars: write " + (wrote ? "ok" : "refused") +
                                    ", read " + (back ? *back : "nothing"));
    }

    // The properties sheet of a file, and of one that is not there.
    info("shell.showProperties", shell.showProperties(c, 0) ? "accepted" : "refused");
    check(!shell.showProperties(folder + "\\no such file.txt", 0), "shell.showProperties missing file");

    // Tidy up (the folder tree of this run only).
    std::string sub = folder;
    for (int i = 0; i < 6; ++i) sub += "\\" + std::string(50, static_cast<char>('a' + i));
    files.deleteFile(sub + "\\long.txt");
    for (int i = 0; i < 6; ++i) {
        ::RemoveDirectoryW(widen(sub).c_str());
        sub.resize(sub.size() - 51);
    }
    files.deleteFile(b);
    files.deleteFile(c);
    ::RemoveDirectoryW(widen(folder + "\\深2\\层").c_str());
    ::RemoveDirectoryW(widen(folder + "\\深2").c_str());
    ::RemoveDirectoryW(widen(folder).c_str());
    {
        // New files: made once, never opened again; flushed; discarded whole.
        const std::string fresh = folder + "\\新\\backup.reg";
        bool exists = true;
        auto made = files.createNew(fresh, exists);
        check(made && !exists, "files.createNew with new folders");
        bool again = false;
        check(made && !files.createNew(fresh, again) && again, "files.createNew never opens an existing file");
        check(made && made->write(std::string(200000, 'x')) && made->flush(), "files.NewFile write and flush");
        made.reset();
        check(files.readAll(fresh, 1u << 20) == std::optional<std::string>(std::string(200000, 'x')), "files.NewFile kept");
        const std::string gone = folder + "\\新\\discarded.reg";
        auto half = files.createNew(gone, exists);
        if (half) {
            half->write("part");
            half->discard();
        }
        check(half && !files.exists(gone), "files.NewFile discard");
        files.deleteFile(fresh);
        ::RemoveDirectoryW(widen(folder + "\\新").c_str());
    }
    ::RemoveDirectoryW(widen(folder).c_str());
    ::RemoveDirectoryW(widen(base).c_str());
    check(!files.exists(base), "files.cleanup");
}

// ---------------------------------------------------------------------------

// The folder the backups go to: a file, a link or a plain folder in its way
// is set aside and the folder made anew; the program's own is kept.
void checkProtectedFolder(wd::win32::Files& files) {
    const std::wstring base = L"C:\\ProgramData\\WardeckCheck" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(base.c_str(), nullptr);
    const std::wstring planted = base + L"\\Wardeck";
    const HANDLE file = ::CreateFileW(planted.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    check(files.makeProtectedFolder(narrow(planted)), "files.makeProtectedFolder with a file in the way");
    const DWORD made = ::GetFileAttributesW(planted.c_str());
    const DWORD aside = ::GetFileAttributesW((planted + L".set-aside").c_str());
    check(made != INVALID_FILE_ATTRIBUTES && (made & FILE_ATTRIBUTE_DIRECTORY) && aside != INVALID_FILE_ATTRIBUTES &&
              !(aside & FILE_ATTRIBUTE_DIRECTORY),
          "files.makeProtectedFolder sets the file aside and makes the folder");
    check(files.makeProtectedFolder(narrow(planted)) &&
              ::GetFileAttributesW((planted + L".set-aside-2").c_str()) == INVALID_FILE_ATTRIBUTES,
          "files.makeProtectedFolder keeps its own folder");
    ::RemoveDirectoryW(planted.c_str());
    ::DeleteFileW((planted + L".set-aside").c_str());
    ::RemoveDirectoryW(base.c_str());
}

void checkTray() {
    wd::win32::Tray tray(::GetModuleHandleW(nullptr));
    check(!tray.window(), "tray.window made with the first icon, not before");
    check(!tray.remove(), "tray.remove before any icon");

    std::vector<wd::platform::TrayMouse> mouse;
    int taskbar = 0;
    tray.onMouse = [&](wd::platform::TrayMouse m) { mouse.push_back(m); };
    tray.onTaskbarCreated = [&] { ++taskbar; };

    {
        // Linked with res/wardeck.rc the tray picture is there; without, the
        // tray falls back to the system's application icon.
        const HANDLE picture = ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(2), IMAGE_ICON,
                                            ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0);
        info("tray.icon resource 2", picture ? "present" : "absent");
        if (picture) ::DestroyIcon(static_cast<HICON>(picture));
    }
    check(tray.add("Wardeck 检查 ★"), "tray.add");
    const HWND window = tray.window();
    check(window && !::IsWindowVisible(window) && !::GetParent(window) &&
              !(::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD),
          "tray.window hidden top-level");
    check(!tray.add("again"), "tray.add twice");
    {
        // What the shell itself says to a second NIM_ADD.
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof(data);
        data.hWnd = window;
        data.uID = 1;
        data.uFlags = NIF_MESSAGE;
        data.uCallbackMessage = WM_APP + 1;
        info("tray.shell NIM_ADD duplicate", ::Shell_NotifyIconW(NIM_ADD, &data) ? "accepted" : "refused");
    }

    ::PostMessageW(window, WM_APP + 1, 1, WM_LBUTTONUP);
    ::PostMessageW(window, WM_APP + 1, 1, MAKELPARAM(WM_RBUTTONUP, 7));
    ::PostMessageW(window, WM_APP + 1, 2, WM_LBUTTONUP);  // not our icon
    pump(200);
    check(mouse == std::vector<platform::TrayMouse>{platform::TrayMouse::LeftUp, platform::TrayMouse::RightUp}, "tray.onMouse",
          num(mouse.size()) + " messages");

    check(tray.remove(), "tray.remove");
    check(!tray.remove(), "tray.remove twice");

    const UINT created = ::RegisterWindowMessageW(L"TaskbarCreated");
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(HWND_BROADCAST, created, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
    pump(200);
    check(taskbar == 1, "tray.onTaskbarCreated by broadcast", num(taskbar) + " calls");

    check(tray.add("Wardeck"), "tray.add after remove");
    tray.setForeground();
    info("tray.setForeground", ::GetForegroundWindow() == window ? "foreground" : "not foreground");
    check(tray.remove(), "tray.remove again");
}

}  // namespace

// A handler that throws: every message enters one dispatch scope that catches
// it, so the program goes on and its window keeps answering.
void checkDispatch() {
    wd::win32::Toolkit tk(::GetModuleHandleW(nullptr));
    auto window = tk.window("Check", {});
    window->setCaption("dispatch check");
    auto thrower = tk.button(*window, {"Thrower", 901, {120, 120, 1200, 375}, "throws"});
    auto plain = tk.button(*window, {"Plain", 902, {120, 600, 1200, 375}, "plain"});
    auto timer = tk.timer(*window, 30);
    int plainClicks = 0, ticks = 0;
    thrower->onClick = [] { throw std::bad_alloc(); };
    plain->onClick = [&] { ++plainClicks; };
    timer->onTick = [&] {
        ++ticks;
        throw std::out_of_range("tick");
    };
    window->show();
    const HWND main = ::FindWindowW(nullptr, L"dispatch check");
    const HWND throwerButton = main ? ::GetDlgItem(main, 901) : nullptr;
    const HWND plainButton = main ? ::GetDlgItem(main, 902) : nullptr;
    check(main && throwerButton && plainButton, "dispatch: the check window and its buttons exist");
    if (!main || !throwerButton || !plainButton) return;

    ::SendMessageW(throwerButton, BM_CLICK, 0, 0);
    ::SendMessageW(throwerButton, BM_CLICK, 0, 0);
    ::SendMessageW(plainButton, BM_CLICK, 0, 0);
    check(plainClicks == 1, "dispatch: after two clicks whose handler throws, another button still works",
          "plain clicks " + num(plainClicks));
    timer->setEnabled(true);
    const DWORD until = ::GetTickCount() + 600;
    MSG msg{};
    while (static_cast<LONG>(::GetTickCount() - until) < 0) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    }
    timer->setEnabled(false);
    check(ticks >= 3, "dispatch: a timer whose handler throws keeps ticking", num(ticks) + " ticks in 600 ms");
    DWORD_PTR answer = 0;
    check(::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer) != 0,
          "dispatch: the window answers after its handlers threw");
    check(::IsWindow(main) && ::IsWindowVisible(main), "dispatch: the window is still there");

    // Waiting for a process (this one: it never ends) runs the timers and
    // answers messages sent from elsewhere; a posted click waits until after.
    wd::win32::Processes processes;
    ticks = 0;
    timer->onTick = [&] { ++ticks; };
    timer->setEnabled(true);
    ::PostMessageW(plainButton, BM_CLICK, 0, 0);
    bool answered = false;
    std::thread sender([&] {
        ::Sleep(200);
        DWORD_PTR result = 0;
        answered = ::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) != 0;
    });
    const ULONGLONG started = ::GetTickCount64();
    const bool gone = processes.waitForExit(::GetCurrentProcessId(), 600);
    const ULONGLONG waited = ::GetTickCount64() - started;
    sender.join();
    timer->setEnabled(false);
    check(!gone && waited >= 550, "dispatch: waitForExit of a running process waits its time", num(waited) + " ms");
    check(ticks >= 5, "dispatch: timers tick while waitForExit waits", num(ticks) + " ticks in " + num(waited) + " ms");
    check(answered, "dispatch: a message sent from another thread is answered while waitForExit waits");
    check(plainClicks == 1, "dispatch: a click posted while waitForExit waits is not handled inside the wait",
          "plain clicks " + num(plainClicks));
    pump(200);
    check(plainClicks == 2, "dispatch: the posted click is handled after the wait", "plain clicks " + num(plainClicks));
}

int wmain(int, wchar_t**) {
    const std::wstring self = ownPath();
    if (_wcsnicmp(fileNameOf(self).c_str(), L"WDCHK", 5) == 0) {
        ::Sleep(60000);
        return 0;
    }

    wd::win32::Text text;
    wd::win32::Processes processes;
    wd::win32::Shell shell;
    wd::win32::Files files;
    wd::win32::Registry registry;

    info("system", "ANSI code page " + num(::GetACP()) + ", program " + narrow(self));
    checkText(text);
    checkProcesses(processes, shell, text);
    checkRegistry(registry);
    checkRegistryViews(registry);
    checkRegistryLinks(registry);
    checkFiles(files, shell);
    checkProtectedFolder(files);
    checkTray();
    checkDispatch();
    line(failures ? "FAIL" : "PASS", "platform_check", num(failures) + " failures");
    return failures;
}
