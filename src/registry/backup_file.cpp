#include "registry/backup_file.h"

#include <memory>

#include "registry/reg_file.h"

namespace wd::registry {

namespace {

// How many "-2", "-3", ... a backup name may try.
constexpr int kMaxNameTries = 1000;

std::string withoutTrailingSlashes(std::string folder) {
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder;
}

// The folder backups go to, made as the rights ask; empty when there is none.
std::string backupFolder(platform::Files& files, platform::Environment& env) {
    if (!env.fullRights()) {
        const std::string user = withoutTrailingSlashes(env.localAppDataFolder());
        return user.empty() ? std::string() : user + "\\" + kBackupFolder;
    }
    const std::string machine = withoutTrailingSlashes(env.machineDataFolder());
    if (machine.empty()) return {};
    const std::string program = machine + "\\" + kProgramFolder;
    const std::string backups = machine + "\\" + kBackupFolder;
    if (!files.makeProtectedFolder(program) || !files.makeProtectedFolder(backups)) return {};
    return backups;
}

}  // namespace

std::optional<std::string> WriteBackupFile(platform::Files& files, platform::Environment& env, std::string_view page,
                                           const BackupSet& set) {
    const std::string folder = backupFolder(files, env);
    if (folder.empty()) return std::nullopt;
    const std::string stem = folder + "\\" + env.localTimestamp() + "-" + std::string(page);
    for (int n = 1; n <= kMaxNameTries; ++n) {
        std::string path = stem;
        if (n > 1) {
            path += '-';
            path += std::to_string(n);
        }
        path += ".reg";
        bool exists = false;
        std::unique_ptr<platform::NewFile> file = files.createNew(path, exists);
        if (!file) {
            if (exists) continue;  // another backup has that name: the next one
            return std::nullopt;
        }
        // Everything on the disk before anything is deleted; a file that is
        // not whole is no backup and does not stay.
        const bool written =
            WriteRegFile(set.file(), [&](std::string_view piece) { return file->write(piece); }) && file->flush();
        if (!written) {
            file->discard();
            return std::nullopt;
        }
        return path;
    }
    return std::nullopt;
}

}  // namespace wd::registry
