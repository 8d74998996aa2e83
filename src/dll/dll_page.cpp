#include "dll/dll_page.h"

#include "app/layout.h"
#include "app/main_window.h"

namespace wd::dll {

namespace L = wd::layout;

DllPage::DllPage(app::MainWindow& form, ui::Toolkit& tk, ui::Picture& c) : form_(form) {
    Label6 = tk.label(c, L::kLabel6);
    Label6->setTransparent(true);
    Label7 = tk.label(c, L::kLabel7);
    Label7->setTransparent(true);
    Text2 = tk.textBox(c, L::kText2, {.multiLine = true});
    Command11 = tk.button(c, L::kCommand11);
    Command11->onClick = [this] { Command11_Click(); };
}

void DllPage::Command11_Click() {
    // Ending the shell and deleting the file are added with the forced deletion.
    (void)form_;
}

}  // namespace wd::dll
