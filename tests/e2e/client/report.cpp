#include "report.h"

#include <algorithm>
#include <cwchar>

#include "automation.h"
#include "measure.h"

namespace wdauto {

Report::Report(const std::wstring& path) { file_ = _wfopen(path.c_str(), L"wb"); }

Report::~Report() {
    if (file_) std::fclose(file_);
}

void Report::write(const std::wstring& line) {
    if (!file_) return;
    std::string bytes = toUtf8(line);
    bytes += '\n';
    std::fwrite(bytes.data(), 1, bytes.size(), file_);
    std::fflush(file_);
}

bool Report::check(bool passed, const std::wstring& what, const std::wstring& detail) {
    if (passed) {
        ++passed_;
        write(L"ok - " + what);
    } else {
        ++failed_;
        write(L"not ok - " + what);
        if (!detail.empty()) {
            size_t start = 0;
            while (start <= detail.size()) {
                size_t end = detail.find(L'\n', start);
                if (end == std::wstring::npos) end = detail.size();
                write(L"#   " + detail.substr(start, end - start));
                start = end + 1;
            }
        }
    }
    return passed;
}

bool Report::equal(const std::wstring& seen, const std::wstring& expected, const std::wstring& what) {
    return check(seen == expected, what, L"expected " + quoted(expected) + L"\n    seen " + quoted(seen));
}

bool Report::equal(long long seen, long long expected, const std::wstring& what) {
    return check(seen == expected, what,
                 L"expected " + std::to_wstring(expected) + L"\n    seen " + std::to_wstring(seen));
}

void Report::note(const std::wstring& line) { write(L"# " + line); }

namespace {

std::wstring figure(double v) {
    wchar_t buf[64];
    swprintf(buf, 64, v == static_cast<double>(static_cast<long long>(v)) ? L"%.0f" : L"%.3f", v);
    return buf;
}

// No tab or line break inside a field.
std::wstring field(std::wstring s) {
    for (wchar_t& c : s) {
        if (c == L'\t' || c == L'\n' || c == L'\r') c = L' ';
    }
    return s;
}

}  // namespace

void Report::result(const std::wstring& name, double value, const std::wstring& unit, const std::wstring& baseline,
                    double baselineValue) {
    write(L"RESULT\t" + field(name) + L"\t" + figure(value) + L"\t" + field(unit) + L"\t" +
          (baseline.empty() ? L"-\t-" : field(baseline) + L"\t" + figure(baselineValue)));
}

void Report::result(const std::wstring& name, const std::vector<double>& values, const std::wstring& unit,
                    const std::wstring& baseline, const std::vector<double>& baselineValues) {
    if (values.empty() || (!baseline.empty() && baselineValues.empty())) {
        notMeasured(name, L"nothing was measured");
        return;
    }
    const auto [least, most] = std::minmax_element(values.begin(), values.end());
    std::wstring line = L"RESULT\t" + field(name) + L"\t" + figure(median(values)) + L"\t" + field(unit) + L"\t" +
                        (baseline.empty() ? L"-\t-" : field(baseline) + L"\t" + figure(median(baselineValues))) +
                        L"\truns=" + std::to_wstring(values.size()) + L"\tmin=" + figure(*least) + L"\tmax=" +
                        figure(*most);
    if (!baseline.empty()) {
        const auto [baseLeast, baseMost] = std::minmax_element(baselineValues.begin(), baselineValues.end());
        line += L"\tbmin=" + figure(*baseLeast) + L"\tbmax=" + figure(*baseMost);
    }
    write(line);
}

void Report::notMeasured(const std::wstring& name, const std::wstring& why) {
    write(L"NOTMEASURED\t" + field(name) + L"\t" + field(why));
}

int Report::finish() {
    write(L"# " + std::to_wstring(passed_) + L" passed, " + std::to_wstring(failed_) + L" failed");
    return failed_ ? 1 : 0;
}

}  // namespace wdauto
