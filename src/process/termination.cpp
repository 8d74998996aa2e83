#include "process/termination.h"

namespace wd::process {

std::string processName(platform::Text& text, const std::string& exeName) {
    const std::size_t nul = exeName.find('\0');
    return text.lowerCase(nul == std::string::npos ? exeName : exeName.substr(0, nul));
}

std::optional<Ending> EndProcessByName(platform::Processes& processes, platform::Text& text,
                                       const std::string& name) {
    // An empty name names no program: a process whose name the system has
    // not filled in yet (one that is just starting) is never ended for it.
    if (name.empty()) return std::nullopt;
    const auto snapshot = processes.snapshot();
    if (!snapshot) return std::nullopt;
    for (const platform::ProcessEntry& e : *snapshot) {
        if (processName(text, e.exeName) == name) {
            return Ending{e.pid, processes.terminate(e.pid)};
        }
    }
    return std::nullopt;
}

}  // namespace wd::process
