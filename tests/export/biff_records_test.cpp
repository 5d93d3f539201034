#include "export/biffwriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using rg::biff::Writer;

namespace {

std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (unsigned char b : bytes) {
        if (!s.empty())
            s += ' ';
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

template <typename F> std::string record(F f) {
    std::string out;
    Writer w(out);
    f(w);
    return hex(out);
}

} // namespace

TEST(BiffRecords, FixedRecords) {
    EXPECT_EQ(record([](Writer& w) { w.Bof(); }), "09 04 06 00 00 00 10 00 00 00");
    EXPECT_EQ(record([](Writer& w) { w.CodePage(936); }), "42 00 02 00 A8 03");
    EXPECT_EQ(record([](Writer& w) { w.Guts(); }), "80 00 08 00 00 00 00 00 00 00 00 00");
    EXPECT_EQ(record([](Writer& w) { w.Dimensions(); }),
              "00 02 0A 00 00 00 FF FF 00 00 FF 00 00 00");
    EXPECT_EQ(record([](Writer& w) { w.Eof(); }), "0A 00 00 00");
    EXPECT_EQ(record([](Writer& w) { w.Font(200, 0, 0x7FFF, "Arial"); }),
              "31 02 0C 00 C8 00 00 00 FF 7F 05 41 72 69 61 6C");
    // 宋体 in code page 936, 9 points bold and italic in colour 12.
    EXPECT_EQ(record([](Writer& w) { w.Font(180, 3, 12, "\xCB\xCE\xCC\xE5"); }),
              "31 02 0B 00 B4 00 03 00 0C 00 04 CB CE CC E5");
    EXPECT_EQ(record([](Writer& w) { w.ColInfo(2, 2, 3600, 15); }),
              "7D 00 0C 00 02 00 02 00 10 0E 0F 00 00 00 00 00");
}

TEST(BiffRecords, Palette) {
    std::array<rg::RgbColor, 13> colors{};
    for (size_t i = 0; i < colors.size(); ++i)
        colors[i] = static_cast<rg::RgbColor>(0x010203 * (i + 1));
    colors[1] = rg::kNoColor; // "none" is written black
    const std::string h = record([&](Writer& w) { w.Palette(colors); });
    EXPECT_EQ(h.substr(0, 35), "92 00 36 00 0D 00 01 02 03 00 00 00");
    EXPECT_EQ(h.size(), (4 + 2 + 52) * 3 - 1u);
    EXPECT_EQ(h.substr(h.size() - 11), "0D 1A 27 00");
}

TEST(BiffRecords, CellRecords) {
    EXPECT_EQ(record([](Writer& w) { w.Label(0, 0, 22, "A"); }),
              "04 02 09 00 00 00 00 00 16 00 01 00 41");
    EXPECT_EQ(record([](Writer& w) { w.Label(0x1234, 3, 29, ""); }),
              "04 02 08 00 34 12 03 00 1D 00 00 00");
    EXPECT_EQ(record([](Writer& w) { w.Blank(7, 1, 23); }), "01 02 06 00 07 00 01 00 17 00");
    EXPECT_EQ(record([](Writer& w) { w.Rk(1, 0, 29, 5); }),
              "7E 02 0A 00 01 00 00 00 1D 00 16 00 00 00");
    EXPECT_EQ(record([](Writer& w) { w.Rk(1, 0, 29, -1); }),
              "7E 02 0A 00 01 00 00 00 1D 00 FE FF FF FF");
    EXPECT_EQ(record([](Writer& w) { w.Rk(1, 0, 29, rg::biff::kRkMin); }),
              "7E 02 0A 00 01 00 00 00 1D 00 02 00 00 80");
    EXPECT_EQ(record([](Writer& w) { w.Number(2, 1, 30, 1.5); }),
              "03 02 0E 00 02 00 01 00 1E 00 00 00 00 00 00 00 F8 3F");
    EXPECT_EQ(record([](Writer& w) { w.Formula(3, 0, 24, 1, 2, 0, rg::biff::Function::Sum, 3.0); }),
              "06 04 1D 00 03 00 00 00 18 00 00 00 00 00 00 00 08 40 03 00 0B 00 25 01 C0 02 C0 00 "
              "00 19 10 00 00");
    const std::vector<std::pair<rg::biff::Function, std::string>> calls = {
        {rg::biff::Function::Min, "06 00"},
        {rg::biff::Function::Max, "07 00"},
        {rg::biff::Function::CountA, "A9 00"},
        {rg::biff::Function::Average, "05 00"}};
    for (const auto& call : calls) {
        const std::string h =
            record([&](Writer& w) { w.Formula(9, 4, 24, 2, 16383, 4, call.first, 0); });
        EXPECT_EQ(h.substr(h.size() - 32), "25 02 C0 FF FF 04 04 42 01 " + call.second);
    }
}

TEST(BiffRecords, LimitsOfValuesAndTexts) {
    EXPECT_TRUE(rg::biff::fitsRk(536870911));
    EXPECT_TRUE(rg::biff::fitsRk(-536870912));
    EXPECT_FALSE(rg::biff::fitsRk(536870912));
    EXPECT_FALSE(rg::biff::fitsRk(-536870913));

    // Cut at character boundaries: ASCII, two-byte GBK, four-byte GB18030.
    const std::string gbk = "a\xB1\xA8\xB1\xED"; // a报表
    EXPECT_EQ(rg::biff::cutAnsi(gbk, 5), gbk);
    EXPECT_EQ(rg::biff::cutAnsi(gbk, 4), "a\xB1\xA8");
    EXPECT_EQ(rg::biff::cutAnsi(gbk, 2), "a");
    const std::string four = "ab\x81\x30\x81\x30";
    EXPECT_EQ(rg::biff::cutAnsi(four, 5), "ab");
    EXPECT_EQ(rg::biff::cutAnsi(four, 6), four);
    std::string memo;
    for (int i = 0; i < 150; ++i)
        memo += "\xB1\xA8"; // 300 bytes
    EXPECT_EQ(rg::biff::cutAnsi(memo, 255).size(), 254u);
    EXPECT_EQ(rg::biff::cutAnsi("x" + memo, 255).size(), 255u);
}
