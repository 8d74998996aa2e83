#include "process/process_page.h"

#include "app/layout.h"
#include "app/main_window.h"

namespace wd::process {

namespace L = wd::layout;

ProcessPage::ProcessPage(app::MainWindow& form, ui::Toolkit& tk, ui::Picture& c) : form_(form) {
    Label3[0] = tk.label(c, L::kLabel3[0]);
    Picture3 = tk.picture(c, L::kPicture3, true);
    Check2 = tk.checkBox(*Picture3, L::kCheck2);
    Check2->setTag("0");
    Check2->setVisible(false);
    Label3[1] = tk.label(c, L::kLabel3[1]);
    List1 = tk.listBox(c, L::kList1);
    Command5 = tk.button(c, L::kCommand5);
    Label3[2] = tk.label(c, L::kLabel3[2]);
    Text1 = tk.textBox(c, L::kText1, {});
    Command6 = tk.button(c, L::kCommand6);
    Command8 = tk.button(c, L::kCommand8);
    Command7 = tk.button(c, L::kCommand7);
    for (auto& l : Label3) l->setTransparent(true);

    rows = std::make_unique<app::RowBoxList>(tk, *Picture3, *Check2, form.state().processCount, nullptr,
                                             app::RowBoxList::Columns::Two, L::kCheck2.rect.width);
}

void ProcessPage::ListProcesses() {
    // Walking the process snapshot is added with the process manager.
    form_.state().processCount = rows->count();
}

}  // namespace wd::process
