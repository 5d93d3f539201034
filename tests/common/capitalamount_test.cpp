#include "common/capitalamount.h"
#include "grid/summary.h"

#include <gtest/gtest.h>

using namespace rg;

// Amounts written by hand after the banks' rules for capitals on vouchers: the examples of
// those rules first (each in its first allowed form), then the edges of 零, 整, 万 and 亿.
TEST(CapitalAmount, WrittenAsBanksWriteThem) {
    const std::pair<const char*, const char*> table[] = {
        {"1409.50", "壹仟肆佰零玖元伍角"},
        {"6007.14", "陆仟零柒元壹角肆分"},
        {"1680.32", "壹仟陆佰捌拾元零叁角贰分"},
        {"107000.53", "壹拾万柒仟元零伍角叁分"},
        {"16409.02", "壹万陆仟肆佰零玖元零贰分"},
        {"325.04", "叁佰贰拾伍元零肆分"},
        {"12345.67", "壹万贰仟叁佰肆拾伍元陆角柒分"},
        {"10", "壹拾元整"},
        {"15", "壹拾伍元整"},
        {"50.00", "伍拾元整"},
        {"105", "壹佰零伍元整"},
        {"1001.01", "壹仟零壹元零壹分"},
        {"1000.05", "壹仟元零伍分"},
        {"10.10", "壹拾元零壹角"},
        {"1.50", "壹元伍角"},
        {"100000", "壹拾万元整"},
        {"1000000.00", "壹佰万元整"},
        {"20000000.10", "贰仟万元零壹角"},
        {"100010000", "壹亿零壹万元整"},
        {"100000001", "壹亿零壹元整"},
        {"110000000", "壹亿壹仟万元整"},
        {"1000000000000", "壹万亿元整"},
        {"9999999999999999.99", "玖仟玖佰玖拾玖万亿玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万"
                                "玖仟玖佰玖拾玖元玖角玖分"},
        {"0", "零元整"},
        {"0.50", "伍角"},
        {"0.05", "伍分"},
        {"0.56", "伍角陆分"},
        {"-35.2", "负叁拾伍元贰角"},
        {"0.005", "壹分"},   // half a fen rounds away from zero
        {"0.004", "零元整"}, // less than half a fen is nothing
        {"2.995", "叁元整"},
    };
    for (const auto& [amount, capitals] : table) {
        SCOPED_TRACE(amount);
        EXPECT_EQ(capitalAmount(*Decimal::parse(amount)), capitals);
    }
    // No unit of the banks' reaches 10^16 yuan.
    EXPECT_EQ(capitalAmount(*Decimal::parse("10000000000000000")), std::nullopt);
}

// As a footer's number pattern, exact sums and doubles alike.
TEST(CapitalAmount, AFooterPatternWritesIt) {
    EXPECT_EQ(FormatFooterValue(TdxSummaryType::cstSum, kCapitalAmountPattern,
                                SummaryValueKind::Number,
                                SummaryValue::exactValue(*Decimal::parse("12345.67")), false),
              "壹万贰仟叁佰肆拾伍元陆角柒分");
    EXPECT_EQ(FormatFloatPattern(kCapitalAmountPattern, 0.1 + 0.2), "叁角");
    EXPECT_EQ(FormatFloatPattern(kCapitalAmountPattern, 1e20), "100000000000000000000.00");
}
