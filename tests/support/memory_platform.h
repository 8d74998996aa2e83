// In-memory processes, text, shell and rights for the unit tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/processes.h"
#include "platform/rights.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/tray.h"
#include "platform/trust.h"

namespace wd::test {

class MemoryProcesses : public platform::Processes {
public:
    struct Proc {
        std::uint32_t pid;
        std::string exeName;
        std::string path;
        bool pathReadable = true;
        bool terminable = true;
        std::uint64_t createTime = 0;
        // Ended, it takes its time to exit: it stays in the snapshot until a
        // wait for it has run, or for good when it also hangs.
        bool exitsSlowly = false;
        bool hangs = false;
        bool ending = false;
        bool critical = false;  // Windows marks it critical
        bool elevated = false;  // its token is an administrator's full one
    };

    std::uint32_t start(std::string exeName, std::string path = {}, bool pathReadable = true,
                        bool terminable = true) {
        const std::uint32_t pid = nextPid_;
        nextPid_ += 4;
        if (path.empty() && pathReadable) path = "C:\\Apps\\" + exeName;
        procs.push_back({pid, std::move(exeName), std::move(path), pathReadable, terminable, ++clock_});
        return pid;
    }
    bool running(std::uint32_t pid) const {
        return std::any_of(procs.begin(), procs.end(), [&](const Proc& p) { return p.pid == pid; });
    }
    Proc& proc(std::uint32_t pid) {
        auto it = std::find_if(procs.begin(), procs.end(), [&](const Proc& p) { return p.pid == pid; });
        if (it == procs.end()) throw std::out_of_range("no process " + std::to_string(pid));
        return *it;
    }
    int countNamed(const std::string& exeName) const {
        return static_cast<int>(
            std::count_if(procs.begin(), procs.end(), [&](const Proc& p) { return p.exeName == exeName; }));
    }

    std::optional<std::vector<platform::ProcessEntry>> snapshot() override {
        ++snapshots;
        if (snapshotThrows) throw std::bad_alloc();
        if (snapshotFails) return std::nullopt;
        std::vector<platform::ProcessEntry> out;
        for (const Proc& p : procs) out.push_back({p.pid, p.exeName, p.createTime});
        return out;
    }
    std::string mainModulePath(std::uint32_t pid) override {
        ++pathReads;
        for (const Proc& p : procs)
            if (p.pid == pid) return p.pathReadable ? p.path : std::string();
        return {};
    }
    platform::EndResult terminate(std::uint32_t pid, std::uint64_t createTime) override {
        terminateCalls.push_back(pid);
        auto it = std::find_if(procs.begin(), procs.end(), [&](const Proc& p) { return p.pid == pid; });
        if (it == procs.end() || (createTime != 0 && it->createTime != createTime) || it->ending)
            return platform::EndResult::Gone;
        if (!it->terminable) return platform::EndResult::Refused;
        if (it->critical) return platform::EndResult::Critical;
        if (it->exitsSlowly) {
            it->ending = true;
            return platform::EndResult::Ended;
        }
        procs.erase(it);
        return platform::EndResult::Ended;
    }
    // Ends the process whatever it is, as another program may.
    void kill(std::uint32_t pid) {
        std::erase_if(procs, [&](const Proc& p) { return p.pid == pid; });
    }
    std::string systemFolder() override { return system32; }
    // A token named after the process it came from ("token of 104"), or the
    // linked one ("linked token") when that process runs elevated or is gone.
    struct Token : platform::UserToken {
        explicit Token(std::string n) : name(std::move(n)) {}
        std::string name;
    };
    std::unique_ptr<platform::UserToken> unelevatedToken(std::uint32_t pid) override {
        tokenRequests.push_back(pid);
        for (const Proc& p : procs)
            if (p.pid == pid && !p.elevated) return std::make_unique<Token>("token of " + std::to_string(pid));
        if (hasLinkedToken) return std::make_unique<Token>("linked token");
        return nullptr;
    }
    // The wait runs `duringWait` first: what the program handles while it
    // waits (timer ticks, messages sent to its windows).
    bool waitForExit(std::uint32_t pid, int timeoutMs) override {
        waits.push_back({pid, timeoutMs});
        if (duringWait && !inWait_) {
            inWait_ = true;
            duringWait();
            inWait_ = false;
        }
        std::erase_if(procs, [&](const Proc& p) { return p.pid == pid && p.ending && !p.hangs; });
        return !running(pid);
    }

