// A main window started on the headless toolkit.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/main_window.h"
#include "app/row_list.h"
#include "drive/drive_page.h"
#include "support/headless.h"
#include "support/memory_files.h"
#include "support/memory_platform.h"
#include "support/memory_registry.h"

namespace wd::test {

// The window that shows row k of a list: a row in view or near it has one.
inline HCheckBox& shownRow(app::RowBoxList& rows, int k) {
    ui::CheckBox* w = rows.window(k);
    if (!w) throw std::out_of_range("row " + std::to_string(k) + " has no window");
    return dynamic_cast<HCheckBox&>(*w);
}

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
    // Timer2 to Timer4 run the Process page's work: its page is made first.
    HTimer& timer(int n) {
        allPages();
        app::Form& f = form.form();
        ui::Timer* timers[] = {&f.Timer1, &f.Timer2, &f.Timer3, &f.Timer4};
        return dynamic_cast<HTimer&>(*timers[n - 1]);
    }
    drive::Background& background() { return form.drivePage().background(); }
    // The live control of this id. The pages other than the Drive page are
    // made when first shown; the tests reach into them directly, so all are
    // made first (what a first look at each page would do).
    template <class T>
    T& byId(int id) {
        allPages();
        return tk.byId<T>(id);
    }
    void allPages() {
        form.hijackPage();
        form.processPage();
        form.browserPage();
        form.dllPage();
    }

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
