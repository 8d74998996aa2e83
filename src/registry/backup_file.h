// Where and how the backup of a click is written.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/environment.h"
#include "platform/files.h"
#include "registry/backup_set.h"

namespace wd::registry {

// Backups go to <folder>\Wardeck\Backups\<timestamp>-<page>.reg. Running
// with an administrator's full rights, the folder is the machine's data
// folder, and Wardeck and Backups in it are folders that only Administrators
// and SYSTEM may change: a backup that any program of the user could edit
// would be imported later with an administrator's rights. Without them it is
// the user's local application data (only the user's own keys can then be
// deleted).
inline constexpr char kBackupFolder[] = "Wardeck\\Backups";
inline constexpr char kProgramFolder[] = "Wardeck";

// Writes the backup of one click; `page` is "hijack" or "browser". The file
// is made new: one of the same name, also one another copy of the program
// makes at the same moment, is never opened or replaced, and "-2", "-3", ...
// is added instead. The file is written in pieces and is on the disk when
// this returns its path. Nothing when the backup could not be written whole
// (no folder for it, a failed write or flush): then no part of it is left.
std::optional<std::string> WriteBackupFile(platform::Files& files, platform::Environment& env, std::string_view page,
                                           const BackupSet& set);

}  // namespace wd::registry
