#include "PageText.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

TEST(SplitLines, BreaksAtCrLfAndCrLfPairs) {
    const struct {
        std::string text;
        Lines lines;
    } rows[] = {
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"a\r\n", {"a"}},
        {"\n\r", {"", ""}},  // LF then CR is two breaks
        {"a\n\rb", {"a", "", "b"}},
        {"a\n\nb", {"a", "", "b"}},  // LF LF is two breaks too
        {"", {}},
        {"\r\n\r\n", {"", ""}},
        {"only", {"only"}},
        {"  spaced  \r\n", {"  spaced  "}},
        {std::string("ab\0c\r\nd", 7), {"ab"}},  // a NUL ends the text
    };
    for (const auto& row : rows) EXPECT_EQ(SplitLines(row.text), row.lines) << row.text;
}

TEST(SplitLines, JoinedWithCrLfSplitsBackToTheSameLines) {
    const Lines lines = {"first", "", "\xB5\xC7", "last"};
    EXPECT_EQ(JoinLines(lines), "first\r\n\r\n\xB5\xC7\r\nlast\r\n");
    EXPECT_EQ(SplitLines(JoinLines(lines)), lines);
}

TEST(PageTextFromBytes, CutsAtTheFirstNul) {
    const char bytes[] = "0123456789\0tail";
    EXPECT_EQ(PageTextFromBytes(bytes, sizeof bytes - 1), "0123456789");
    EXPECT_EQ(PageTextFromBytes(bytes, 4), "0123");
    EXPECT_EQ(PageTextFromBytes(bytes, 0), "");
    EXPECT_EQ(PageTextFromBytes("\0x", 2), "");
}

}  // namespace
