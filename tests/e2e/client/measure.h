// What the benchmarks and the soak measure with: medians, elapsed times, and
// the CPU time of a Wine process as its Unix process accounts it (Wine does
// not keep GetProcessTimes of a running process current, so that is the only
// account that moves).
#pragma once

#include <string>
#include <vector>

#include "automation.h"

namespace wdauto {

double median(std::vector<double> v);  // 0 for an empty list: check the size first
double msSince(Clock::time_point t0);
std::wstring num(double v, const wchar_t* format = L"%.1f");

// The "stat" file (Z:\proc\<pid>\stat) of the Unix process of this prefix
// whose name starts with `comm`: the wineserver, or a Wine process by its
// .exe name. Empty when it cannot be found.
std::wstring unixStatFile(const std::string& comm);
// utime + stime of that Unix process in milliseconds, or -1 when it cannot be read.
double unixCpuMs(const std::wstring& statFile);

}  // namespace wdauto
