#include "common/displaytext.h"
#include "common/error.h"
#include "common/value.h"

#include <gtest/gtest.h>

using namespace rg;

TEST(DisplayText, NumbersDatesAndBooleans) {
    EXPECT_EQ(formatFloat(1234.5), "1234.5");
    EXPECT_EQ(formatFloat(0.1 + 0.2), "0.3");
    EXPECT_EQ(formatFloat(-2), "-2");
    EXPECT_EQ(formatFloat(1e20), "1E20");
    EXPECT_EQ(formatFloat(1.5e-7), "1.5E-7");
    EXPECT_EQ(formatDate(0), "1899-12-30");
    EXPECT_EQ(dateSerial(2024, 2, 29), 45351);
    EXPECT_EQ(formatDateTime(dateSerial(2024, 2, 29) + timeSerial(13, 5, 9)),
              "2024-02-29 13:05:09");
    EXPECT_EQ(formatTime(0.5), "12:00:00");
    // Negative serials keep the time of day as an absolute fraction.
    EXPECT_EQ(formatDateTime(-1.25), "1899-12-29 06:00:00");
    EXPECT_EQ(*parseDateTime("2024-02-29T13:05:09"),
              dateSerial(2024, 2, 29) + timeSerial(13, 5, 9));
    EXPECT_FALSE(parseDate("2024-13-01"));
    EXPECT_EQ(Value::fromBool(true).displayText(), "True");
    EXPECT_EQ(Value().displayText(), "");
}

TEST(Value, OrderAndConversion) {
    EXPECT_LT(compareValues(Value(), Value::fromInt(-5)), 0);
    EXPECT_EQ(compareValues(Value::fromInt(2), Value::fromDouble(2.0)), 0);
    EXPECT_LT(compareValues(Value::fromText("北京"), Value::fromText("上海")), 0);
    // Of different classes, as SQLite orders them: numbers and dates, texts, blobs.
    EXPECT_EQ(compareValues(Value::fromText("1"), Value::fromInt(1)), 1);
    EXPECT_EQ(compareValues(Value::fromInt(1), Value::fromText("1")), -1);
    EXPECT_EQ(compareValues(Value::fromDate(0), Value::fromText("")), -1);
    EXPECT_EQ(compareValues(Value::fromBlob("a"), Value::fromText("b")), 1);
    EXPECT_EQ(Value::fromText(" 12.5 ").asDouble(), 12.5);
    EXPECT_THROW(Value::fromText("abc").asDouble(), Error);
}
