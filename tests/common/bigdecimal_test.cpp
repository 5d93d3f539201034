// Decimals beyond 38 digits, NaN and infinities as values: the arithmetic at its edges and
// the keys and order the grid groups and sorts by.

#include "common/bigdecimal.h"
#include "common/displaytext.h"
#include "common/value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace rg;

namespace {
BigDecimal big(const char* s) {
    return *BigDecimal::parse(s);
}
Value num(const char* s) {
    return *exactNumber(s);
}
std::string key(const Value& v) {
    std::string k;
    appendValueKey(k, v);
    return k;
}
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
} // namespace

TEST(BigDecimal, ArithmeticPastThirtyEightDigits) {
    // Every digit and the written scale survive the round trip.
    const char* wide = "-123456789012345678901234567890123456789012.3400";
    EXPECT_EQ(big(wide).toString(), wide);
    EXPECT_EQ(big("1.5E-2").toString(), "0.015");
    EXPECT_EQ(big("12e3").toString(), "12000");
    EXPECT_EQ(big("-0.000").toString(), "0.000");
    for (const char* bad : {"", "-", ".", "1.2.3", "1e", "12a", "NaN"})
        EXPECT_FALSE(BigDecimal::parse(bad)) << bad;

    // Carry past 38 digits, where 128 bits give up.
    const BigDecimal nines = big("99999999999999999999999999999999999999");
    EXPECT_FALSE(Decimal::add(*nines.toDecimal(), *nines.toDecimal()));
    EXPECT_EQ(BigDecimal::add(nines, nines).toString(), "199999999999999999999999999999999999998");
    EXPECT_EQ(BigDecimal::add(nines, big("0.01")).toString(),
              "99999999999999999999999999999999999999.01");
    EXPECT_EQ(BigDecimal::add(big("99999999999999999999.999999999999999999"),
                              big("111111111011111111100.123456789012345678"))
                  .toString(),
              "211111111011111111100.123456789012345677");
    // Scales are aligned, the sign kept; negative sums cross zero exactly.
    EXPECT_EQ(BigDecimal::add(big("-1.5"), big("0.25")).toString(), "-1.25");
    EXPECT_EQ(BigDecimal::add(big("-100000000000000000000000000000000000000.5"),
                              big("100000000000000000000000000000000000000"))
                  .toString(),
              "-0.5");
    // Division and rounding half away from zero on both sides.
    EXPECT_EQ(BigDecimal::divide(big("10.00"), 3, 2).toString(), "3.33");
    EXPECT_EQ(BigDecimal::divide(big("-2"), 3, 4).toString(), "-0.6667");
    EXPECT_EQ(BigDecimal::divide(big("-0.37499999999999"), 3, 14, Rounding::TowardZero)
                  .withScale(2)
                  .toString(),
              "-0.12");
    EXPECT_EQ(BigDecimal::divide(big("1000000000000000000000000000000000000001"), 2, 0).toString(),
              "500000000000000000000000000000000000001");
    EXPECT_EQ(big("2.345").withScale(2).toString(), "2.35");
    EXPECT_EQ(big("-2.345").withScale(2).toString(), "-2.35");
    EXPECT_EQ(big("-0.004").withScale(2).toString(), "0.00");
    EXPECT_EQ(big("1.10000000000000000000000000000000000000000000").normalized().toString(), "1.1");

    // Narrowing to 128 bits keeps mantissa and scale or refuses.
    EXPECT_EQ(big("12.50").toDecimal()->toString(), "12.50");
    EXPECT_FALSE(big("100000000000000000000000000000000000000").toDecimal());
    EXPECT_FALSE(big("0.000000000000000000000000000000000000001").toDecimal());
    EXPECT_EQ(BigDecimal::fromDecimal(*Decimal::parse("-99999999999999999999999999999999999999"))
                  .toString(),
              "-99999999999999999999999999999999999999");

    // A double's exact value, and order across scales and signs.
    EXPECT_EQ(BigDecimal::exactDouble(0.1).toString(),
              "0.1000000000000000055511151231257827021181583404541015625");
    EXPECT_EQ(BigDecimal::exactDouble(12486.125).toString(), "12486.125");
    EXPECT_EQ(BigDecimal::exactDouble(-1e20).toString(), "-100000000000000000000");
    EXPECT_EQ(compare(big("1.50"), big("1.5")), 0);
    EXPECT_LT(compare(big("-100000000000000000000000000000000000000.1"),
                      big("-100000000000000000000000000000000000000")),
              0);
    EXPECT_GT(compare(big("0.0000000000000000000000000000000000000001"), big("0")), 0);
}

