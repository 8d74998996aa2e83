// The system services of the program over the Win32 API: processes, text,
// shell, files, registry and the notification-area icon.
//
// Everything is UTF-8 at the interface and UTF-16 only at the API calls.
// All of it runs on the thread that made it (the tray window belongs to the
// thread's message loop).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/tray.h"
#include "platform/win32/handles.h"

namespace wd::win32 {

class Processes final : public platform::Processes {
public:
    std::optional<std::vector<platform::ProcessEntry>> snapshot() override;
    std::string mainModulePath(std::uint32_t pid) override;
    platform::EndResult terminate(std::uint32_t pid, std::uint64_t createTime) override;
    std::string systemFolder() override;
    std::unique_ptr<platform::UserToken> unelevatedToken(std::uint32_t pid) override;
    bool waitForExit(std::uint32_t pid, int timeoutMs) override;
};

// The primary token a UserToken of Processes holds (null for any other).
HANDLE tokenHandle(const platform::UserToken& token);

class Text final : public platform::Text {
public:
    std::string lowerCase(std::string_view utf8) override;
    std::string fromAnsi(std::string_view bytes) override;
    bool sameName(std::string_view a, std::string_view b) override;
    std::string nameKey(std::string_view name) override;
};

class Shell final : public platform::Shell {
public:
    bool showProperties(std::string_view file, std::uintptr_t owner) override;
    std::string windowsFolder() override;
    bool startProgram(std::string_view path, platform::StartStyle style, const platform::UserToken* asUser) override;
};

class Files final : public platform::Files {
public:
    bool exists(std::string_view path) override;
    bool isNetworkPath(std::string_view path) override;
    bool isFolder(std::string_view path) override;
    bool makeFolder(std::string_view path) override;
    bool setNormalAttributes(std::string_view path) override;
    bool deleteFile(std::string_view path) override;
    bool rename(std::string_view from, std::string_view to) override;
    std::optional<std::string> readAll(std::string_view path, std::uint64_t maxBytes) override;
    // protected_folder.cpp
    bool makeProtectedFolder(std::string_view path) override;
    bool writeAll(std::string_view path, std::string_view bytes) override;

    std::unique_ptr<platform::DriveRoot> openDriveRoot(std::string_view drive) override;
    // CREATE_NEW, so that two programs never write one file.
    std::unique_ptr<platform::NewFile> createNew(std::string_view path, bool& exists) override;

private:
    // Whether the file system keeps the owners of folders (protected_folder.cpp), once found.
    std::optional<bool> keepsOwners_;
};

// Keys are opened with MAXIMUM_ALLOWED: the handle carries whatever the
// user may do with the key, so HKLM opens for reading without elevation and
// a refused change shows up as AccessDenied from the change itself.
class Registry final : public platform::Registry {
public:
    std::unique_ptr<platform::RegKey> open(platform::RootKey root, std::string_view path, platform::View view,
                                           platform::RegStatus& status) override;
    std::unique_ptr<platform::RegKey> create(platform::RootKey root, std::string_view path, platform::View view,
                                             platform::RegStatus& status) override;
    platform::RegStatus enumSubkey(platform::RegKey& key, std::uint32_t index, std::string& name) override;
    platform::RegStatus enumValue(platform::RegKey& key, std::uint32_t index, platform::RegValue& value,
                   std::size_t maxBytes) override;
    platform::RegStatus enumValueName(platform::RegKey& key, std::uint32_t index, std::string& name) override;
    platform::RegStatus queryValue(platform::RegKey& key, std::string_view name, platform::RegValue& value,
                    std::size_t maxBytes) override;
    platform::RegStatus info(platform::RegKey& key, platform::KeyInfo& out) override;
    std::unique_ptr<platform::RegKey> openSubkey(platform::RegKey& parent, std::string_view name,
                                                 platform::RegStatus& status) override;
    platform::RegStatus deleteKey(platform::RegKey& key) override;
    platform::RegStatus deleteValue(platform::RegKey& key, std::string_view name) override;
    platform::RegStatus setValue(platform::RegKey& key, const platform::RegValue& value) override;
    // From the kernel's name of the key (NtQueryKey), less the name of its root.
    std::optional<std::string> storedPath(platform::RegKey& key) override;

    // No read takes more than this of a value's data.
    static constexpr DWORD kMaxValueBytes = 64u * 1024u * 1024u;
};

// The icon in the notification area and the hidden window that receives its
// messages. The window is an ordinary (never shown) top-level window rather
// than a message-only one, because only top-level windows get broadcasts
// such as "TaskbarCreated".
class Tray final : public platform::Tray {
public:
    explicit Tray(HINSTANCE instance);
    ~Tray() override;
    Tray(const Tray&) = delete;
    Tray& operator=(const Tray&) = delete;

    bool add(std::string_view tip) override;
    bool remove() override;
    void setForeground() override;

    // The window that owns the icon: made when the icon is first added (null
    // before that, or if it could not be made).
    HWND window() const noexcept { return window_.get(); }

    static constexpr UINT kIconId = 1;
    static constexpr UINT kCallbackMessage = WM_APP + 1;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void onIconMessage(WPARAM wParam, LPARAM lParam);
    void onTaskbarRecreated();
    HICON icon();
    bool makeWindow();

    HINSTANCE instance_;
    bool classRegistered_ = false;
    UINT taskbarCreated_ = 0;
    bool added_ = false;
    UniqueIcon ownIcon_;       // the icon from our resources
    HICON sharedIcon_ = nullptr;  // the system's stand-in when we have none (not ours to free)
    UniqueWindow window_;
};

}  // namespace wd::win32
