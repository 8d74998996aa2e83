#include "app/help_window.h"

#include "app/layout.h"

namespace wd::app {

namespace L = wd::layout;

namespace {
constexpr int kLabelGap = 120;
}

HelpWindow::HelpWindow(ui::Toolkit& tk) {
    window = tk.window("form4", {.border = ui::BorderStyle::FixedDialog,
                                 .minimizeButton = false,
                                 .showInTaskbar = false,
                                 .hasIcon = false});
    window->setCaption(L::kHelpCaption);
    window->setClientSize(L::kHelpClientWidth, L::kHelpClientHeight);
    Label1 = tk.label(*window, L::kHelpLabels[0]);
    Label2 = tk.label(*window, L::kHelpLabels[1]);
    Label3 = tk.label(*window, L::kHelpLabels[2]);
    Label4 = tk.label(*window, L::kHelpLabels[3]);
    Label1->setAutoSize(true, true);
    for (ui::Label* l : {Label2.get(), Label3.get(), Label4.get()}) l->setAutoSize(true, false);
    for (ui::Label* l : {Label1.get(), Label2.get(), Label3.get(), Label4.get()}) l->setTransparent(true);
}

void HelpWindow::formLoad() {
    window->setBackColor(L::kFaceColor);
    Label1->setCaption(kHelpText1);
    Label2->setTop(Label1->rect().top + Label1->rect().height + kLabelGap);
    Label2->setCaption(kHelpText2);
    Label3->setTop(Label2->rect().top + Label2->rect().height + kLabelGap);
    Label3->setCaption(kHelpRights);
    Label4->setTop(Label3->rect().top + Label3->rect().height + kLabelGap);
    Label4->setCaption(kHelpContact);
}

void HelpWindow::showModal(ui::Window& owner) {
    formLoad();
    window->showModal(&owner);
}

}  // namespace wd::app
