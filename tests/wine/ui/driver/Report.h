#pragma once
// Markdown reports that the scenarios write while they run: GBK text from the program turned
// into UTF-8 table cells, the file placed in the folder named by PELORIN_REPORT_DIR.

#include <string>
#include <vector>

// GBK (code page 936) bytes as UTF-8.
std::string Utf8FromGbk(const std::string& gbk);
// One table cell: UTF-8, line breaks as "⏎", "|" escaped, cut after `limit` characters.
std::string Cell(const std::string& gbk, std::size_t limit = 120);
std::string TableRow(const std::vector<std::string>& cells);
// Writes `markdown` (UTF-8) to PELORIN_REPORT_DIR/name; false without that variable or on
// failure.
bool WriteReport(const std::string& name, const std::string& markdown);
