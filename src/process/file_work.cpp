#include "process/file_work.h"

namespace wd::process {

bool ShowFileProperties(platform::Shell& shell, const std::string& path, std::uintptr_t owner) {
    return shell.showProperties(path, owner);
}

}  // namespace wd::process
