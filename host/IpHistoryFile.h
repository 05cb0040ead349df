#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// A history file of one line per record: UTF-8 with a byte order mark, CR LF line ends, a
// header line first, and a limit on its lines.

// The whole new text of the file whose text is `current` (empty for a new file) after `lines`
// (one record or several, each ending in CR LF) are appended: the byte order mark, `header`,
// the old records, `lines`. Of the old records only the
// newest are kept, so that header and records make at most `maxLines` lines. The old text is
// repaired on the way: a missing mark or header added, lines ending in LF alone or in nothing
// (a write cut short) ended by CR LF, empty lines dropped. `header` and `line` may come with
// their line end or without.
std::string AppendedHistory(std::string_view current, std::string_view header, std::string_view lines,
                            std::size_t maxLines);

// Records the file refused, kept to be written with the next: `line` added to `kept`, the
// oldest dropped beyond `maxKept` records.
void KeepUnwritten(std::string& kept, std::string_view line, std::size_t maxKept);

// The file `name` in the folder of the file at `path` (a GBK path).
std::string FileBeside(std::string_view path, std::string_view name);
