// A main window started on the headless toolkit.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "drive/drive_page.h"
#include "support/headless.h"
#include "support/memory_files.h"
#include "support/memory_platform.h"
#include "support/memory_registry.h"

namespace wd::test {

struct App {
    // `beforeStart` seeds the in-memory system before the window starts.
    explicit App(std::string argument = {}, std::string exePath = "C:\\Tools\\wardeck.exe",
                 const std::function<void(App&)>& beforeStart = {})
        : form(platform, StartInfo{std::move(argument), std::move(exePath)}) {
        if (beforeStart) beforeStart(*this);
        form.start();
    }
    HWindow& window() { return dynamic_cast<HWindow&>(form.window()); }
    HButton& pageButton(int i) { return dynamic_cast<HButton&>(form.pageButton(i)); }
    HPicture& container(int p) { return dynamic_cast<HPicture&>(form.container(p)); }
    HTimer& timer(int n) {
        app::Form& f = form.form();
        ui::Timer* timers[] = {&f.Timer1, &f.Timer2, &f.Timer3, &f.Timer4};
        return dynamic_cast<HTimer&>(*timers[n - 1]);
    }
    drive::Background& background() { return form.drivePage().background(); }
    template <class T>
    T& byId(int id) { return tk.byId<T>(id); }

    HeadlessToolkit tk;
    MemoryProcesses processes;
    MemoryText text;
    MemoryShell shell;
    MemoryFiles files;
    MemoryEnvironment environment;
    MemoryRegistry registry;
    MemoryTray tray;
    MemoryTrust trust;
    Platform platform{tk, processes, text, shell, files, registry, tray, environment, trust};
    app::MainWindow form;
};

}  // namespace wd::test
