#include "wardeck_ui.h"

namespace wdauto {

namespace wardeck {

std::wstring quotedCommandLine(const std::wstring& app, const std::wstring& rest) {
    return L"\"" + app + L"\"" + rest;
}

Running start(const std::wstring& app, const std::wstring& commandLine, int timeoutMs) {
    Running run;
    run.process = launch(app, commandLine, L"", &run.error);
    if (!run.process) return run;
    run.main = waitTopLevel(kMainTitle, run.process.pid(), timeoutMs);
    if (!run.main) {
        DWORD code = 0;
        if (run.process.waitExit(0, &code)) {
            run.error = L"the program ended (exit code " + std::to_wstring(code) + L") without a main window";
        } else {
            run.error = L"no window titled " + quoted(kMainTitle) + L" within " + std::to_wstring(timeoutMs / 1000) + L" s";
        }
        return run;
    }
    // The load step runs before the program first waits for input.
    run.process.waitIdle(timeoutMs);
    return run;
}

}  // namespace wardeck

}  // namespace wdauto
