#include <windows.h>
// winternl.h needs the types of windows.h first.
#include <winternl.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/file_io.h"
#include "platform/win32/grown_text.h"
#include "platform/win32/nt_files.h"
#include "platform/win32/nt_status.h"
#include "platform/win32/services.h"
#include "platform/win32/services_util.h"
#include "platform/win32/text.h"

// ---- one drive's files, never through a link ------------------------------------
//
// A drive's places are reached part by part with the native calls: each part
// is opened with NtCreateFile relative to the handle of the folder before it
// (FILE_OPEN_REPARSE_POINT, so a link, junction or mount point is opened as
// itself and shows FILE_ATTRIBUTE_REPARSE_POINT), and folders on the way stay
// open without FILE_SHARE_DELETE, so that none of them can be renamed or
// replaced while held. Folders inside the Quarantine folder are made the same
// way (FILE_CREATE relative to their parent), and a move names its target as
// a name relative to the held folder it goes into (FILE_RENAME_INFORMATION's
// RootDirectory, through NtSetInformationFile: Wine's SetFileInformationByHandle
// refuses a relative name). Only the root itself is opened by its path, the
// drive text.
//
// The reparse attribute is not enough: Wine plays a Unix symbolic link as a
// plain file or folder, and an 8.3 alias reaches an entry under another name.
// So a place must also really lie where its parts say: the name the system
// gives the handle must be the root's name followed by the parts. It is asked
// once for the deepest part stepped to (a link anywhere on the way shows in
// it), and the file system's normalized name (long names) is used where there
// is one; Wine has none, and gives every handle its real place with long
// names as the object's name. A part that differs from its name there, or
// holds a "~", must be the 8.3 alias of that very entry, which a listing of
// its folder with the part as the pattern tells (Wine has no
// FileAlternateNameInformation either).

namespace wd::win32 {
namespace {

class DriveRootWin32;

class DrivePathWin32 final : public platform::DrivePath {
public:
    explicit DrivePathWin32(const DriveRootWin32& root) : root_(root) {}

    std::size_t depth() const override { return levels_.size(); }
    platform::DriveEntry step(const std::string& part, platform::DriveAccess access) override;
    platform::DriveEntry enter(const std::string& part) override;
    std::optional<platform::DriveParts> confirm() override;
    void back(std::size_t count) override { levels_.resize(levels_.size() - std::min(count, levels_.size())); }
    bool moveInto(platform::DrivePath& to, const std::string& name) override;
    bool deleteFile() override;
    std::optional<std::string> read(std::uint64_t offset, std::size_t maxBytes, std::string& identity) override;
    std::optional<std::vector<platform::DriveListing>> list(std::size_t maxEntries) override;

private:
    struct Level {
        UniqueFileHandle handle;
        std::wstring asked;  // the part as asked
        std::wstring own;    // its own name, once confirmed
        bool folder = false, confirmed = false;
        platform::DriveAccess access = platform::DriveAccess::Hold;
    };

    HANDLE folderAt(std::size_t count) const;  // the folder of the first `count` parts
    // The name the system gives the place of the first `count` parts.
    std::wstring nameUpTo(std::size_t count) const;
    // Whether the open handle `h` lies at `parent` + "\" + a single name the
    // same as `part`.
    bool liesAt(HANDLE h, const std::wstring& parent, const std::wstring& part) const;

    const DriveRootWin32& root_;
    std::vector<Level> levels_;
};

class DriveRootWin32 final : public platform::DriveRoot {
public:
    DriveRootWin32(UniqueFileHandle root, nt::Naming naming, std::wstring name)
        : handle(std::move(root)), naming(naming), name(std::move(name)) {}
    std::unique_ptr<platform::DrivePath> path() override { return std::make_unique<DrivePathWin32>(*this); }

