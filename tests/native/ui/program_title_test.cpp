#include "ProgramTitle.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgramTitle, IsTheFileNameUpToItsFirstDotWithAllButTheFirstCharacterLowered) {
    const struct {
        std::string path, title;
    } rows[] = {
        {"C:\\Tools\\ROUTER.EXE", "Router"},
        {"C:\\Tools\\Pelorin.exe", "Pelorin"},
        {"C:\\Tools\\pelorin.exe", "pelorin"},  // the first character keeps its case
        {"C:\\a.b\\My.Tool.exe", "My"},         // a dot in the directory does not count
        {"D:/x/IPCHANGE", "Ipchange"},          // no extension at all
        {"E:Pelorin.exe", "Pelorin"},           // drive-relative
        {"Pelorin.exe", "Pelorin"},
        {"", ""},
        // GBK: the second byte of 路 (C2 B7) and of a character ending in 0x5C ("\") or in a
        // capital letter's byte (0x81 0x41) stays as it is, and no directory ends inside one.
        {"C:\\\x81\x5C\\\xC2\xB7\xD3\xC9.EXE", "\xC2\xB7\xD3\xC9"},
        {"C:\\\xB2\xE2\x81\x41X.exe", "\xB2\xE2\x81\x41x"},
        {"C:\\\x81\x5CTool.exe", "\x81\x5Ctool"},
    };
    for (const auto& row : rows) EXPECT_EQ(ProgramTitle(row.path), row.title) << row.path;
}

TEST(ErrorBoxText, AddsAFullStopOnlyAfterACharacterThatSortsAfterTheDot) {
    const struct {
        std::string message, text;
    } rows[] = {
        {"Unable to write to C:\\setup.ini", "Unable to write to C:\\setup.ini."},
        {"List index out of bounds (47)", "List index out of bounds (47)"},
        {"Failed to set data for 'Pelorin'", "Failed to set data for 'Pelorin'"},
        {"error 5", "error 5."},
        {"\xB3\xC9\xB9\xA6", "\xB3\xC9\xB9\xA6."},  // 成功: a double-byte character
        {"done!", "done!"},
        {"done.", "done."},
        {"ends in blank ", "ends in blank "},
        {"a-", "a-"},
        {"a/", "a/."},  // "/" sorts after "."
        {"", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(ErrorBoxText(row.message), row.text) << row.message;
}

}  // namespace
