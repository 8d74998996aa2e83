// The measurements of wdbench.exe. Each drives a real wardeck.exe from
// outside, as the end-to-end scenarios do, and writes what it measured as
// RESULT lines (bench/README.md) into its log; its checks say only whether it
// could measure.
#pragma once

#include "cli.h"

namespace wdauto {

int benchStartup(Report& r, const Options& o);
int benchRegistry(Report& r, const Options& o);
int benchDrive(Report& r, const Options& o);
int benchProcess(Report& r, const Options& o);

}  // namespace wdauto
