#include "process/termination.h"

#include <array>
#include <string_view>

namespace wd::process {

namespace {

// The processes a Windows session cannot run without: ending one stops the
// machine or logs everyone off.
constexpr std::array<std::string_view, 7> kSystemProcessNames = {
    "smss.exe", "csrss.exe", "wininit.exe", "winlogon.exe", "services.exe", "lsass.exe", "lsaiso.exe"};

bool hasSystemName(const std::string& name) {
    for (std::string_view n : kSystemProcessNames)
        if (name == n) return true;
    return false;
}

}  // namespace

std::string processName(platform::Text& text, const std::string& exeName) {
    const std::size_t nul = exeName.find('\0');
    return text.lowerCase(nul == std::string::npos ? exeName : exeName.substr(0, nul));
}

bool IsSystemProcess(platform::Processes& processes, platform::Text& text, const platform::ProcessEntry& entry) {
    const std::string name = processName(text, entry.exeName);
    if (!hasSystemName(name)) return false;
    const std::string path = processes.mainModulePath(entry.pid);
    const std::string folder = processes.systemFolder();
    // Unknown is the system's: ending the real one would cost the machine.
    if (path.empty() || folder.empty()) return true;
    return text.sameName(path, folder + "\\" + name);
}

std::optional<Ending> EndProcess(platform::Processes& processes, platform::Text& text,
                                 const platform::ProcessEntry& entry) {
    if (IsSystemProcess(processes, text, entry)) return std::nullopt;
    switch (processes.terminate(entry.pid, entry.createTime)) {
        case platform::EndResult::Ended: return Ending{entry.pid, true};
        case platform::EndResult::Refused:
        case platform::EndResult::Gone: return Ending{entry.pid, false};
        case platform::EndResult::Critical: break;
    }
    return std::nullopt;
}

std::optional<platform::ProcessEntry> FindProcessToEnd(platform::Processes& processes, platform::Text& text,
                                                       const std::string& name) {
    // An empty name names no program: a process whose name the system has
    // not filled in yet (one that is just starting) is never ended for it.
    if (name.empty()) return std::nullopt;
    const auto snapshot = processes.snapshot();
    if (!snapshot) return std::nullopt;
    for (const platform::ProcessEntry& e : *snapshot)
        if (processName(text, e.exeName) == name && !IsSystemProcess(processes, text, e)) return e;
    return std::nullopt;
}

std::optional<Ending> EndProcessByName(platform::Processes& processes, platform::Text& text,
                                       const std::string& name) {
    if (name.empty()) return std::nullopt;
    const auto snapshot = processes.snapshot();
    if (!snapshot) return std::nullopt;
    for (const platform::ProcessEntry& e : *snapshot) {
        if (processName(text, e.exeName) != name) continue;
        // A process Windows cannot lose is passed over, so that a copy that
        // only borrows its name is reached.
        if (const auto ending = EndProcess(processes, text, e)) return ending;
    }
    return std::nullopt;
}

}  // namespace wd::process
