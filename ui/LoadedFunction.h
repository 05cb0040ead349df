#pragma once
#include <windows.h>

// A function of a DLL the program has loaded already, looked up at run time: one that newer
// Windows have and older ones lack (the exe still starts on Windows 7), or one a DLL exports
// without an import library. Null when the DLL is not loaded or lacks it.
template <typename Function>
Function LoadedFunction(const wchar_t* dll, const char* name) {
    const HMODULE module = GetModuleHandleW(dll);
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                  : nullptr;
}
