// Form1: the main window, its page bar and the state its pages share.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/layout.h"
#include "app/platform.h"
#include "platform/ui.h"

namespace wd::drive { class DrivePage; }
namespace wd::registry { class HijackPage; class BrowserPage; }
namespace wd::process { class ProcessPage; }
namespace wd::dll { class DllPage; }
namespace wd::drive { class ExitDialog; }

namespace wd::app {

class HelpWindow;

// The per-window state that several pages share.
struct WindowState {
    std::int32_t hijackCount = 0;
    std::int32_t browserCount = 0;
    std::int32_t processCount = 0;
    std::int32_t baselineCount = 0;
    bool hijackSelectAllNext = true;
    bool browserSelectAllNext = true;
    std::int16_t currentRow = 0;
    std::array<bool, layout::kPageCount> pageNeedsRefill{true, true, true, true, true};
};

// The Exit dialog's answer: 0 quit, 1 background mode, 10 no answer yet.
inline constexpr std::int32_t kExitQuit = 0;
inline constexpr std::int32_t kExitBackground = 1;
inline constexpr std::int32_t kExitNoAnswer = 10;

// Where the log-on autostart value lives (under HKEY_LOCAL_MACHINE).
inline constexpr char kRunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class MainWindow {
public:
    MainWindow(Platform& platform, StartInfo start);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window and its controls, runs the load step, then shows the
    // window, or leaves it hidden in background mode for the `watch` argument.
    void start();

    ui::Window& window() { return *window_; }
    WindowState& state() { return state_; }
    std::int32_t exitChoice() const { return exitChoice_; }
    const StartInfo& startInfo() const { return start_; }
    ui::Toolkit& toolkit() { return tk_; }
    Platform& platform() { return platform_; }

    // The page bar's action: element `index` of Command2.
    void selectPage(int index);

    // Hooks the pages reach each other through.
    void EnterBackgroundMode();
    void RefreshAutostartBox(const std::string& keyPath, const std::string& valueName);

    // Every close request of the window: asks the Exit dialog what to do.
    void Form_Unload(bool& cancel);
    // The tray icon's mouse messages.
    void Picico_MouseMove(int message);
    void openform_Click();
    void exitform_Click();
    bool exitDialogOpen() const { return exitDialog_ != nullptr; }
    bool helpOpen() const { return help_ != nullptr; }

    ui::Picture& container(int page) { return *containers_.at(static_cast<std::size_t>(page)); }
    ui::Button& pageButton(int index) { return *pageBar_.at(static_cast<std::size_t>(index)); }
    ui::Picture& picico() { return *picico_; }

    drive::DrivePage& drivePage() { return *drivePage_; }
    registry::HijackPage& hijackPage() { return *hijackPage_; }
    process::ProcessPage& processPage() { return *processPage_; }
    registry::BrowserPage& browserPage() { return *browserPage_; }
    dll::DllPage& dllPage() { return *dllPage_; }

    // The four interval timers and three hidden pop-up menus of the window.
    ui::Timer& timer(int n);
    ui::PopupMenu& mangerpro() { return *mangerpro_; }
    ui::PopupMenu& listm() { return *listm_; }
    ui::PopupMenu& formma() { return *formma_; }

private:
    void createControls();
    void applyColours();
    void formLoad();
    void showHelp();

    void taskbarCreated();

    Platform& platform_;
    ui::Toolkit& tk_;
    bool trayIconWanted_ = false;        // added by background mode, kept until the program ends
    drive::ExitDialog* exitDialog_ = nullptr;  // while it is open
    HelpWindow* help_ = nullptr;               // while it is open
    StartInfo start_;
    WindowState state_;
    std::int32_t exitChoice_ = kExitNoAnswer;

    // Declared parent first: members are destroyed in reverse order.
    std::unique_ptr<ui::Window> window_;
    std::unique_ptr<ui::Picture> picture5_, picture7_, picture6_, picico_;
    std::vector<std::unique_ptr<ui::Button>> pageBar_;      // Command2
    std::vector<std::unique_ptr<ui::Picture>> containers_;  // Picture1
    std::unique_ptr<ui::Timer> timer1_, timer2_, timer3_, timer4_;
    std::unique_ptr<drive::DrivePage> drivePage_;
    std::unique_ptr<registry::HijackPage> hijackPage_;
    std::unique_ptr<process::ProcessPage> processPage_;
    std::unique_ptr<registry::BrowserPage> browserPage_;
    std::unique_ptr<dll::DllPage> dllPage_;
    std::unique_ptr<ui::PopupMenu> mangerpro_, listm_, formma_;
};

// The executable's file name without folder and extension.
std::string executableBaseName(const std::string& exePath);

}  // namespace wd::app
