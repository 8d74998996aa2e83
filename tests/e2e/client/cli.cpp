#include "cli.h"

#include <algorithm>

#include "automation.h"

namespace wdauto {

bool Options::wants(const std::wstring& part) const {
    if (only.empty()) return true;
    size_t start = 0;
    while (start <= only.size()) {
        size_t end = only.find(L',', start);
        if (end == std::wstring::npos) end = only.size();
        if (only.compare(start, end - start, part) == 0) return true;
        start = end + 1;
    }
    return false;
}

int Options::number(const wchar_t* name, int def) const {
    auto it = extra.find(name);
    return it == extra.end() ? def : std::max(1, _wtoi(it->second.c_str()));
}

std::wstring Options::text(const wchar_t* name, const std::wstring& def) const {
    auto it = extra.find(name);
    return it == extra.end() ? def : it->second;
}

std::wstring Args::get(const std::wstring& k, const std::wstring& def) const {
    auto it = named.find(k);
    return it == named.end() ? def : it->second;
}

Args parseArgs(int argc, wchar_t** argv) {
    Args a;
    for (int i = 1; i < argc; ++i) {
        std::wstring s = argv[i];
        if (s.rfind(L"--", 0) == 0 && i + 1 < argc) {
            a.named[s.substr(2)] = argv[++i];
        } else {
            a.positional.push_back(s);
        }
    }
    return a;
}

int runScenario(const std::map<std::wstring, Scenario>& scenarios, const std::wstring& name, const Args& a,
                const wchar_t* program) {
    auto it = scenarios.find(name);
    if (it == scenarios.end()) {
        fwprintf(stderr, L"%ls: no scenario named %ls\n", program, name.c_str());
        return 2;
    }
    Options o;
    o.app = a.get(L"app");
    o.out = a.get(L"out", L".");
    o.dpi = std::stoi(a.get(L"dpi", L"96"));
    o.tag = a.get(L"tag");
    o.only = a.get(L"only");
    o.extra = a.named;
    makeDirs(o.out);
    const std::wstring log = a.get(L"log", joinPath(o.out, name + L".log"));
    Report r(log);
    if (!r.open()) {
        fwprintf(stderr, L"%ls: cannot write %ls\n", program, log.c_str());
        return 2;
    }
    return it->second(r, o);
}

Out::Out(const std::wstring& path) {
    if (!path.empty()) file_ = _wfopen(path.c_str(), L"wb");
}

Out::~Out() {
    if (file_) fclose(file_);
}

void Out::line(const std::wstring& s) {
    std::string b = toUtf8(s) + "\n";
    if (file_) {
        fwrite(b.data(), 1, b.size(), file_);
        fflush(file_);
    } else {
        DWORD n = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), b.data(), static_cast<DWORD>(b.size()), &n, nullptr);
    }
}

}  // namespace wdauto
