// Folders that only Administrators and SYSTEM may change: where the program,
// running with full rights, keeps what it writes for later (its registry
// backups). Their parent (the machine's data folder) lets every user make
// entries in it, so whatever already stands at the name may have been put
// there to be used: a link to another folder, a folder its maker may still
// change, a file that blocks the name. Such an entry is never used; it is
// renamed aside, through its own handle, and the folder made anew.
#include <windows.h>
// aclapi.h and sddl.h need the types of windows.h first.
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/file_io.h"
#include "platform/win32/services.h"
#include "platform/win32/services_util.h"
#include "platform/win32/text.h"

namespace wd::win32 {
namespace {

// The owner and the only ones who may change it: SYSTEM and Administrators,
// for the folder and everything that will be made in it; nobody else may
// even read it (a backup holds what the user's keys held).
constexpr wchar_t kProtectedSecurity[] = L"O:BAG:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
// How many "-2", "-3", ... a name set aside may try.
constexpr int kMaxAsideTries = 100;
// What an entry in the way may be renamed only so often before we give up.
constexpr int kMaxMakeTries = 3;

// Every right that changes a folder, what it holds, or who may change it.
constexpr ACCESS_MASK kChangeRights = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                      FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                      GENERIC_ALL | MAXIMUM_ALLOWED;

struct LocalMemoryPolicy : NullIsEmpty<HLOCAL> {
    static void close(Handle h) noexcept { ::LocalFree(h); }
};
using UniqueLocalMemory = Unique<LocalMemoryPolicy>;

bool isWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) { return sid && ::IsWellKnownSid(sid, type); }

// The security a folder of ours is made with, owned by the caller.
class ProtectedSecurity {
public:
    ProtectedSecurity() {
        if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(kProtectedSecurity, SDDL_REVISION_1, &raw_, nullptr))
            owned_ = UniqueLocalMemory(raw_);
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = raw_;
    }
    SECURITY_ATTRIBUTES* get() { return owned_ ? &attributes_ : nullptr; }

private:
    PSECURITY_DESCRIPTOR raw_ = nullptr;
    UniqueLocalMemory owned_;
    SECURITY_ATTRIBUTES attributes_{};
};

// The owner and access list of an open entry; false when they cannot be read.
struct EntrySecurity {
    UniqueLocalMemory descriptor;
    PSID owner = nullptr;
    PACL dacl = nullptr;
};
bool readSecurity(HANDLE entry, EntrySecurity& out) {
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (::GetSecurityInfo(entry, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &out.owner,
                          nullptr, &out.dacl, nullptr, &raw) != ERROR_SUCCESS)
        return false;
    out.descriptor = UniqueLocalMemory(raw);
    return true;
}

// The user of this program's token.
std::vector<BYTE> ownUser() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
    const UniqueKernelHandle token(raw);
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0 || size > 4096) return {};
    std::vector<BYTE> buffer(size);
    if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
    const PSID user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    if (!user || !::IsValidSid(user)) return {};
    const auto* bytes = static_cast<const BYTE*>(user);
    return std::vector<BYTE>(bytes, bytes + ::GetLengthSid(user));
}

bool sameSid(PSID sid, const std::vector<BYTE>& other) {
    return sid && !other.empty() && ::IsValidSid(sid) && ::EqualSid(sid, const_cast<BYTE*>(other.data()));
}

UniqueFileHandle openEntry(const std::wstring& path);

// Whether the file system keeps the owner a folder is made with: NTFS does.
// Wine keeps no file security: every file there is its one user's, with an
// access list made from the Unix mode, and no program of another user can
// run beside us. Found once (`known`), with a folder made (and removed
// again) in `parent`.
bool keepsOwners(const std::wstring& parent, std::optional<bool>& known) {
    if (known) return *known;
    const std::wstring probe = parent + L"\\.wardeck-probe-" + std::to_wstring(::GetCurrentProcessId());
    ProtectedSecurity security;
    if (!security.get() || !::CreateDirectoryW(probe.c_str(), security.get())) return true;  // assume it does
    bool keeps = true;
    {
        EntrySecurity made;
        if (const UniqueFileHandle entry = openEntry(probe); entry && readSecurity(entry.get(), made))
            keeps = isWellKnown(made.owner, WinBuiltinAdministratorsSid);
    }
    ::RemoveDirectoryW(probe.c_str());
    known = keeps;
    return keeps;
}

