// The end-to-end scenarios. Each drives a real wardeck.exe (or, for the
// client's own check, Wine's notepad) and records its checks in a Report.
#pragma once

#include <map>
#include <string>

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
};

using Scenario = int (*)(Report&, const Options&);

int scenarioStartup(Report& r, const Options& o);
int scenarioClientCheck(Report& r, const Options& o);
int scenarioRegistry(Report& r, const Options& o);
int scenarioDrive(Report& r, const Options& o);
int scenarioProcess(Report& r, const Options& o);
int scenarioBackground(Report& r, const Options& o);
int scenarioDll(Report& r, const Options& o);
int benchRegistry(Report& r, const Options& o);
int benchDrive(Report& r, const Options& o);
int scenarioSoak(Report& r, const Options& o);

}  // namespace wdauto
