#include "Report.h"

#include "AppUnderTest.h"

#include <windows.h>

#include <cstdlib>

std::string Utf8FromGbk(const std::string& gbk) {
    if (gbk.empty()) return {};
    const int wide = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), text.data(), wide);
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

std::string Cell(const std::string& gbk, std::size_t limit) {
    std::string shown = gbk;
    if (shown.size() > limit) {
        // Cut between characters: a GBK lead byte (0x81 and up) takes the next byte with it.
        std::size_t cut = 0;
        while (cut < limit) cut += static_cast<unsigned char>(shown[cut]) >= 0x81 ? 2 : 1;
        shown = shown.substr(0, cut) + "...(" + std::to_string(gbk.size()) + " bytes)";
    }
    std::string cell;
    for (const char c : Utf8FromGbk(shown)) {
        if (c == '\r') {
            cell += "\xE2\x8F\x8E";  // ⏎
        } else if (c == '\n') {
            cell += "\xE2\x86\xB5";  // ↵
        } else if (c == '|') {
            cell += "\\|";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            cell += '?';
        } else {
            cell += c;
        }
    }
    return cell.empty() ? "\xE2\x80\x93" : cell;  // an en dash
}

std::string TableRow(const std::vector<std::string>& cells) {
    std::string row = "|";
    for (const std::string& cell : cells) row += " " + cell + " |";
    return row + "\n";
}

bool WriteReport(const std::string& name, const std::string& markdown) {
    const char* folder = std::getenv("PELORIN_REPORT_DIR");
    if (!folder || !*folder) return false;
    std::string path = WindowsPath(folder);
    CreateDirectoryA(path.c_str(), nullptr);  // the build tree's reports/ on a first run
    if (path.back() != '\\') path += '\\';
    return WriteFileBytes(path + name, markdown);
}
