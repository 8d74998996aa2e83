#include "registry/hijack_page.h"

#include "app/layout.h"
#include "app/main_window.h"

namespace wd::registry {

namespace L = wd::layout;

HijackPage::HijackPage(app::MainWindow& form, ui::Toolkit& tk, ui::Picture& c) : form_(form) {
    Label2 = tk.label(c, L::kLabel2);
    Label2->setTransparent(true);
    Picture2 = tk.picture(c, L::kPicture2, true);
    Check1 = tk.checkBox(*Picture2, L::kCheck1);
    Check1->setTag("0");
    Check1->setVisible(false);
    VScroll2 = tk.vScrollBar(c, L::kVScroll2);
    VScroll2->setSteps(1, L::kScrollPageStep);
    Command4 = tk.button(c, L::kCommand4);
    Command3 = tk.button(c, L::kCommand3);

    const int rowWidth = L::kPicture1[L::kHijack].rect.width - 60;
    rows = std::make_unique<app::RowBoxList>(tk, *Picture2, *Check1, form.state().hijackCount, VScroll2.get(),
                                             app::RowBoxList::Columns::One, rowWidth);

    VScroll2->onChange = [this] { VScroll2_Change(); };
    Command4->onClick = [this] { Command4_Click(); };
    Command3->onClick = [this] { Command3_Click(); };
}

void HijackPage::ScanHijacks() {
    // Reading the "Image File Execution Options" key is added with the registry layer.
}

void HijackPage::Command3_Click() {
    rows->clear();
    ScanHijacks();
    rows->recomputeScrollRange(1);
}

void HijackPage::Command4_Click() { rows->tickAll(form_.state().hijackSelectAllNext, *Command4); }

void HijackPage::VScroll2_Change() { rows->scrollRows(); }

}  // namespace wd::registry
