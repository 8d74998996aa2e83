#include "common/paths.h"

namespace wd::common {

std::string executableBaseName(std::string_view exePath) {
    const std::size_t slash = exePath.find_last_of("\\/");
    std::string name(slash == std::string_view::npos ? exePath : exePath.substr(slash + 1));
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

}  // namespace wd::common
