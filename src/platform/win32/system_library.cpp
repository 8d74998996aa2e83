#include "platform/win32/system_library.h"

#include <objbase.h>

#include <optional>
#include <string>

#include "platform/win32/functions.h"
#include "platform/win32/system_folders.h"
#include "platform/win32/ui_thread.h"

namespace wd::win32 {
namespace {

HMODULE shell32() {
    static const HMODULE module = systemLibrary(L"shell32.dll");
    return module;
}

HMODULE ole32() {
    static const HMODULE module = systemLibrary(L"ole32.dll");
    return module;
}

void enterComApartment() {
    UiThread& thread = uiThread();
    if (thread.comTried) return;
    thread.comTried = true;
    using CoInitializeExFn = HRESULT(WINAPI*)(LPVOID, DWORD);
    const auto init = lookUp<CoInitializeExFn>(ole32(), "CoInitializeEx");
    thread.comEntered = init && SUCCEEDED(init(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
}

}  // namespace

HMODULE systemLibrary(const wchar_t* name) {
    const std::optional<std::wstring> folder = systemDirectory();
    if (!folder) return nullptr;
    const std::wstring path = *folder + L'\\' + name;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

BOOL shellExecuteEx(SHELLEXECUTEINFOW* info) {
    enterComApartment();
    static const auto execute = lookUp<decltype(&::ShellExecuteExW)>(shell32(), "ShellExecuteExW");
    if (!execute) {
        ::SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    return execute(info);
}

BOOL shellNotifyIcon(DWORD message, NOTIFYICONDATAW* data) {
    static const auto notify = lookUp<decltype(&::Shell_NotifyIconW)>(shell32(), "Shell_NotifyIconW");
    return notify ? notify(message, data) : FALSE;
}

HRESULT knownFolderPath(REFKNOWNFOLDERID id, DWORD flags, PWSTR* path) {
    *path = nullptr;
    static const auto known = lookUp<decltype(&::SHGetKnownFolderPath)>(shell32(), "SHGetKnownFolderPath");
    return known ? known(id, flags, nullptr, path) : E_NOTIMPL;
}

void taskMemFree(void* memory) {
    if (!memory) return;
    using CoTaskMemFreeFn = void(WINAPI*)(LPVOID);
    static const auto free = lookUp<CoTaskMemFreeFn>(ole32(), "CoTaskMemFree");
    if (free) free(memory);
}

ComApartmentScope::~ComApartmentScope() {
    UiThread& thread = uiThread();
    if (!thread.comEntered) return;
    using CoUninitializeFn = void(WINAPI*)();
    const auto leave = lookUp<CoUninitializeFn>(ole32(), "CoUninitialize");
    if (leave) leave();
    thread.comEntered = false;
}

}  // namespace wd::win32
