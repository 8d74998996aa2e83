// The Browser page: browser extensions and toolbars registered for the machine.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/row_list.h"
#include "platform/ui.h"

namespace wd::app { class MainWindow; }

namespace wd::registry {

inline constexpr char kExtensionsPath[] = "Software\\Microsoft\\Internet Explorer\\Extensions";
inline constexpr char kToolbarPath[] = "Software\\Microsoft\\Internet Explorer\\Toolbar";

class BrowserPage {
public:
    BrowserPage(app::MainWindow& form, ui::Toolkit& tk, ui::Picture& container);

    void ScanExtensions(const std::string& path);
    void ScanToolbars(const std::string& path);
    void Command10_Click();
    void Command9_Click();
    void VScroll1_Change();

    std::unique_ptr<ui::Label> Label5;
    std::unique_ptr<ui::Picture> Picture4;
    std::unique_ptr<ui::CheckBox> Check3;  // element 0, the template row
    std::unique_ptr<ui::VScrollBar> VScroll1;
    std::unique_ptr<ui::Button> Command9;
    std::unique_ptr<ui::Button> Command10;
    std::unique_ptr<app::RowBoxList> rows;

    // Entry k names the registry entry of row k (1-based; [0] unused).
    std::vector<std::string> browserEntryNames{std::string()};

private:
    app::MainWindow& form_;
};

}  // namespace wd::registry