    std::vector<Proc> procs;
    bool snapshotFails = false;
    bool snapshotThrows = false;  // as when memory runs out
    int snapshots = 0;
    int pathReads = 0;
    std::vector<std::uint32_t> terminateCalls;
    std::vector<std::uint32_t> tokenRequests;
    bool hasLinkedToken = true;
    std::string system32 = "C:\\Windows\\System32";
    std::vector<std::pair<std::uint32_t, int>> waits;
    std::function<void()> duringWait;

private:
    std::uint32_t nextPid_ = 100;
    std::uint64_t clock_ = 1000;
    bool inWait_ = false;
};

// Names compared as Windows compares registry and file names
// (CompareStringOrdinal ignoring case): each UTF-16 unit upper-cased on its
// own, no normalisation, no locale. A stand-in for the system's table that
// knows ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letter pairs;
// like the system it leaves "İ" (U+0130) and the Kelvin sign (U+212A) apart
// from "I" and "K", and passes surrogates through.
bool sameNameAsWindows(std::string_view a, std::string_view b);
// The name with each UTF-16 unit upper-cased as above, as bytes.
std::string nameKeyAsWindows(std::string_view name);

// Lower-cases ASCII, Latin-1, Greek and Cyrillic capitals, the dotted capital
// I and the Kelvin sign; the ANSI code page is taken to be UTF-8.
class MemoryText : public platform::Text {
public:
    std::string lowerCase(std::string_view utf8) override;
    std::string fromAnsi(std::string_view bytes) override { return std::string(bytes); }
    bool sameName(std::string_view a, std::string_view b) override { return sameNameAsWindows(a, b); }
    std::string nameKey(std::string_view name) override { return nameKeyAsWindows(name); }
};

class MemoryShell : public platform::Shell {
public:
    bool showProperties(std::string_view file, std::uintptr_t owner) override {
        requests.push_back({std::string(file), owner});
        return accepted;
    }
    std::string windowsFolder() override { return windows; }
    bool startProgram(std::string_view path, platform::StartStyle style, const platform::UserToken* asUser) override {
        started.push_back({std::string(path), style});
        const auto* token = dynamic_cast<const MemoryProcesses::Token*>(asUser);
        startedAs.push_back(token ? token->name : "wardeck's own token");
        return true;
    }
    // The properties sheets asked for.
    struct PropertiesRequest {
        std::string file;
        std::uintptr_t owner = 0;
    };
    std::vector<PropertiesRequest> requests;
    std::vector<std::pair<std::string, platform::StartStyle>> started;  // full path, style
    std::vector<std::string> startedAs;                                 // the token's name, as above
    bool accepted = true;
    std::string windows = "C:\\Windows";
};

// The token as a test sets it, and what the program asked of it.
class MemoryRights : public platform::Rights {
public:
    platform::Elevation elevation() override { return token; }
    bool startedByElevationRequest() override { return std::exchange(restartedCopy, false); }
    bool restartElevated(const platform::ElevationRequest& request) override {
        restarts.push_back(request);
        return consent;
    }
    bool enableDebugPrivilege() override {
        ++debugRequests;
        return holdsDebug;
    }
    platform::Elevation token = platform::Elevation::Default;
    bool restartedCopy = false;  // started by an earlier elevation request
    bool consent = true;         // false: the prompt is declined (or fails)
    bool holdsDebug = false;
    std::vector<platform::ElevationRequest> restarts;
    int debugRequests = 0;
};

// Signatures by path; a file not named is unsigned, a path in `missing` is not there.
class MemoryTrust : public platform::Trust {
public:
    std::optional<std::uint64_t> fileStamp(std::string_view path) override {
        if (missing.count(std::string(path))) return std::nullopt;
        const auto it = stamps.find(std::string(path));
        return it == stamps.end() ? 1 : it->second;
    }
    platform::Signature verify(std::string_view path) override {
        verified.emplace_back(path);
        const auto it = signatures.find(std::string(path));
        return it == signatures.end() ? platform::Signature{} : it->second;
    }
    std::map<std::string, platform::Signature> signatures;
    std::map<std::string, std::uint64_t> stamps;
    std::set<std::string> missing;
    std::vector<std::string> verified;  // every path checked, in order
};

// One icon, as the shell keeps it; a restarted shell has none.
class MemoryTray : public platform::Tray {
public:
    bool add(std::string_view t) override {
        ++adds;
        if (shown) return false;
        shown = true;
        tip = t;
        return true;
    }
    bool remove() override {
        ++removes;
        const bool was = shown;
        shown = false;
        return was;
    }
    void setForeground() override { ++foregrounds; }
    // The shell restarts: icons are gone, then the task bar is made anew.
    void restartShell() {
        shown = false;
        if (onTaskbarCreated) onTaskbarCreated();
    }
    bool shown = false;
    std::string tip;
    int adds = 0, removes = 0, foregrounds = 0;
};

}  // namespace wd::test
