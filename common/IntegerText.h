#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The program's rules for integers typed by the user or stored in setup.ini.

// A 32-bit integer: optional "+" or "-", then decimal digits, or hexadecimal digits after
// "$", "x", "X", "0x" or "0X". Leading blanks are skipped; anything else fails.
std::optional<std::int32_t> ParseInteger(std::string_view text);

// Leading and trailing blanks and control characters removed.
std::string TrimBlanks(std::string_view text);

// `value` in decimal, as std::to_string writes it: the runtime's copy for each integer type
// would be the program's several times over.
std::string DecimalText(std::int32_t value);

// The decimal digits of `value`, with zeros in front up to `width`: printf's "%0*u" without
// printf, whose formatting code would double the size of the program's own.
std::string ZeroPadded(std::uint32_t value, int width);

// The timed-change interval in minutes: the trimmed text as an integer, 1 when it is none.
std::int32_t IntervalMinutes(std::string_view text);
