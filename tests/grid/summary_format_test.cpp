#include "grid/summary.h"

#include "common/displaytext.h"
#include "common/error.h"

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
    EXPECT_EQ(FormatSummaryValue(TdxSummaryType::cstMin, "", SummaryValueKind::Number,
                                 SummaryPlace::GroupRow, 3),
              "(MIN=3.00)");
    EXPECT_EQ(FormatSummaryValue(TdxSummaryType::cstCount, "", SummaryValueKind::Number,
                                 SummaryPlace::GroupRow, 12),
              "(COUNT=12)");
    // Counts never print as dates, whatever the field.
    EXPECT_EQ(FormatSummaryValue(TdxSummaryType::cstCount, "", SummaryValueKind::Date,
                                 SummaryPlace::Footer, 3),
              "3");
}

TEST(FormatSummaryValue, DatesWithPrefixesAndPatterns) {
    const double d = dateSerial(2024, 3, 5);
    EXPECT_EQ(FormatSummaryValue(TdxSummaryType::cstMin, "", SummaryValueKind::Date,
                                 SummaryPlace::Footer, d),
              "MIN=2024-03-05");
    EXPECT_EQ(FormatSummaryValue(TdxSummaryType::cstMax, "", SummaryValueKind::Date,
                                 SummaryPlace::GroupRow, d),
              "(MAX=2024-03-05)");
    EXPECT_EQ(FormatSummaryValue(TdxSummaryType::cstSum, "", SummaryValueKind::Date,
                                 SummaryPlace::Footer, d),
              "2024-03-05");
    EXPECT_EQ(FormatSummaryValue(TdxSummaryType::cstMin, "从 ", SummaryValueKind::DateTime,
                                 SummaryPlace::GroupRow, d + 0.5),
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

TEST(FormatFloatPattern, ExactValuesRoundExactlyAndZeroHasNoSign) {
    const auto exact = [](const char* s) { return SummaryValue::exactValue(*Decimal::parse(s)); };
    EXPECT_EQ(FormatFloatPattern("0.00", exact("99999999999999.995")), "100000000000000.00");
    EXPECT_EQ(FormatFloatPattern("0.00", exact("1234567890123456789.0123456789")),
              "1234567890123456789.01");
    EXPECT_EQ(FormatFloatPattern("#,##0.00", exact("-1234567.125")), "-1,234,567.13");
    EXPECT_EQ(FormatFloatPattern("0.00;-0.00", exact("-2.5")), "-2.50");
    // Values that round to zero print as zero, by the zero section when there is one.
    EXPECT_EQ(FormatFloatPattern("0.00;-0.00", 0.3 - 0.1 - 0.2), "0.00");
    EXPECT_EQ(FormatFloatPattern("0.00;-0.00", -0.0), "0.00");
    EXPECT_EQ(FormatFloatPattern("0.00", exact("-0.004")), "0.00");
    EXPECT_EQ(FormatFloatPattern("0.00;(0.00);零", -0.001), "零");
    EXPECT_EQ(FormatSummaryValue(TdxSummaryType::cstSum, "", SummaryValueKind::Number,
                                 SummaryPlace::Footer, exact("18446744073709551614")),
              "18446744073709551614.00");
    // An empty minimum (nulls only) is an empty cell; a text minimum keeps its prefix.
    EXPECT_EQ(FormatSummaryValue(TdxSummaryType::cstMin, "", SummaryValueKind::Number,
                                 SummaryPlace::Footer, SummaryValue{}),
              "");
    SummaryValue text;
    for (const char* s : {"上海", "北京", "广州"})
        text.add(TdxSummaryType::cstMin, Value::fromText(s));
    text.finish(TdxSummaryType::cstMin, 3);
    EXPECT_EQ(FormatSummaryValue(TdxSummaryType::cstMin, "", SummaryValueKind::Number,
                                 SummaryPlace::Footer, text),
              "MIN=北京");
}

TEST(SummaryValue, SumsAndExtremesOverMixedValues) {
    using T = TdxSummaryType;
    const auto run = [](T kind, std::initializer_list<Value> values) {
        SummaryValue v;
        for (const Value& x : values)
            v.add(kind, x);
        v.finish(kind, static_cast<int64_t>(values.size()));
        return v;
    };
    // 64-bit integers beyond 2^63 in sum, exact maximum near 2^53.
    EXPECT_EQ(run(T::cstSum, {Value::fromInt(INT64_MAX), Value::fromInt(INT64_MAX), Value()})
                  .exact()
                  .toString(),
              "18446744073709551614");
    EXPECT_EQ(run(T::cstMax, {Value::fromInt(9007199254740993), Value::fromInt(9007199254740992)})
                  .exact()
                  .toString(),
              "9007199254740993");
    // Nulls take no part in extremes; a sum of nulls is 0; averages divide by every row.
    EXPECT_EQ(run(T::cstMin, {Value(), Value::fromInt(4), Value::fromInt(2)}).exact().toString(),
              "2");
    EXPECT_TRUE(run(T::cstMax, {Value(), Value()}).isEmpty());
    EXPECT_EQ(run(T::cstSum, {Value(), Value()}).exact().toString(), "0");
    EXPECT_EQ(
        FormatFloatPattern("0.00", run(T::cstAvg, {Value::fromInt(1), Value::fromInt(2), Value()})),
        "1.00");
    // Texts that are all numbers rank as numbers (10 > 9); one text that is no number makes
    // the extreme a text.
    EXPECT_EQ(run(T::cstMax, {Value::fromText("9"), Value::fromText("10")}).exact().toString(),
              "10");
    const SummaryValue mixed =
        run(T::cstMax, {Value::fromText("9"), Value::fromText("10"), Value::fromText("x")});
    EXPECT_EQ(mixed.kind(), SummaryValue::Kind::Text);
    EXPECT_EQ(mixed.text(), "x");
    // Also when the text that is no number comes first.
    const SummaryValue first =
        run(T::cstMin, {Value::fromText("x"), Value::fromText("5"), Value::fromText("10")});
    EXPECT_EQ(first.kind(), SummaryValue::Kind::Text);
    EXPECT_EQ(first.text(), "10");
    // A sum of a text that is no number fails with the text.
    try {
        run(T::cstSum, {Value::fromText("12"), Value::fromText("a")});
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'a' is not a valid floating point value");
    }
    // Dates stay serials: the earliest date.
    EXPECT_EQ(run(T::cstMin, {Value::fromDate(45000), Value(), Value::fromDate(44000)}).toDouble(),
              44000);
}
