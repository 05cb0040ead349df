#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The read buffer of one fetch: a page never holds more than this many bytes.
constexpr std::size_t kPageBufferSize = 88888;

// The bytes received, cut at the first NUL.
std::string PageTextFromBytes(const char* bytes, std::size_t count);

// Lines end at CR, LF or CR LF; a NUL ends the text; a non-empty tail is the last line.
std::vector<std::string> SplitLines(std::string_view text);
std::string JoinLines(const std::vector<std::string>& lines);  // joined with CR LF