TEST(Value, WideDecimalsCompareAndGroupWithTheirEqualsEverywhere) {
    // 1, 1.0, a double 1 and a 50-place 1 are one value with one key.
    const Value one50 = num("1.00000000000000000000000000000000000000000000000000");
    EXPECT_TRUE(one50.isWideDecimal());
    EXPECT_EQ(one50.displayText(), "1.00000000000000000000000000000000000000000000000000");
    for (const Value& v : {Value::fromInt(1), num("1.0"), Value::fromDouble(1.0)}) {
        EXPECT_EQ(compareValues(one50, v), 0) << v.displayText();
        EXPECT_EQ(compareValues(v, one50), 0) << v.displayText();
        EXPECT_EQ(key(one50), key(v)) << v.displayText();
    }
    // Values that differ only in the 45th digit differ, in order, and against 128-bit ones.
    const Value a = num("123456789012345678901234567890123456789012345"),
                b = num("123456789012345678901234567890123456789012346");
    EXPECT_LT(compareValues(a, b), 0);
    EXPECT_NE(key(a), key(b));
    EXPECT_GT(compareValues(a, num("99999999999999999999999999999999999999")), 0);
    EXPECT_LT(compareValues(num("-123456789012345678901234567890123456789012345"),
                            Value::fromInt(INT64_MIN)),
              0);
    // Against doubles by the double's exact value: 0.1 as a double is a hair above 0.1.
    const Value tenth = num("0.10000000000000000000000000000000000000000000");
    EXPECT_LT(compareValues(tenth, Value::fromDouble(0.1)), 0);
    EXPECT_GT(compareValues(num("1e40"), Value::fromDouble(9.9e39)), 0);
    EXPECT_EQ(a.asBigDecimal()->toString(), "123456789012345678901234567890123456789012345");
    EXPECT_FALSE(a.asDecimal());
    EXPECT_DOUBLE_EQ(a.asDouble(), 1.2345678901234568e44);
    // Beyond a double's range as IEEE arithmetic has it: an infinity, or a zero.
    EXPECT_EQ(num(("-" + std::string(400, '9') + ".5").c_str()).asDouble(), -kInf);
    EXPECT_EQ(num(("0." + std::string(400, '0') + "1").c_str()).asDouble(), 0.0);
}

TEST(Value, NaNAndInfinitiesAreValuesInPostgresOrder) {
    const Value nan = Value::fromDouble(kNaN), inf = Value::fromDouble(kInf),
                ninf = Value::fromDouble(-kInf);
    EXPECT_EQ(nan.displayText(), "NaN");
    EXPECT_EQ(inf.displayText(), "Infinity");
    EXPECT_EQ(ninf.displayText(), "-Infinity");
    EXPECT_EQ(num("NaN").displayText(), "NaN");
    EXPECT_EQ(num("-Infinity").displayText(), "-Infinity");
    // -Infinity < every number < Infinity < NaN, against doubles, integers and wide decimals.
    const Value wide = num("123456789012345678901234567890123456789012345");
    for (const Value& v :
         {Value::fromDouble(1e308), Value::fromInt(INT64_MAX), wide, num("-1.5")}) {
        EXPECT_LT(compareValues(ninf, v), 0) << v.displayText();
        EXPECT_LT(compareValues(v, inf), 0) << v.displayText();
        EXPECT_GT(compareValues(nan, v), 0) << v.displayText();
        EXPECT_LT(compareValues(v, nan), 0) << v.displayText();
    }
    EXPECT_GT(compareValues(nan, inf), 0);
    EXPECT_EQ(compareValues(nan, Value::fromDouble(-kNaN)), 0);
    EXPECT_EQ(compareValues(inf, inf), 0);
    // Every NaN is one group, apart from the infinities.
    EXPECT_EQ(key(nan), key(Value::fromDouble(-kNaN)));
    EXPECT_NE(key(nan), key(inf));
    EXPECT_NE(key(inf), key(ninf));
}

TEST(DisplayText, DoublesHalfWayRoundAwayFromZeroAtFifteenDigits) {
    // Exactly half way at the 16th digit: away from zero, as spreadsheets show it.
    EXPECT_EQ(formatFloat(1234567890123.125), "1234567890123.13");
    EXPECT_EQ(formatFloat(-1234567890123.125), "-1234567890123.13");
    EXPECT_EQ(formatFloat(0.5), "0.5");
    // Near half way but not on it: the exact value decides.
    EXPECT_EQ(formatFloat(0.1 + 0.2), "0.3");
    EXPECT_EQ(formatFloat(1234567890123.1248), "1234567890123.12");
    EXPECT_EQ(formatFloat(12486.125), "12486.125");
}
