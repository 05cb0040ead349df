#pragma once
#include <optional>
#include <string>

// Files read and replaced whole, by their GBK paths.

// The file's bytes; the empty text for a missing file; nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Writes the bytes to "<path>.new", which then replaces the file in one step: a failure on the
// way (a full disk, a crash) leaves the old file whole. False when anything is refused.
bool ReplaceWholeFile(const std::string& path, const std::string& bytes);

// Whether a save may replace the file at `path`: true when it is missing, false when it is
// read-only, another account's, or held open by another program that shares no writing.
bool CanReplaceFile(const std::string& path);
