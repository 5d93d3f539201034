#include "grid/summary.h"

#include "common/displaytext.h"

#include <gtest/gtest.h>

using namespace rg;

TEST(FormatSummaryValue, DefaultPatternsOfEveryKindAndPlace) {
    const auto footer = [](TdxSummaryType k, double v) {
        return FormatSummaryValue(k, "", SummaryValueKind::Number, SummaryPlace::Footer, v);
    };
    EXPECT_EQ(footer(TdxSummaryType::cstSum, 1234.5), "1234.50");
    EXPECT_EQ(footer(TdxSummaryType::cstSum, -2), "-2.00");
    EXPECT_EQ(footer(TdxSummaryType::cstSum, 0), "0.00");
    EXPECT_EQ(footer(TdxSummaryType::cstCount, 7), "7");
    EXPECT_EQ(footer(TdxSummaryType::cstMin, 0), "MIN=0.00");
    EXPECT_EQ(footer(TdxSummaryType::cstMax, -3.456), "MAX=-3.46");
    EXPECT_EQ(footer(TdxSummaryType::cstAvg, 1), "AVG=1.00");
    EXPECT_EQ(footer(TdxSummaryType::cstNone, 5), "");
    EXPECT_EQ(FormatSummaryValue(TdxSummaryType::cstMin, "", SummaryValueKind::Number, SummaryPlace::GroupRow, 3),
              "(MIN=3.00)");
    EXPECT_EQ(FormatSummaryValue(TdxSummaryType::cstCount, "", SummaryValueKind::Number, SummaryPlace::GroupRow, 12),
              "(COUNT=12)");
    // Counts never print as dates, whatever the field.
    EXPECT_EQ(FormatSummaryValue(TdxSummaryType::cstCount, "", SummaryValueKind::Date, SummaryPlace::Footer, 3), "3");
}

TEST(FormatSummaryValue, DatesWithPrefixesAndPatterns) {
    const double d = dateSerial(2024, 3, 5);
    EXPECT_EQ(FormatSummaryValue(TdxSummaryType::cstMin, "", SummaryValueKind::Date, SummaryPlace::Footer, d),
              "MIN=2024-03-05");
    EXPECT_EQ(FormatSummaryValue(TdxSummaryType::cstMax, "", SummaryValueKind::Date, SummaryPlace::GroupRow, d),
              "(MAX=2024-03-05)");
    EXPECT_EQ(FormatSummaryValue(TdxSummaryType::cstSum, "", SummaryValueKind::Date, SummaryPlace::Footer, d),
              "2024-03-05");
    EXPECT_EQ(FormatSummaryValue(TdxSummaryType::cstMin, "从 ", SummaryValueKind::DateTime, SummaryPlace::GroupRow,
                                 d + 0.5),
              "从 2024-03-05 12:00:00");
}

TEST(FormatFloatPattern, SectionsDigitsSeparatorsExponentsAndLiterals) {
    EXPECT_EQ(FormatFloatPattern("#,##0.00", 1234567.891), "1,234,567.89");
    EXPECT_EQ(FormatFloatPattern("0.###", 2.5), "2.5");
    EXPECT_EQ(FormatFloatPattern("0.###", 2), "2");
    EXPECT_EQ(FormatFloatPattern("#.##", 0.5), ".5");
    EXPECT_EQ(FormatFloatPattern("000", 7), "007");
    EXPECT_EQ(FormatFloatPattern("0", 2.6), "3");
    EXPECT_EQ(FormatFloatPattern("0.00", -1.005e3), "-1005.00");
    EXPECT_EQ(FormatFloatPattern("0.00;(0.00);零", -4), "(4.00)");
    EXPECT_EQ(FormatFloatPattern("0.00;(0.00);零", 0), "零");
    EXPECT_EQ(FormatFloatPattern("\"合计 \"0.0", 3.14), "合计 3.1");
    EXPECT_EQ(FormatFloatPattern("0.00E+00", 1234.5), "1.23E+03");
    EXPECT_EQ(FormatFloatPattern("0.0E-0", 0.00012), "1.2E-4");
    EXPECT_EQ(FormatFloatPattern("0.00E+00", 9.996), "1.00E+01");
}
