// The log of one scenario: one line per check, "ok - what" or "not ok - what",
// followed by indented detail lines ("#   ..."), in UTF-8, flushed as it goes so
// that a run cut short still shows how far it came.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace wdauto {

class Report {
public:
    explicit Report(const std::wstring& path);
    ~Report();
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;

    bool open() const { return file_ != nullptr; }

    // Records one check; returns `passed`. `detail` is shown for failures.
    // There is no skipping: a check whose precondition is missing (a control
    // not found, a view not there) is a failed check.
    bool check(bool passed, const std::wstring& what, const std::wstring& detail = L"");
    // Compares `seen` with `expected` and shows both on failure.
    bool equal(const std::wstring& seen, const std::wstring& expected, const std::wstring& what);
    bool equal(long long seen, long long expected, const std::wstring& what);
    void note(const std::wstring& line);  // "# line"

    // A figure for the benchmark report (bench/README.md), one tab-separated line:
    //   RESULT  name  value  unit  baseline-name  baseline-value
    // with "-" for a figure that is compared with nothing.
    void result(const std::wstring& name, double value, const std::wstring& unit,
                const std::wstring& baseline = L"", double baselineValue = 0);
    // The figure of repeated measurements: their median (and the baseline's),
    // then, as tab-separated extras, how many there were and the least and
    // greatest of them and of the baseline's:
    //   RESULT  name  median  unit  baseline-name  baseline-median  runs=N  min=…  max=…  bmin=…  bmax=…
    // NOTMEASURED when there are none.
    void result(const std::wstring& name, const std::vector<double>& values, const std::wstring& unit,
                const std::wstring& baseline = L"", const std::vector<double>& baselineValues = {});
    // Why the figure `name` could not be measured: "NOTMEASURED  name  why".
    void notMeasured(const std::wstring& name, const std::wstring& why);

    int passed() const { return passed_; }
    int failed() const { return failed_; }
    // Writes the closing count line; returns the process exit code.
    int finish();

private:
    void write(const std::wstring& line);
    std::FILE* file_ = nullptr;
    int passed_ = 0, failed_ = 0;
};

}  // namespace wdauto
