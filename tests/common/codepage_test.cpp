#include "common/codepage.h"

#include <gtest/gtest.h>

using namespace rg;

TEST(CodePage, GbkRoundTripAndByteOrder) {
    // 报表 in GBK is B1 A8 B1 ED.
    EXPECT_EQ(toAnsi("报表"), "\xB1\xA8\xB1\xED");
    EXPECT_EQ(fromAnsi("\xB1\xA8\xB1\xED"), "报表");
    EXPECT_EQ(toAnsi("abc"), "abc");
    // A character outside GBK (U+1F600) survives as GB18030 four-byte sequence.
    const std::string emoji = "a\xF0\x9F\x98\x80"
                              "b";
    const std::string bytes = toAnsi(emoji);
    EXPECT_EQ(bytes.size(), 6u);
    EXPECT_EQ(fromAnsi(bytes), emoji);
    // Pinyin order of common characters: 北京 < 广州 < 上海.
    EXPECT_LT(ansiCompare("北京", "广州"), 0);
    EXPECT_LT(ansiCompare("广州", "上海"), 0);
    EXPECT_GT(ansiCompare("上海", "北京"), 0);
    EXPECT_EQ(ansiCompare("上海", "上海"), 0);
    EXPECT_LT(ansiCompare("Z", "a"), 0); // case-sensitive byte order
    EXPECT_LT(ansiCompare("ab", "abc"), 0);
}
