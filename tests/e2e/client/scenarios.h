// The end-to-end scenarios of wdauto.exe. Each drives a real wardeck.exe (or,
// for the client's own check, Wine's notepad) and records its checks in a
// Report.
#pragma once

#include "cli.h"

namespace wdauto {

int scenarioStartup(Report& r, const Options& o);
int scenarioClientCheck(Report& r, const Options& o);
int scenarioRegistry(Report& r, const Options& o);
int scenarioDrive(Report& r, const Options& o);
int scenarioProcess(Report& r, const Options& o);
int scenarioBackground(Report& r, const Options& o);
int scenarioDll(Report& r, const Options& o);

}  // namespace wdauto
