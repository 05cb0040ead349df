#include "TrayTip.h"

#include <gtest/gtest.h>

namespace {

TEST(TrayTipText, KeepsAtMost127BytesAndNeverHalfADoubleByteCharacter) {
    const std::string ascii127(127, 'a');
    const std::string gbk63 = [] {
        std::string text;
        for (int i = 0; i < 63; ++i) text += "\xB9\xAB";  // 公: 126 bytes
        return text;
    }();
    const struct {
        std::string hint;
        bool showHint;
        std::string tip;
    } rows[] = {
        {"Pelorin", true, "Pelorin"},
        {"Pelorin", false, ""},
        {"", true, ""},
        {ascii127, true, ascii127},
        {ascii127 + "b", true, ascii127},
        {gbk63 + "x", true, gbk63 + "x"},                          // 127 bytes, the last a single one
        {gbk63 + "\xCD\xF8", true, gbk63},                         // 网 would straddle byte 127: left out
        {"a" + gbk63 + "\xCD\xF8", true, "a" + gbk63},             // ends exactly at 127
        {"Pelorin\r\xB9\xAB\n\r", true, "Pelorin\r\xB9\xAB\n\r"},  // CR and LF pass unchanged
        {std::string("ab\0cd", 5), true, "ab"},                    // up to the first NUL
        {"\x81\x5C\x81\x41", true, "\x81\x5C\x81\x41"},            // trail bytes that look like "\" and "A"
    };
    for (const auto& row : rows) EXPECT_EQ(TrayTipText(row.hint, row.showHint), row.tip) << row.hint;

    // A balloon's title field: 64 bytes with its NUL.
    const std::string gbk31 = gbk63.substr(0, 62);
    EXPECT_EQ(ShellFieldText(gbk31 + "\xCD\xF8", kBalloonTitleBytes), gbk31);
    EXPECT_EQ(ShellFieldText("a" + gbk31 + "\xCD\xF8", kBalloonTitleBytes), "a" + gbk31);
    EXPECT_EQ(ShellFieldText(gbk31 + "x", kBalloonTitleBytes), gbk31 + "x");
}

}  // namespace
