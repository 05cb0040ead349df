#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The bytes of a private profile (INI) file under the rules of the Windows profile functions,
// with names and values kept as the bytes they are: GBK on any system code page.
//
// A file is lines split at any run of CR and LF, each trimmed of blanks (space, tab, vertical
// tab, form feed and Ctrl-Z). "[name]" starts a section, its name running to the last "]";
// text before the first section belongs to a section without a name. Any other line is a key:
// its name up to the first "=", its value after it; a line without "=" is a key without a
// value, which reads as missing. Names compare without regard to the case of ASCII letters
// and after trimming; only the first section of a name and the first key of a name in it
// count. A comment (";" ...) is a key no one asks for.

// The value of `key` in `section`, a value in matching quotes without them, cut to
// `maxLength` bytes; nothing when the section or the key is missing or the key has no value.
std::optional<std::string> ReadProfileValue(std::string_view file, std::string_view section,
                                            std::string_view key, std::size_t maxLength);

// The file after `key` in `section` is set to `value` (stripped of its leading blanks): a key
// is updated where it stands, a new key goes to the end of its section, a new section to the
// end of the file. The file is written out as the profile functions write it: every line
// trimmed, empty lines dropped, CR LF after each line. Nothing when the key already holds
// the value: the file is then left as it is.
std::optional<std::string> WriteProfileValue(std::string_view file, std::string_view section,
                                             std::string_view key, std::string_view value);
