#pragma once
// Where the program's GBK texts meet Windows: Windows shows and takes UTF-16, and the system's
// code page for non-Unicode programs may be any (1252, 950 ...), so GBK is converted with code
// page 936 explicitly, never with the system's.
#include <memory>
#include <string>
#include <string_view>

inline constexpr unsigned kGbkCodePage = 936;

// UTF-16 text. Its own allocator type keeps the standard library's ready-made wide string
// (35 KB in the 32-bit exe) out of the program: only the members used are compiled in.
template <class T>
struct WideTextAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = WideTextAllocator<U>;
    };
    WideTextAllocator() = default;
    template <class U>
    WideTextAllocator(const WideTextAllocator<U>&) noexcept {}
};
using WideText = std::basic_string<wchar_t, std::char_traits<wchar_t>, WideTextAllocator<wchar_t>>;

// A byte that is no GBK character becomes U+30FB or "?", as the platform decides.
WideText WideFromGbk(std::string_view gbk);
// A character that GBK lacks becomes "?".
std::string GbkFromWide(std::wstring_view wide);