// SYSTEM, Administrators, and where the file system keeps no owners, the
// one user it gives everything to.
bool isAdministrative(PSID sid, const std::vector<BYTE>& alsoUser) {
    if (!sid || !::IsValidSid(sid)) return false;
    return isWellKnown(sid, WinLocalSystemSid) || isWellKnown(sid, WinBuiltinAdministratorsSid) ||
           sameSid(sid, alsoUser);
}

// Whether the open entry is a real folder (no link, no mount point) owned
// by Administrators or SYSTEM, with no allowing entry of its access list
// that lets anyone else change it or what it will hold.
bool isProtectedFolder(HANDLE entry, const std::wstring& parent, std::optional<bool>& ownersKept) {
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(entry, FileBasicInfo, &basic, sizeof basic)) return false;
    if (!(basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    EntrySecurity security;
    if (!readSecurity(entry, security)) return false;
    // Only a folder owned by this program's own user asks whether owners are
    // kept: where they are, that user's unelevated programs could change it.
    std::vector<BYTE> user = ownUser();
    if (!sameSid(security.owner, user) || keepsOwners(parent, ownersKept)) user.clear();
    // No access list at all lets everyone do everything.
    if (!isAdministrative(security.owner, user) || !security.dacl) return false;
    for (DWORD i = 0; i < security.dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(security.dacl, i, &ace)) return false;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;  // nothing we would have written
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        auto* sid = reinterpret_cast<PSID>(const_cast<DWORD*>(&allowed->SidStart));
        if ((allowed->Mask & kChangeRights) && !isAdministrative(sid, user)) return false;
    }
    return true;
}

// The entry at the path itself (never what a link leads to), open for its
// security, its attributes and a rename; null when there is none.
UniqueFileHandle openEntry(const std::wstring& path) {
    return UniqueFileHandle(::CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES | DELETE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                          nullptr));
}

// Renames the open entry to a free "<name>.set-aside[-n]" beside it.
bool setAside(HANDLE entry, const std::wstring& path) {
    for (int n = 1; n <= kMaxAsideTries; ++n) {
        std::wstring target = path + L".set-aside";
        if (n > 1) target += L"-" + std::to_wstring(n);
        std::vector<unsigned char> buffer = renameInfo(target, nullptr, false);
        if (::SetFileInformationByHandle(entry, FileRenameInfo, buffer.data(), static_cast<DWORD>(buffer.size())))
            return true;
        const DWORD error = ::GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return false;
    }
    return false;
}

}  // namespace

bool Files::makeProtectedFolder(std::string_view path) {
    if (path.empty() || path.find('\0') != std::string_view::npos) return false;
    const std::wstring wide = widen(path);
    const std::size_t slash = wide.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash == 0) return false;
    const std::wstring parent = wide.substr(0, slash);
    ProtectedSecurity security;
    if (!security.get()) return false;
    for (int attempt = 0; attempt < kMaxMakeTries; ++attempt) {
        if (const UniqueFileHandle entry = openEntry(wide)) {
            if (isProtectedFolder(entry.get(), parent, keepsOwners_)) return true;
            if (!setAside(entry.get(), wide)) return false;
        } else if (::GetLastError() != ERROR_FILE_NOT_FOUND) {
            return false;
        }
        // Made with its protection from the first moment; when someone else
        // made an entry of that name meanwhile, it is looked at again.
        ::CreateDirectoryW(wide.c_str(), security.get());
    }
    const UniqueFileHandle entry = openEntry(wide);
    return entry && isProtectedFolder(entry.get(), parent, keepsOwners_);
}

}  // namespace wd::win32
