#include "process/file_work.h"

namespace wd::process {

std::intptr_t ShowFileProperties(platform::Shell& shell, const std::string& path, std::uintptr_t owner) {
    platform::ShellExecuteRequest request;
    request.mask = kPropertiesMask;
    request.owner = owner;
    request.verb = "properties";
    request.file = path;
    request.parameters = "";
    request.directory = "";
    request.show = 0;
    return shell.execute(request);
}

}  // namespace wd::process
