#include "common/decimal.h"
#include "common/displaytext.h"
#include "common/value.h"

#include <gtest/gtest.h>

#include <clocale>

using namespace rg;

namespace {
Decimal dec(const char* s) {
    return *Decimal::parse(s);
}
std::string key(const Value& v) {
    std::string k;
    appendValueKey(k, v);
    return k;
}
} // namespace

TEST(Decimal, ParsesAndWritesEveryDigitWithItsScale) {
    EXPECT_EQ(dec("99999999999999.99").toString(), "99999999999999.99");
    EXPECT_EQ(dec("1234567890123456789.0123456789").toString(), "1234567890123456789.0123456789");
    EXPECT_EQ(dec("99999999999999999999999999999999999999").toString(),
              "99999999999999999999999999999999999999");
    EXPECT_EQ(dec("-0.050").toString(), "-0.050");
    EXPECT_EQ(dec("+.5").toString(), "0.5");
    EXPECT_EQ(dec("1.5E-2").toString(), "0.015");
    EXPECT_EQ(dec("12e3").toString(), "12000");
    EXPECT_EQ(dec(" 7 ").toString(), "7");
    EXPECT_EQ(dec("-0.00").toString(), "0.00"); // never "-0"
    // 39 digits do not fit, unless the extra ones are zeros at the end of the fraction.
    EXPECT_FALSE(Decimal::parse("999999999999999999999999999999999999999"));
    EXPECT_EQ(dec("1.0000000000000000000000000000000000000000").toString(),
              "1.0000000000000000000000000000000000000");
    for (const char* bad : {"", "-", ".", "1.2.3", "1e", "12a", "0x10", "1,5"})
        EXPECT_FALSE(Decimal::parse(bad)) << bad;
    // A REAL becomes the shortest decimal that reads back as it.
    EXPECT_EQ(Decimal::fromDouble(1.1)->toString(), "1.1");
    EXPECT_EQ(Decimal::fromDouble(0.1 + 0.2)->toString(), "0.30000000000000004");
    EXPECT_EQ(Decimal::fromDouble(1e20)->toString(), "100000000000000000000");
    EXPECT_FALSE(Decimal::fromDouble(1e300));
    EXPECT_DOUBLE_EQ(dec("99999999999999.99").toDouble(), 99999999999999.99);
}

TEST(Decimal, ArithmeticAndOrderAreExact) {
    // Cents never drift, however many there are.
    Decimal sum;
    for (int i = 0; i < 100000; ++i)
        sum = *Decimal::add(sum, dec("0.10"));
    EXPECT_EQ(sum.toString(), "10000.00");
    EXPECT_EQ(Decimal::add(dec("0.3"), dec("-0.30"))->toString(), "0.00");
    // Past 64 bits a sum of integers is still exact; past 128 bits there is no result.
    const Decimal big = Decimal::fromInt(INT64_MAX);
    EXPECT_EQ(Decimal::add(big, big)->toString(), "18446744073709551614");
    EXPECT_FALSE(Decimal::add(dec("99999999999999999999999999999999999999"),
                              dec("99999999999999999999999999999999999999")));
    EXPECT_EQ(Decimal::divide(dec("10.00"), 3, 2)->toString(), "3.33");
    EXPECT_EQ(Decimal::divide(dec("2"), 3, 4)->toString(), "0.6667");
    EXPECT_EQ(Decimal::divide(dec("-2"), 3, 4)->toString(), "-0.6667");
    // Cut toward zero, a quotient rounds again as the exact one: -0.12499999999999666…
    // rounded first would be -0.12500000000000, then -0.13.
    const auto cut = Decimal::divide(dec("-0.37499999999999"), 3, 14, Rounding::TowardZero);
    EXPECT_EQ(cut->toString(), "-0.12499999999999");
    EXPECT_EQ(cut->withScale(2)->toString(), "-0.12");
    EXPECT_EQ(Decimal::divide(dec("0.375"), 3, 12, Rounding::TowardZero)->withScale(2)->toString(),
              "0.13");
    EXPECT_EQ(dec("2.345").withScale(2)->toString(), "2.35"); // half away from zero
    EXPECT_EQ(dec("-2.345").withScale(2)->toString(), "-2.35");
    EXPECT_EQ(dec("-0.004").withScale(2)->toString(), "0.00");
    EXPECT_EQ(dec("12.50").normalized().toString(), "12.5");
    EXPECT_EQ(*dec("42.000").toInt64(), 42);
    EXPECT_FALSE(dec("42.5").toInt64());
    // Order across scales, signs and magnitudes.
    EXPECT_EQ(compare(dec("1.50"), dec("1.5")), 0);
    EXPECT_LT(compare(dec("-1.5"), dec("-1.25")), 0);
    EXPECT_LT(compare(dec("-0.5"), dec("0.25")), 0);
    EXPECT_LT(compare(dec("1.9"), dec("2")), 0);
    EXPECT_GT(compare(dec("99999999999999999999999999999999999999"),
                      dec("0.00000000000000000000000000000000000001")),
              0);
}

TEST(Value, IntegersAndDecimalsCompareAndGroupExactly) {
    const Value a = Value::fromInt(9007199254740992), b = Value::fromInt(9007199254740993);
    EXPECT_LT(compareValues(a, b), 0);
    EXPECT_NE(key(a), key(b));
    // Against the double that holds 2^53 only the equal integer is equal.
    EXPECT_EQ(compareValues(a, Value::fromDouble(9007199254740992.0)), 0);
    EXPECT_GT(compareValues(b, Value::fromDouble(9007199254740992.0)), 0);
    EXPECT_LT(compareValues(Value::fromDecimal(dec("9007199254740992.5")), b), 0);
    // One group for 1, 1.0 and 1.00, and for -0.0 and 0.0.
    EXPECT_EQ(key(Value::fromInt(1)), key(Value::fromDouble(1.0)));
    EXPECT_EQ(key(Value::fromInt(1)), key(Value::fromDecimal(dec("1.00"))));
    EXPECT_EQ(key(Value::fromDouble(-0.0)), key(Value::fromDouble(0.0)));
    EXPECT_EQ(compareValues(Value::fromDouble(-0.0), Value::fromDouble(0.0)), 0);
    EXPECT_NE(key(Value::fromDouble(0.5)), key(Value::fromDouble(0.25)));
    EXPECT_NE(key(Value()), key(Value::fromInt(0)));
    EXPECT_EQ(Value::fromDecimal(dec("99999999999999.99")).displayText(), "99999999999999.99");
    EXPECT_EQ(Value::fromText("12.30").asDecimal()->toString(), "12.30");
    EXPECT_FALSE(Value::fromText("abc").asDecimal());
    EXPECT_EQ(Value::fromDecimal(dec("-7.6")).asInt(), -8);
}

// Whatever locale the process runs in, numbers read and print with ".".
TEST(DisplayText, NumbersIgnoreTheProcessLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    bool switched = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"})
        if (std::setlocale(LC_ALL, name)) {
            switched = true;
            break;
        }
    EXPECT_EQ(formatFloat(1234.5), "1234.5");
    EXPECT_EQ(*parseNumber("1234.5"), 1234.5);
    EXPECT_FALSE(parseNumber("1234,5"));
    EXPECT_EQ(formatFloat(1.5e-7), "1.5E-7");
    std::setlocale(LC_ALL, saved.c_str());
    if (!switched)
        GTEST_LOG_(INFO) << "no comma-decimal locale on this machine; the runner test covers one";
}
