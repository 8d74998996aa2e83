// soakfault.dll: leaks that the soak puts into wardeck.exe on purpose, so that
// its GDI and USER checks can be seen to catch them (tests/soak/run
// --self-check). A kernel handle can be put into another process from outside
// (DuplicateHandle); a GDI or USER object belongs to the thread that makes it,
// so these are made on the program's own window thread, by code of ours that
// runs there: wdsoak.exe hooks that thread with getMessageHook
// (SetWindowsHookEx, WH_GETMESSAGE), which the system loads this DLL into
// wardeck.exe for. Each time the soak posts the registered message
// "WdsoakFault" to the main window, the hook makes what its wParam asks for
// and never frees it:
//   bit 0  one solid brush (a GDI object)
//   bit 1  one hidden top-level window of the class Static, titled
//          "wdsoak leak" (a USER object, and a window, which Wine counts)
// Nothing else of the program is touched: the message goes no further.
#include <windows.h>

namespace {

UINT faultMessage() {
    static const UINT message = RegisterWindowMessageW(L"WdsoakFault");
    return message;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK getMessageHook(int code, WPARAM removed, LPARAM lp) {
    auto* msg = reinterpret_cast<MSG*>(lp);
    if (code == HC_ACTION && removed == PM_REMOVE && msg && msg->message == faultMessage()) {
        if (msg->wParam & 1) CreateSolidBrush(RGB(1, 2, 3));
        if (msg->wParam & 2) {
            CreateWindowExW(0, L"Static", L"wdsoak leak", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        }
        msg->message = WM_NULL;
    }
    return CallNextHookEx(nullptr, code, removed, lp);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        // Loaded once and kept: the system would otherwise load and free a
        // hook's DLL around each call in another process.
        HMODULE kept = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCWSTR>(&getMessageHook), &kept);
        DisableThreadLibraryCalls(self);
    }
    return TRUE;
}