    UniqueFileHandle handle;
    nt::Naming naming;
    std::wstring name;  // what the system calls the root, without a trailing separator
};

HANDLE DrivePathWin32::folderAt(std::size_t count) const {
    return count == 0 ? root_.handle.get() : levels_[count - 1].handle.get();
}

std::wstring DrivePathWin32::nameUpTo(std::size_t count) const {
    std::wstring out = root_.name;
    for (std::size_t i = 0; i < count; ++i) out += L"\\" + levels_[i].own;
    return out;
}

bool DrivePathWin32::liesAt(HANDLE h, const std::wstring& parent, const std::wstring& part) const {
    const std::optional<std::wstring> name = nt::nameOf(h, root_.naming);
    return name && name->size() > parent.size() + 1 && sameName(std::wstring_view(*name).substr(0, parent.size()), parent) &&
           (*name)[parent.size()] == L'\\' && sameName(std::wstring_view(*name).substr(parent.size() + 1), part);
}

platform::DriveEntry DrivePathWin32::step(const std::string& part, platform::DriveAccess access) {
    if (!levels_.empty() && !levels_.back().folder) return platform::DriveEntry::Absent;
    std::wstring wide = widen(part);
    if (!nt::plainPart(wide)) return platform::DriveEntry::Absent;
    ACCESS_MASK rights = nt::kHoldFolder;
    ULONG options = nt::kOpenOptions;
    switch (access) {
        case platform::DriveAccess::Hold: options |= FILE_DIRECTORY_FILE; break;
        case platform::DriveAccess::Move: rights = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE; break;
        case platform::DriveAccess::Read: rights = GENERIC_READ | SYNCHRONIZE; options |= FILE_NON_DIRECTORY_FILE; break;
        case platform::DriveAccess::Look: rights = FILE_READ_ATTRIBUTES | SYNCHRONIZE; break;
    }
    // Looking asks for no right that another holder's sharing could refuse.
    const ULONG share = access == platform::DriveAccess::Look ? nt::kHoldShare | FILE_SHARE_DELETE : nt::kHoldShare;
    NTSTATUS status = 0;
    UniqueFileHandle h = nt::openRelative(folderAt(levels_.size()), wide, rights, share, FILE_OPEN, options, status);
    if (!h) return nt::missing(status) ? platform::DriveEntry::Absent : platform::DriveEntry::Refused;
    const std::optional<DWORD> attributes = nt::attributesOf(h.get());
    if (!attributes || (*attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return platform::DriveEntry::Refused;
    const bool folder = (*attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    levels_.push_back({std::move(h), std::move(wide), {}, folder, false, access});
    return folder ? platform::DriveEntry::Folder : platform::DriveEntry::File;
}

platform::DriveEntry DrivePathWin32::enter(const std::string& part) {
    if (!levels_.empty() && (!levels_.back().folder || !levels_.back().confirmed)) return platform::DriveEntry::Refused;
    std::wstring wide = widen(part);
    if (!nt::plainPart(wide)) return platform::DriveEntry::Refused;
    HANDLE parent = folderAt(levels_.size());
    NTSTATUS status = 0;
    // Made here: it lies in the held folder, where it was made.
    UniqueFileHandle h = nt::openRelative(parent, wide, nt::kHoldFolder, nt::kHoldShare, FILE_CREATE,
                                      FILE_DIRECTORY_FILE | nt::kOpenOptions, status);
    if (!h) {
        if (status != nt::kNameCollision) return platform::DriveEntry::Refused;
        h = nt::openRelative(parent, wide, nt::kHoldFolder, nt::kHoldShare, FILE_OPEN,
                             FILE_DIRECTORY_FILE | nt::kOpenOptions, status);
        if (!h) return status == nt::kNotADirectory ? platform::DriveEntry::File : platform::DriveEntry::Refused;
        const std::optional<DWORD> attributes = nt::attributesOf(h.get());
        if (!attributes || (*attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !liesAt(h.get(), nameUpTo(levels_.size()), wide))
            return platform::DriveEntry::Refused;
    }
    levels_.push_back({std::move(h), wide, wide, true, true, platform::DriveAccess::Hold});
    return platform::DriveEntry::Folder;
}

std::optional<platform::DriveParts> DrivePathWin32::confirm() {
    std::size_t first = 0;
    while (first < levels_.size() && levels_[first].confirmed) ++first;
    if (first < levels_.size()) {
        // The real place of the deepest part: the confirmed parts' place,
        // then one name for each part stepped to since.
        const std::optional<std::wstring> name = nt::nameOf(levels_.back().handle.get(), root_.naming);
        const std::wstring known = nameUpTo(first);
        if (!name || name->size() <= known.size() || !sameName(std::wstring_view(*name).substr(0, known.size()), known))
            return std::nullopt;
        std::vector<std::wstring> names;
        std::size_t at = known.size();
        while (at < name->size()) {
            if ((*name)[at] != L'\\') return std::nullopt;
            const std::size_t end = std::min(name->find(L'\\', at + 1), name->size());
            if (end == at + 1) return std::nullopt;
            names.emplace_back(*name, at + 1, end - at - 1);
            at = end;
        }
        if (names.size() != levels_.size() - first) return std::nullopt;
        for (std::size_t i = first; i < levels_.size(); ++i) {
            Level& level = levels_[i];
            const std::wstring& real = names[i - first];
            if (sameName(real, level.asked) && level.asked.find(L'~') == std::wstring::npos) {
                level.own = level.asked;
            } else {
                // An alias of that very entry, or nothing.
                std::vector<nt::Entry> found;
                if (!nt::listFolder(folderAt(i), &level.asked, 1, found) || found.size() != 1 ||
                    !sameName(found[0].name, real))
                    return std::nullopt;
                if (sameName(found[0].name, level.asked)) level.own = level.asked;
                else if (sameName(found[0].alias, level.asked)) level.own = found[0].name;
                else return std::nullopt;
            }
        }
        for (std::size_t i = first; i < levels_.size(); ++i) levels_[i].confirmed = true;
    }
    platform::DriveParts out;
    out.reserve(levels_.size());
    for (const Level& level : levels_) out.push_back(narrow(level.own));
    return out;
}

bool DrivePathWin32::moveInto(platform::DrivePath& to, const std::string& name) {
    auto* into = dynamic_cast<DrivePathWin32*>(&to);
    if (!into || &into->root_ != &root_ || levels_.empty() || into->levels_.empty()) return false;
    const Level& from = levels_.back();
    const Level& folder = into->levels_.back();
    if (!from.confirmed || from.access != platform::DriveAccess::Move || !folder.folder || !folder.confirmed) return false;
    const std::wstring wide = widen(name);
    if (!nt::plainPart(wide)) return false;
    HANDLE target = folder.handle.get();

    // An earlier file at the target: its attributes are cleared so that the
    // move can replace it; anything else there stops the move.
    {
        NTSTATUS status = 0;
        const UniqueFileHandle old =
            nt::openRelative(target, wide, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, nt::kOpenOptions, status);
        if (old) {
            const std::optional<DWORD> attributes = nt::attributesOf(old.get());
            if (!attributes || (*attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
                !into->liesAt(old.get(), into->nameUpTo(into->levels_.size()), wide) || !nt::setNormal(old.get()))
                return false;
        } else if (!nt::missing(status)) {
            return false;
        }
    }
    // The folder it goes into must still be a plain folder: one that became a
    // mount point or link since it was made or entered takes nothing.
    const std::optional<DWORD> attributes = nt::attributesOf(target);
    if (!attributes || (*attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    if (!nt::setNormal(from.handle.get())) return false;

    std::vector<unsigned char> buffer = renameInfo(wide, target, true);
    IO_STATUS_BLOCK io{};
    return ::NtSetInformationFile(from.handle.get(), &io, buffer.data(), static_cast<ULONG>(buffer.size()),
                                  nt::kFileRenameInformation) >= 0;
}

bool DrivePathWin32::deleteFile() {
    if (levels_.empty()) return false;
    const Level& file = levels_.back();
    if (!file.confirmed || file.access != platform::DriveAccess::Move || file.folder) return false;
    if (!nt::setNormal(file.handle.get())) return false;
    // Gone when the handle closes; until then nothing else can open it.
    FILE_DISPOSITION_INFO gone{};
    gone.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(file.handle.get(), FileDispositionInfo, &gone, sizeof gone) != FALSE;
}

std::optional<std::string> DrivePathWin32::read(std::uint64_t offset, std::size_t maxBytes, std::string& identity) {
    if (levels_.empty() || levels_.back().access != platform::DriveAccess::Read || levels_.back().folder) return std::nullopt;
    HANDLE file = levels_.back().handle.get();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) return std::nullopt;
    identity = std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) + ":" +
               std::to_string(info.nFileIndexLow);
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(std::min<std::uint64_t>(offset, INT64_MAX));
    if (!::SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) return std::nullopt;
    std::string out;
    if (!readToEnd(file, maxBytes, out)) return std::nullopt;
    return out;
}

std::optional<std::vector<platform::DriveListing>> DrivePathWin32::list(std::size_t maxEntries) {
    if (!levels_.empty() && !levels_.back().folder) return std::nullopt;
    std::vector<nt::Entry> entries;
    if (!nt::listFolder(folderAt(levels_.size()), nullptr, maxEntries, entries)) return std::nullopt;
    std::vector<platform::DriveListing> out;
    out.reserve(entries.size());
    for (const nt::Entry& e : entries)
        out.push_back({narrow(e.name), narrow(e.alias), (e.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    return out;
}

}  // namespace

std::unique_ptr<platform::DriveRoot> Files::openDriveRoot(std::string_view drive) {
    const std::wstring asked = widen(drive) + L"\\";
    const std::optional<std::wstring> got = grownText(TooSmall::SaysSize, [&](wchar_t* buffer, DWORD size) {
        return ::GetFullPathNameW(asked.c_str(), size, buffer, nullptr);
    });
    if (!got || got->empty() || got->back() == L'\0') return nullptr;
    const std::wstring& full = *got;
    std::wstring extended;
    if (full.rfind(L"\\\\?\\", 0) == 0) {
        extended = full;
    } else if (full.rfind(L"\\\\", 0) == 0) {
        extended = L"\\\\?\\UNC\\" + full.substr(2);
    } else if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') {
        extended = L"\\\\?\\" + full;
    } else {
        return nullptr;
    }
    while (!extended.empty() && extended.back() == L'\\') extended.pop_back();

    UniqueFileHandle root(::CreateFileW((extended + L"\\").c_str(), nt::kHoldFolder, nt::kHoldShare, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!root) return nullptr;
    nt::Naming naming = nt::Naming::Normalized;
    std::optional<std::wstring> name = nt::nameOf(root.get(), naming);
    if (!name) name = nt::nameOf(root.get(), naming = nt::Naming::Object);
    if (!name) return nullptr;
    return std::make_unique<DriveRootWin32>(std::move(root), naming, std::move(*name));
}

}  // namespace wd::win32
