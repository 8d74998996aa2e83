// dummy.exe: a process that does nothing until it is ended. The end-to-end
// scenarios copy it under other names (Dummy.EXE, triple.exe, a name without
// an extension, ...) and start it, so the process manager has processes to
// list and end whose names and paths the checks know. No window, no console
// use, nothing but kernel32: a copy starts fast under Wine, so hundreds of
// them cost little.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Sleep(INFINITE);
    return 0;
}
