// `wdauto fixture [hidden]`: a small window of known controls that the
// client's own check drives from another process, so that every primitive is
// tried against something whose behaviour is certain.
#include "fixture.h"

#include "automation.h"

namespace wdauto::fixture {

namespace {

HWND g_status = nullptr;
int g_clicks = 0;

void setStatus(const std::wstring& s) { SetWindowTextW(g_status, s.c_str()); }

LRESULT CALLBACK frameProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            if (HIWORD(wp) == BN_CLICKED) {
                switch (LOWORD(wp)) {
                    case kPressButton:
                    case kNestedButton:
                        setStatus(L"clicked " + std::to_wstring(++g_clicks));
                        return 0;
                    case kCheckBox: {
                        HWND box = reinterpret_cast<HWND>(lp);
                        SendMessageW(box, BM_SETCHECK,
                                     SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
                        return 0;
                    }
                    case kAskButton: {
                        int answer = MessageBoxW(GetAncestor(w, GA_ROOT), kQuestion, kBoxTitle, MB_YESNO);
                        setStatus(L"answer " + std::to_wstring(answer));
                        return 0;
                    }
                }
            }
            break;
        case WM_CLOSE:
            DestroyWindow(w);
            return 0;
        case WM_DESTROY:
            if (!GetParent(w)) PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

HWND child(const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, HWND parent, int id) {
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

int run(bool hidden) {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = frameProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"WdautoFixture";
    RegisterClassW(&wc);

    HWND main = CreateWindowExW(0, wc.lpszClassName, kTitle, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 40, 40, 360,
                                260, nullptr, nullptr, inst, nullptr);
    child(L"BUTTON", L"Press", BS_PUSHBUTTON, 10, 10, 80, 24, main, kPressButton);
    g_status = child(L"STATIC", L"clicked 0", 0, 100, 14, 200, 20, main, kStatus);
    child(L"BUTTON", L"勾选", BS_CHECKBOX, 10, 40, 120, 20, main, kCheckBox);
    HWND combo = child(L"COMBOBOX", L"", CBS_DROPDOWN | WS_VSCROLL, 10, 66, 80, 120, main, kCombo);
    for (const wchar_t* item : {L"D:", L"E:", L"F:"}) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SetWindowTextW(combo, L"E:");
    HWND list = child(L"LISTBOX", L"", WS_BORDER, 100, 66, 100, 70, main, kList);
    for (const wchar_t* item : {L"一", L"二", L"三"}) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    HWND frame = CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 210, 66, 120, 70, main,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFrame)), inst, nullptr);
    child(L"BUTTON", L"Nested", BS_PUSHBUTTON, 10, 10, 90, 24, frame, kNestedButton);
    child(L"BUTTON", L"Ask", BS_PUSHBUTTON, 10, 150, 80, 24, main, kAskButton);
    if (!hidden) ShowWindow(main, SW_SHOW);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

}  // namespace wdauto::fixture
