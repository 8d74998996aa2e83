// wdbench.exe: the benchmarks that drive wardeck.exe from outside under Wine
// (bench/startup, bench/registry, bench/drive, bench/processes run it).
//
//   wdbench NAME --log FILE [--app EXE] [--out DIR] [--runs N] [options]
//
//   startup    start to visible main window, against notepad.exe
//   registry   the Hijack page's first opening with many IFEO keys
//   drive      the monitor's idle CPU and Quarantine runs
//   process    the CPU of Auto refresh and how long Loop kill lets a copy live
//
// Exit code 0: measured; 1: a step failed (the log says which); 2: could not run.
#include <cstdio>
#include <map>
#include <stdexcept>

#include "automation.h"
#include "benches.h"

int wmain(int argc, wchar_t** argv) {
    using namespace wdauto;
    becomeDpiAware();
    const Args a = parseArgs(argc, argv);
    if (a.positional.empty()) {
        fwprintf(stderr, L"usage: wdbench startup|registry|drive|process --log FILE [options] (see main.cpp)\n");
        return 2;
    }
    const std::map<std::wstring, Scenario> benches = {
        {L"startup", benchStartup},
        {L"registry", benchRegistry},
        {L"drive", benchDrive},
        {L"process", benchProcess},
    };
    try {
        return runScenario(benches, a.positional[0], a, L"wdbench");
    } catch (const std::exception& e) {
        fprintf(stderr, "wdbench: %s\n", e.what());
        return 2;
    }
}
