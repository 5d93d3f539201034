// Summaries and their patterns at the edges of numbers: sums beyond 38 digits, NaN and
// infinities, doubles lying exactly half way.

#include "grid/summary.h"

#include <gtest/gtest.h>

#include <limits>

using namespace rg;

namespace {
using T = TdxSummaryType;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
Value num(const char* s) {
    return *exactNumber(s);
}
SummaryValue run(T kind, std::initializer_list<Value> values) {
    SummaryValue v;
    for (const Value& x : values)
        v.add(kind, x);
    v.finish(kind, static_cast<int64_t>(values.size()));
    return v;
}
std::string footer(T kind, const SummaryValue& v) {
    return FormatSummaryValue(kind, "", SummaryValueKind::Number, SummaryPlace::Footer, v);
}
} // namespace

TEST(SummaryValue, SumsAndAveragesGoOnExactlyPastThirtyEightDigits) {
    // Two numeric(38,18) values whose sum needs 39 digits, then a wide one added in.
    const Value a = num("99999999999999999999.999999999999999999"),
                b = num("111111111011111111100.123456789012345678");
    const SummaryValue sum = run(T::cstSum, {a, b, Value()});
    EXPECT_EQ(sum.kind(), SummaryValue::Kind::Exact);
    EXPECT_EQ(sum.exact().toString(), "211111111011111111100.123456789012345677");
    // The footer in its values' eighteen places, every digit; a sum of fewer places in two.
    EXPECT_EQ(footer(T::cstSum, sum), "211111111011111111100.123456789012345677");
    EXPECT_EQ(footer(T::cstSum, run(T::cstSum, {num("1.5"), num("2")})), "3.50");
    EXPECT_EQ(footer(T::cstMax, run(T::cstMax, {num("1.125"), num("-2")})), "MAX=1.125");
    const SummaryValue wide = run(
        T::cstSum, {num("123456789012345678901234567890123456789012.34"), Value::fromInt(-2), a});
    EXPECT_EQ(wide.exact().toString(),
              "123456789012345678901334567890123456789010.339999999999999999");
    EXPECT_EQ(run(T::cstAvg, {a, b, Value()}).exact().toString(),
              "70370370337037037033.374485596337448559");
    EXPECT_EQ(footer(T::cstAvg, run(T::cstAvg, {num("1e45"), num("2")})),
              "AVG=500000000000000000000000000000000000000000001.00");
    // Extremes keep the wide value as it is, against 128-bit and integer values.
    EXPECT_EQ(run(T::cstMax, {Value::fromInt(5), num("-1e40"),
                              num("123456789012345678901234567890123456789012")})
                  .exact()
                  .toString(),
              "123456789012345678901234567890123456789012");
    EXPECT_EQ(run(T::cstMin, {Value::fromInt(5), num("-1e40"), num("7.5")}).exact().toString(),
              "-10000000000000000000000000000000000000000");
}

TEST(SummaryValue, NaNAndInfinitiesAsPostgresComputesThem) {
    const Value nan = Value::fromDouble(kNaN), inf = Value::fromDouble(kInf),
                ninf = Value::fromDouble(-kInf);
    // A sum with NaN is NaN; infinities as IEEE arithmetic, on exact and double columns.
    for (const Value& x : {num("1.25"), Value::fromDouble(1.25)}) {
        EXPECT_EQ(footer(T::cstSum, run(T::cstSum, {x, nan})), "NaN");
        EXPECT_EQ(footer(T::cstSum, run(T::cstSum, {x, inf})), "Infinity");
        EXPECT_EQ(footer(T::cstSum, run(T::cstSum, {ninf, x})), "-Infinity");
        EXPECT_EQ(footer(T::cstSum, run(T::cstSum, {inf, x, ninf})), "NaN");
        EXPECT_EQ(footer(T::cstAvg, run(T::cstAvg, {x, nan})), "AVG=NaN");
        EXPECT_EQ(footer(T::cstAvg, run(T::cstAvg, {x, ninf})), "AVG=-Infinity");
    }
    // NaN above every number; the other extreme stays exact.
    EXPECT_EQ(footer(T::cstMax, run(T::cstMax, {num("1.5"), nan, inf})), "MAX=NaN");
    const SummaryValue min =
        run(T::cstMin, {nan, num("123456789012345678901234567890123456789012.345"), inf});
    EXPECT_EQ(min.exact().toString(), "123456789012345678901234567890123456789012.345");
    EXPECT_EQ(footer(T::cstMin, run(T::cstMin, {Value::fromDouble(3), ninf, nan})),
              "MIN=-Infinity");
    EXPECT_EQ(footer(T::cstMax, run(T::cstMax, {Value::fromDouble(3), ninf})), "MAX=3.00");
    EXPECT_EQ(footer(T::cstMin, run(T::cstMin, {nan, nan})), "MIN=NaN");
}

TEST(FormatFloatPattern, NaNInfinitiesAndHalfWayDoublesInEveryKindOfPattern) {
    // The word stands where the digits stand; the negative section writes the sign.
    EXPECT_EQ(FormatFloatPattern("0.00E+00", kNaN), "NaN");
    EXPECT_EQ(FormatFloatPattern("0.00E+00", kInf), "Infinity");
    EXPECT_EQ(FormatFloatPattern("0.00E+00", -kInf), "-Infinity");
    EXPECT_EQ(FormatFloatPattern("\"总计 \"#,##0.00\" 元\";\"负 \"0.00", -kInf), "负 Infinity");
    EXPECT_EQ(FormatFloatPattern("#,##0.00 元", kInf), "Infinity 元");
    EXPECT_EQ(FormatFloatPattern("0.00;-0.00;零", kNaN), "NaN");
    // Exponents from the exact value, carrying into the next power when rounding does.
    EXPECT_EQ(FormatFloatPattern("0.00E+00", 12345.0), "1.23E+04");
    EXPECT_EQ(FormatFloatPattern("0.00E+00", 9.996), "1.00E+01");
    EXPECT_EQ(FormatFloatPattern("0.00E-00", 0.000123456), "1.23E-04");
    EXPECT_EQ(FormatFloatPattern("0.00E+00", SummaryValue::exactValue(*BigDecimal::parse(
                                                 "123456789012345678901234567890123456789012"))),
              "1.23E+41");
    EXPECT_EQ(FormatFloatPattern("0.00E+00", 1e308), "1.00E+308");
    // A double exactly half way rounds away from zero, as the same decimal does.
    EXPECT_EQ(FormatFloatPattern("0.00", 12486.125), "12486.13");
    EXPECT_EQ(FormatFloatPattern("0.00", -12486.125), "-12486.13");
    EXPECT_EQ(FormatFloatPattern("0.00", SummaryValue::exactValue(*Decimal::parse("12486.125"))),
              "12486.13");
    EXPECT_EQ(FormatFloatPattern("0.0", 0.25), "0.3");
    // 1.005 as a double is a hair below half way: it stays 1.00, as spreadsheets show it.
    EXPECT_EQ(FormatFloatPattern("0.00", 1.005), "1.00");
    EXPECT_EQ(FormatFloatPattern("0.00", 1e300).size(), 304u);
}
