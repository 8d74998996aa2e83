// form4: the Help window, a small fixed dialog with four texts.
#pragma once

#include <memory>

#include "platform/ui.h"

namespace wd::app {

inline constexpr char kHelpText1[] =
    "    本工具为杀毒辅助工具，用来清除各类恶意软件、手动辅助清除新病毒等，特别是[进程管理]，"
    "灵活组合运用这一功能，可以有效的发现并清除各类未知病毒、木马等进程，从而有效解救被绑架的杀软，"
    "让杀软有了升级的机会。";
inline constexpr char kHelpText2[] = "    Skorrin是为了拯救杀软。";
inline constexpr char kHelpRights[] = "    © 2026 Wardeck，保留所有权利。";
inline constexpr char kHelpContact[] = "    问题与建议：Wardeck 问题列表";

class HelpWindow {
public:
    explicit HelpWindow(ui::Toolkit& tk);

    // Runs the load action and shows the window modally over `owner`;
    // returns when the user has closed it.
    void showModal(ui::Window& owner);

    std::unique_ptr<ui::Window> window;
    std::unique_ptr<ui::Label> Label1, Label2, Label3, Label4;

private:
    void formLoad();
};

}  // namespace wd::app
