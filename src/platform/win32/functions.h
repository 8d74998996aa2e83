// Functions taken from a system library by name while the program runs:
// those a system may lack (an import it lacks would keep the program from
// starting at all), and those of libraries loaded only when first needed.
#pragma once

#include <windows.h>

namespace wd::win32 {

// The function `name` of `module`, or nullptr.
template <typename Fn>
Fn lookUp(HMODULE module, const char* name) {
    if (!module) return nullptr;
    // Through void(*)(): the one function pointer type any other converts from without a warning.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// The function `name` of a module that is loaded before any code of ours runs
// (ntdll, kernel32, user32): GetModuleHandleW only finds a loaded module, it
// never loads one.
template <typename Fn>
Fn loadedFunction(const wchar_t* module, const char* name) {
    return lookUp<Fn>(::GetModuleHandleW(module), name);
}

// A function of ntdll, the native layer below kernel32.
template <typename Fn>
Fn ntdllFunction(const char* name) {
    return loadedFunction<Fn>(L"ntdll.dll", name);
}

}  // namespace wd::win32
