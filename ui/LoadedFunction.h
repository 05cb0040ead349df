#pragma once
#include <windows.h>

#include <type_traits>

// A pointer to a function of the Windows API's calling convention. On 32-bit Windows a function
// looked up by name and called with another convention unbalances the stack at its first call;
// 64-bit Windows has one convention, so there every function pointer is one.
template <typename Function>
struct IsWinApiFunction : std::false_type {};
template <typename Result, typename... Arguments>
struct IsWinApiFunction<Result(WINAPI*)(Arguments...)> : std::true_type {};

// A function of a DLL the program has loaded already, looked up at run time: one that newer
// Windows have and older ones lack (the exe still starts on Windows 7), or one a DLL exports
// without an import library. Null when the DLL is not loaded or lacks it.
template <typename Function>
Function LoadedFunction(const wchar_t* dll, const char* name) {
    static_assert(IsWinApiFunction<Function>::value, "a Windows function is called as WINAPI");
    const HMODULE module = GetModuleHandleW(dll);
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                  : nullptr;
}
