#include "common/datepresets.h"

#include <gtest/gtest.h>

#include <set>

namespace rg {
namespace {

int64_t day(const char* text) {
    return *parseIsoDay(text);
}

std::string on(const char* preset, const char* asOf) {
    const DayPeriod p = DatePreset::parse(preset)->periodAsOf(day(asOf));
    EXPECT_EQ(p.first, p.last) << preset;
    return isoDayText(p.first);
}

std::string period(const char* preset, const char* asOf) {
    const DayPeriod p = DatePreset::parse(preset)->periodAsOf(day(asOf));
    return isoDayText(p.first) + "/" + isoDayText(p.last);
}

TEST(DatePresets, TheExamplesOfTheMonthWeekAndQuarterBoundaries) {
    EXPECT_EQ(on("上月初", "2026-03-01"), "2026-02-01");
    EXPECT_EQ(on("上月末", "2026-03-01"), "2026-02-28");
    EXPECT_EQ(on("上月末", "2024-03-01"), "2024-02-29");
    EXPECT_EQ(on("上周初", "2026-01-05"), "2025-12-29");
    EXPECT_EQ(on("上周末", "2026-01-05"), "2026-01-04");
    EXPECT_EQ(on("本季初", "2026-03-31"), "2026-01-01");
    // A Sunday still belongs to the week that began on the Monday before.
    EXPECT_EQ(on("本周初", "2026-01-04"), "2025-12-29");
    EXPECT_EQ(on("本周末", "2025-12-29"), "2026-01-04");
    EXPECT_EQ(on("上季末", "2026-01-15"), "2025-12-31");
    EXPECT_EQ(on("上季初", "2026-01-15"), "2025-10-01");
    EXPECT_EQ(on("去年同日", "2024-02-29"), "2023-02-28");
    EXPECT_EQ(on("3 天前", "2026-03-01"), "2026-02-26");
    EXPECT_EQ(on("2025-07-04", "2026-03-01"), "2025-07-04");
    EXPECT_EQ(period("上月", "2026-03-01"), "2026-02-01/2026-02-28");
    EXPECT_EQ(period("本季度", "2026-05-20"), "2026-04-01/2026-06-30");
    EXPECT_EQ(period("年初至今", "2026-03-01"), "2026-01-01/2026-03-01");
    EXPECT_EQ(period("近 7 天", "2026-03-01"), "2026-02-23/2026-03-01");
    EXPECT_EQ(period("去年同期", "2024-02-29"), "2023-01-01/2023-02-28");
}

TEST(DatePresets, EveryNameAndAsciiSpellingReadsAsTheSamePresetAndKeepsItsName) {
    std::set<std::string> seen;
    for (const DatePresetName& n : DatePresetNames()) {
        std::string name = n.name, ascii = n.ascii;
        if (const size_t at = name.find('N'); at != std::string::npos) {
            name.replace(at, 1, "12");
            ascii.replace(ascii.find('N'), 1, "12");
        }
        const std::optional<DatePreset> chinese = DatePreset::parse(name);
        ASSERT_TRUE(chinese) << name;
        EXPECT_EQ(DatePreset::parse(ascii), chinese) << ascii;
        EXPECT_EQ(DatePreset::parse(name)->text(), name);
        EXPECT_EQ(chinese->range(), n.range) << name;
        EXPECT_TRUE(seen.insert(n.ascii).second) << n.ascii;
    }
    EXPECT_EQ(DatePreset::parse("12天前"), DatePreset::parse("12 天前"));
    EXPECT_EQ(DatePreset::parse("PREV_MONTH_START"), DatePreset::parse("上月初"));
    for (const char* bad : {"", "上上月", "2026-02-30", "2026-2-1", "-3 天前", "近 天",
                            "x_days_ago", "天前", "999999999 天前"})
        EXPECT_FALSE(DatePreset::parse(bad)) << bad;
}

TEST(DatePresets, PeriodsAreCaptionedAsATitleSaysThem) {
    EXPECT_EQ(periodCaption({day("2026-02-01"), day("2026-02-28")}), "2026年2月");
    EXPECT_EQ(periodCaption({day("2026-01-01"), day("2026-03-31")}), "2026年第1季度");
    EXPECT_EQ(periodCaption({day("2025-01-01"), day("2025-12-31")}), "2025年");
    EXPECT_EQ(periodCaption({day("2026-02-03"), day("2026-02-03")}), "2026-02-03");
    EXPECT_EQ(periodCaption({day("2026-02-02"), day("2026-02-28")}), "2026-02-02 至 2026-02-28");
}

} // namespace
} // namespace rg
