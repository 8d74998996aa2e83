#include "measure.h"

#include <algorithm>
#include <cstdio>

#include "machine_state.h"
#include "probes.h"

namespace wdauto {

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

std::wstring num(double v, const wchar_t* format) {
    wchar_t buf[64];
    swprintf(buf, 64, format, v);
    return buf;
}

std::wstring unixStatFile(const std::string& comm) {
    const std::wstring folder = unixProcFolder(comm);
    return folder.empty() ? folder : folder + L"\\stat";
}

double unixCpuMs(const std::wstring& statFile) {
    if (statFile.empty()) return -1;
    auto s = machine::readFile(statFile);
    if (!s) return -1;
    size_t close = s->rfind(')');
    if (close == std::string::npos) return -1;
    // Fields after the name: state(3) ... utime(14) stime(15), in clock ticks of 10 ms.
    std::vector<std::string> f;
    size_t at = close + 2;
    while (at < s->size() && f.size() < 13) {
        size_t end = s->find(' ', at);
        if (end == std::string::npos) end = s->size();
        f.push_back(s->substr(at, end - at));
        at = end + 1;
    }
    if (f.size() < 13) return -1;
    return (std::stod(f[11]) + std::stod(f[12])) * 10.0;
}

}  // namespace wdauto
