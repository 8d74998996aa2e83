// Where every control of the three windows stands, in twips, as designed.
// Each control is declared here once; the pages build themselves from these
// rows and nobody writes a coordinate twice. The ids are the controls' child
// window IDs and are what the automation client looks for.
#pragma once

#include "platform/ui.h"

namespace wd::layout {

using ui::Layout;
using ui::Rect;

inline constexpr ui::Rgb kFaceColor{236, 233, 216};
inline constexpr ui::Rgb kRed{255, 0, 0};

inline constexpr char kMainCaption[] = "Skorrin助手——Wardeck";

// Page numbers: the index of the page-bar button that selects the page.
enum Page : int { kDrive = 0, kHijack = 1, kProcess = 2, kBrowser = 3, kDll = 4, kHelp = 5 };
inline constexpr int kPageCount = 5;  // pages with a container

// ---- main window (Form1) ----------------------------------------------------
inline constexpr int kMainHeight = 5280;
inline constexpr int kMainWidth = 7260;
inline constexpr int kProcessHeight = 6060;
inline constexpr int kProcessWidth = 7995;

inline constexpr Layout kPicture5{"Picture5", 101, {240, 0, 7305, 930}, ""};
inline constexpr Layout kPicture7{"Picture7", 102, {1800, 930, 5625, 30}, ""};
inline constexpr Layout kPicture6{"Picture6", 103, {2040, 840, 45, 4230}, ""};

// The page bar, element n selects page n. Order from the top is not index order.
inline constexpr Layout kCommand2[6] = {
    {"Command2", 110, {240, 1080, 1455, 375}, "优盘监控"},
    {"Command2", 111, {240, 1560, 1455, 375}, "映像劫持清理"},
    {"Command2", 112, {240, 2520, 1455, 375}, "进程管理"},
    {"Command2", 113, {240, 2040, 1455, 375}, "清理IE流氓"},
    {"Command2", 114, {240, 3000, 1455, 375}, "强力删除dll"},
    {"Command2", 115, {240, 3480, 1455, 375}, "帮助说明"},
};

// Page containers; their Left and Top are set by selectPage.
inline constexpr Layout kPicture1[kPageCount] = {
    {"Picture1", 120, {1920, 1200, 4600, 3135}, ""},
    {"Picture1", 121, {2200, 1200, 4575, 3735}, ""},
    {"Picture1", 122, {1920, 1000, 6015, 4455}, ""},
    {"Picture1", 123, {2200, 1200, 4575, 3975}, ""},
    {"Picture1", 124, {1920, 1010, 4455, 3135}, ""},
};

// What selectPage does with the window and the container of each page.
struct PagePlacement {
    int windowHeight;
    int windowWidth;
    int top;
    int left;
};
inline constexpr PagePlacement kPagePlacement[kPageCount] = {
    {kMainHeight, kMainWidth, 1200, 1920},
    {kMainHeight, kMainWidth, 1200, 2200},
    {kProcessHeight, kProcessWidth, 1000, 1920},
    {kMainHeight, kMainWidth, 1200, 2200},
    {kMainHeight, kMainWidth, 1010, 1920},
};

// The window's interval timers, in milliseconds.
inline constexpr int kTimer1Ms = 100;  // the drive monitor
inline constexpr int kTimer2Ms = 50;   // loop kill
inline constexpr int kTimer3Ms = 200;  // auto refresh of the process list
inline constexpr int kTimer4Ms = 200;  // suspect search

// ---- Drive page (Picture1 element 0) -----------------------------------------
inline constexpr Layout kText3{"Text3", 205, {480, 0, 3975, 1095}, ""};
inline constexpr Layout kCommand1{"Command1", 201, {2760, 1320, 1335, 375}, "开启优盘监控"};
inline constexpr Layout kLabel1{"Label1", 204, {960, 1605, 975, 255}, "优盘盘符："};
inline constexpr Layout kCombo1{"Combo1", 203, {1920, 1560, 615, 300}, "H:"};
inline constexpr Layout kCommand12{"Command12", 202, {2760, 1800, 1335, 375}, "后台运行监控"};
inline constexpr Layout kCheck4{"Check4", 206, {480, 2400, 3855, 255},
                                "下次开机“优盘监控”自动进入监控状态。"};
inline constexpr Layout kLabel8{"Label8", 207, {480, 2670, 3855, 615},
                                "（本操作将会对注册表进行写操作，若有注册表监控软件提示，请选择“同意修改”选项）"};

inline constexpr char kDriveNote[] =
    "说明：若您的优盘存在可疑的优盘病毒，本\r\n"
    "模块则会在优盘根目录下建立一个 [★优盘\r\n"
    "VIP房☆] 文件夹，并将可疑的病毒文件多加\r\n"
    "了.vkq扩展名后隔离此文件夹中；您确认 [★\r\n"
    "优盘VIP房☆] 内的文件并非您的重要文件后\r\n"
    "，可以连同 [★优盘VIP房☆] 直接删除。若\r\n"
    "您的优盘不存在可疑的优盘病毒，本模块不会\r\n"
    "对您的优盘进行任何的写操作。\r\n";

inline constexpr char kMonitorStart[] = "开启优盘监控";
inline constexpr char kMonitorStop[] = "停止 监控";

// ---- Hijack page (Picture1 element 1) ----------------------------------------
inline constexpr Layout kLabel2{"Label2", 301, {240, 0, 1695, 255}, "被劫持的应用程序"};
inline constexpr Layout kPicture2{"Picture2", 302, {240, 195, 3975, 2415}, ""};
inline constexpr Layout kVScroll2{"VScroll2", 303, {3945, 225, 260, 2385}, ""};
inline constexpr Layout kCommand4{"Command4", 304, {1800, 2760, 975, 375}, "选定全部"};
inline constexpr Layout kCommand3{"Command3", 305, {3000, 2760, 975, 375}, "清除劫持"};
inline constexpr Layout kCheck1{"Check1", 100000, {30, -250, 3855, 255}, "Check1"};

// ---- Process page (Picture1 element 2) ---------------------------------------
inline constexpr Layout kLabel3[3] = {
    {"Label3", 401, {0, 0, 1695, 255}, "所有进程名称"},
    {"Label3", 402, {3960, 0, 1335, 255}, "被怀疑的进程"},
    {"Label3", 403, {3960, 2640, 975, 255}, "手动添加"},
};
inline constexpr Layout kPicture3{"Picture3", 404, {0, 240, 3495, 4095}, ""};
inline constexpr Layout kList1{"List1", 405, {3960, 240, 1815, 2220}, ""};
inline constexpr Layout kCommand5{"Command5", 406, {3520, 990, 420, 375}, ">>"};
inline constexpr Layout kText1{"Text1", 407, {4680, 2600, 1095, 270}, ""};
inline constexpr Layout kCommand6{"Command6", 408, {3960, 3000, 1695, 375}, "自动刷新进程"};
inline constexpr Layout kCommand8{"Command8", 409, {3960, 3420, 1695, 375}, "寻找可疑进程"};
inline constexpr Layout kCommand7{"Command7", 410, {3960, 3840, 1695, 375}, "循环结束疑进程"};
inline constexpr Layout kCheck2{"Check2", 200000, {30, -250, 1750, 255}, "Check2"};
// Scrolls the Process list once rows lie below the box; along its right edge.
inline constexpr Layout kVScroll3{"VScroll3", 411, {3225, 270, 260, 4035}, ""};

// ---- Browser page (Picture1 element 3) ---------------------------------------
inline constexpr Layout kLabel5{"Label5", 501, {240, 0, 2535, 255}, "傍附在IE浏览器的流氓程序"};
inline constexpr Layout kPicture4{"Picture4", 502, {240, 195, 3975, 2415}, ""};
inline constexpr Layout kVScroll1{"VScroll1", 503, {3945, 225, 260, 2385}, ""};
inline constexpr Layout kCommand9{"Command9", 504, {1800, 2760, 975, 375}, "选定全部"};
inline constexpr Layout kCommand10{"Command10", 505, {3000, 2760, 975, 375}, "清  除"};
inline constexpr Layout kCheck3{"Check3", 300000, {20, -250, 1695, 255}, "Check3"};

inline constexpr char kSelectAll[] = "选定全部";
inline constexpr char kUnselectAll[] = "取消全部";
// Follows the caption of a Hijack or Browser row found in the registry's 32-bit view.
inline constexpr char k32BitSuffix[] = "（32位）";

// ---- Dll page (Picture1 element 4) -------------------------------------------
inline constexpr Layout kLabel6{"Label6", 601, {480, 120, 3855, 615},
                                "说明：恶意的dll文件一般采用被explorer调用方式，无法直接删除，本模块，"
                                "采用先结束explorer进程，接着删除恶意dll。"};
inline constexpr Layout kLabel7{"Label7", 602, {480, 960, 2535, 255}, "恶意dll完整的路径与文件名："};
inline constexpr Layout kText2{"Text2", 603, {480, 1320, 3615, 735}, ""};
inline constexpr Layout kCommand11{"Command11", 604, {2880, 2280, 1215, 375}, "删除dll"};

// ---- Exit dialog (Form2) -------------------------------------------------------
inline constexpr char kExitCaption[] = "请选择退出方式";
inline constexpr int kExitClientWidth = 4425;
inline constexpr int kExitClientHeight = 1890;
inline constexpr Layout kExitBanner{"Picture1", 701, {240, 0, 3660, 1170}, ""};
inline constexpr Layout kExitButtons[3] = {
    {"Command1", 710, {120, 1320, 1335, 375}, "完全退出"},
    {"Command1", 711, {1560, 1320, 1335, 375}, "后台监控"},
    {"Command1", 712, {3000, 1320, 1335, 375}, "不退出"},
};

// ---- Help window (form4) -------------------------------------------------------
inline constexpr char kHelpCaption[] = "软件说明";
inline constexpr int kHelpClientWidth = 4140;
inline constexpr int kHelpClientHeight = 2565;
inline constexpr Layout kHelpLabels[4] = {
    {"Label1", 801, {360, 120, 3420, 255}, ""},
    {"Label2", 802, {360, 600, 255, 255}, ""},
    {"Label3", 803, {360, 1320, 255, 255}, ""},
    {"Label4", 804, {360, 1680, 255, 255}, ""},
};

// Row box lists: geometry shared by the three lists.
inline constexpr int kRowGap = 30;          // between rows of the scrolling lists
inline constexpr int kRowWidthLess = 60;    // a scrolling list's rows: their page's width less this
inline constexpr int kRowStep = 180;        // twips per scroll unit
inline constexpr int kScrollPageStep = 11;  // units per page step
inline constexpr int kProcessColumnRows = 16;
inline constexpr int kProcessSecondColumnLeft = 1800;

}  // namespace wd::layout
