// What the client's programs (wdauto.exe, wdbench.exe, wdsoak.exe) share on
// their command lines: the options of a scenario, the parsing of "--name
// value" pairs, and the running of one named scenario into its log.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "report.h"

namespace wdauto {

struct Options {
    std::wstring app;   // the program under test, as Windows sees its path
    std::wstring out;   // folder for screenshots and other files
    int dpi = 96;       // the screen DPI the prefix was set up with
    std::wstring tag;   // added to the names of files the scenario writes
    std::wstring only;  // comma-separated parts to run; empty: all
    std::map<std::wstring, std::wstring> extra;

    bool wants(const std::wstring& part) const;
    // `--name N` as a number of at least 1, or `def` when it is not given.
    int number(const wchar_t* name, int def) const;
    // `--name TEXT`, or `def`.
    std::wstring text(const wchar_t* name, const std::wstring& def = L"") const;
};

using Scenario = int (*)(Report&, const Options&);

struct Args {
    std::vector<std::wstring> positional;
    std::map<std::wstring, std::wstring> named;
    std::wstring get(const std::wstring& k, const std::wstring& def = L"") const;
};

Args parseArgs(int argc, wchar_t** argv);

// Runs the scenario `name` of `scenarios` with the options of `a` (--app,
// --out, --dpi, --tag, --only and any other --name value), its checks written
// to --log (default OUT\NAME.log). Exit code 0: every check passed; 1: some
// failed; 2: could not run.
int runScenario(const std::map<std::wstring, Scenario>& scenarios, const std::wstring& name, const Args& a,
                const wchar_t* program);

// Writes UTF-8 lines to a file, or to standard output when no file is named.
class Out {
public:
    explicit Out(const std::wstring& path);
    ~Out();
    Out(const Out&) = delete;
    Out& operator=(const Out&) = delete;
    void line(const std::wstring& s);

private:
    std::FILE* file_ = nullptr;
};

}  // namespace wdauto
