#include "registry/browser_page.h"

#include "app/layout.h"
#include "app/main_window.h"

namespace wd::registry {

namespace L = wd::layout;

BrowserPage::BrowserPage(app::MainWindow& form, ui::Toolkit& tk, ui::Picture& c) : form_(form) {
    Label5 = tk.label(c, L::kLabel5);
    Label5->setTransparent(true);
    Picture4 = tk.picture(c, L::kPicture4, true);
    Check3 = tk.checkBox(*Picture4, L::kCheck3);
    Check3->setTag("0");
    VScroll1 = tk.vScrollBar(c, L::kVScroll1);
    VScroll1->setSteps(1, L::kScrollPageStep);
    Command9 = tk.button(c, L::kCommand9);
    Command10 = tk.button(c, L::kCommand10);

    const int rowWidth = L::kPicture1[L::kBrowser].rect.width - 60;
    rows = std::make_unique<app::RowBoxList>(tk, *Picture4, *Check3, form.state().browserCount, VScroll1.get(),
                                             app::RowBoxList::Columns::One, rowWidth);

    VScroll1->onChange = [this] { VScroll1_Change(); };
    Command9->onClick = [this] { Command9_Click(); };
    Command10->onClick = [this] { Command10_Click(); };
}

void BrowserPage::ScanExtensions(const std::string&) {
    // Reading the registered extensions is added with the registry layer.
}

void BrowserPage::ScanToolbars(const std::string&) {
    // Reading the registered toolbars is added with the registry layer.
}

void BrowserPage::Command10_Click() {
    rows->clear();
    ScanExtensions(kExtensionsPath);
    ScanToolbars(kToolbarPath);
    rows->recomputeScrollRange(1);
}

void BrowserPage::Command9_Click() { rows->tickAll(form_.state().browserSelectAllNext, *Command9); }

void BrowserPage::VScroll1_Change() { rows->scrollRows(); }

}  // namespace wd::registry
