// Filtering by column values on a real SQLite file: the conditions, the expression the data
// set receives, the rows that stay, and the drop-down's values.

#include "grid/grid.h"

#include "common/datetime.h"
#include "common/displaytext.h"
#include "common/error.h"
#include "testdb.h"

#include <gtest/gtest.h>

#include <limits>

using namespace rg;

namespace {

const char* kRows = R"(
create table f(id integer primary key, name text, region text, amount real, day date, at datetime);
insert into f values (1, 'O''Brien', '华东', 0.1 + 0.2, '2024-01-05', '2024-01-05 10:00:00.250');
insert into f values (2, '王五', '华北', 20, '2024-02-01', '2024-01-05 10:00:00');
insert into f values (3, null, '华东', 7.25, null, null);
insert into f values (4, '', '华南', 0.3, '2024-01-05', null);
insert into f values (5, '李四', null, 20, '2023-12-31', '2024-01-05 10:00:01');
)";

struct FilterFixture : ::testing::Test {
    TestDb db{kRows};
    TdxDBGrid grid;
    void SetUp() override {
        db.open("select id, name, region, amount, day, at from f");
        grid.SetDataSet(&db.ds);
        grid.CreateColumnsForFields(db.ds);
        grid.SetKeyField("id");
    }
    TdxDBGridColumn& col(const char* field) { return *grid.ColumnByFieldName(field); }
    // The ids of the rows the grid loaded, in record order.
    std::vector<std::string> ids() {
        std::vector<std::string> out;
        for (int i = 0; i < db.ds.RecordCount(); ++i)
            out.push_back(db.ds.displayText(i, 0));
        EXPECT_EQ(grid.DataRowCount(), db.ds.RecordCount());
        return out;
    }
    void filter(const char* field, std::optional<ColumnFilter> f) {
        grid.Filter.SetColumnFilter(col(field), std::move(f));
    }
    Value dropDownValue(const char* field, size_t i) {
        return grid.Filter.DropDownValues(col(field)).values.at(i);
    }
};

using Ids = std::vector<std::string>;

} // namespace

TEST_F(FilterFixture, ValuesWithQuotesChineseTextDatesNullsAndInexactNumbers) {
    // Distinct values in code page order (Latin first, then pinyin: 李 before 王); null and
    // the empty text are offered as blanks, not as values.
    const FilterValues names = grid.Filter.DropDownValues(col("name"));
    EXPECT_TRUE(names.hasBlanks);
    ASSERT_EQ(names.values.size(), 3u);
    EXPECT_EQ(names.values[0].asText(), "O'Brien");
    EXPECT_EQ(names.values[1].asText(), "李四");
    EXPECT_EQ(names.values[2].asText(), "王五");
    EXPECT_FALSE(grid.Filter.DropDownValues(col("id")).hasBlanks);

    filter("name", ColumnFilter::equalTo(names.values[0]));
    EXPECT_EQ(db.ds.Filter(), "[name] = 'O''Brien'");
    EXPECT_EQ(ids(), Ids{"1"});
    filter("name", ColumnFilter::blanks());
    EXPECT_EQ(ids(), (Ids{"3", "4"}));
    filter("name", ColumnFilter::nonBlanks());
    EXPECT_EQ(ids(), (Ids{"1", "2", "5"}));

    // Chinese text, and two columns joined by AND.
    filter("region", ColumnFilter::equalTo(Value::fromText("华东")));
    EXPECT_EQ(ids(), Ids{"1"});
    db.ds.FieldByName("region").SetDisplayLabel("地区");
    EXPECT_EQ(grid.Filter.DisplayText(), "name IS NOT BLANK AND 地区 = '华东'");
    filter("name", std::nullopt); // "(All)"
    EXPECT_EQ(ids(), (Ids{"1", "3"}));
    filter("region", ColumnFilter::blanks());
    EXPECT_EQ(ids(), Ids{"5"});
    filter("region", std::nullopt);

    // 0.1 + 0.2 and 0.3 both read "0.3", yet each value finds only its own row.
    const FilterValues amounts = grid.Filter.DropDownValues(col("amount"));
    ASSERT_EQ(amounts.values.size(), 4u); // 0.3, 0.30000000000000004, 7.25, 20
    EXPECT_EQ(amounts.values[0].displayText(), amounts.values[1].displayText());
    filter("amount", ColumnFilter::equalTo(amounts.values[0]));
    EXPECT_EQ(ids(), Ids{"4"});
    filter("amount", ColumnFilter::equalTo(amounts.values[1]));
    EXPECT_EQ(ids(), Ids{"1"});
    filter("amount", std::nullopt);

    // Dates, a date and time with a fraction of a second, and a null date.
    filter("day", ColumnFilter::equalTo(dropDownValue("day", 1))); // 2024-01-05
    EXPECT_EQ(ids(), (Ids{"1", "4"}));
    filter("day", ColumnFilter::blanks());
    EXPECT_EQ(ids(), Ids{"3"});
    filter("day", std::nullopt);
    const FilterValues times = grid.Filter.DropDownValues(col("at"));
    ASSERT_EQ(times.values.size(), 3u);
    EXPECT_EQ(times.values[1].displayText(), "2024-01-05 10:00:00.25");
    filter("at", ColumnFilter::equalTo(times.values[1]));
    EXPECT_EQ(ids(), Ids{"1"});
    EXPECT_EQ(grid.Filter.DisplayText(), "at = '2024-01-05 10:00:00.25'");
    grid.Filter.Clear();
    EXPECT_EQ(db.ds.Filter(), "");
    EXPECT_EQ(ids().size(), 5u);
}

TEST_F(FilterFixture, CustomConditionsAndRefusedOnes) {
    // Typed texts are read in the field's type: amount > 10 OR amount < 1.
    ColumnFilter either{{FilterOperator::Greater, Value::fromText("10")},
                        FilterCondition{FilterOperator::Less, Value::fromText("1")},
                        true};
    filter("amount", either);
    EXPECT_EQ(ids(), (Ids{"1", "2", "4", "5"}));
    filter("name",
           ColumnFilter{{FilterOperator::Like, Value::fromText("王%")}, std::nullopt, false});
    EXPECT_EQ(ids(), Ids{"2"});
    EXPECT_EQ(db.ds.Filter(), "([amount] > '10' OR [amount] < '1') AND [name] LIKE '王%'");
    filter("name",
           ColumnFilter{{FilterOperator::NotLike, Value::fromText("%'%")}, std::nullopt, false});
    EXPECT_EQ(ids(), (Ids{"2", "4", "5"})); // a quote inside a pattern; the empty text has none
    filter("day", ColumnFilter{{FilterOperator::GreaterOrEqual, Value::fromText("2024-01-01")},
                               std::nullopt,
                               false});
    EXPECT_EQ(ids(), (Ids{"2", "4"}));

    // A text that is no number for a number field: the data set refuses it with its
    // message and the grid keeps the filter it had.
    const std::string before = db.ds.Filter();
    try {
        filter("amount",
               ColumnFilter{{FilterOperator::Equal, Value::fromText("abc")}, std::nullopt, false});
        FAIL() << "accepted";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid number");
    }
    EXPECT_EQ(db.ds.Filter(), before);
    ASSERT_NE(grid.Filter.ColumnFilterOf(col("amount")), nullptr);
    EXPECT_TRUE(grid.Filter.ColumnFilterOf(col("amount"))->orJoin);
    EXPECT_EQ(ids(), (Ids{"2", "4"}));
}

TEST_F(FilterFixture, ReloadsKeepExpandedGroupsAndConditionsEndWithTheirColumnsOrData) {
    ASSERT_TRUE(grid.GroupColumn(col("region"), 0));
    grid.SetExpanded(grid.Top(2), true); // null, 华北, 华东, 华南
    ASSERT_EQ(grid.GroupRowText(grid.Top(2)), "region : 华东 ");
    filter("name", ColumnFilter::nonBlanks());
    ASSERT_EQ(grid.TopCount(), 3); // null (李四), 华北, 华东
    EXPECT_EQ(grid.GroupRowText(grid.Top(2)), "region : 华东 ");
    EXPECT_TRUE(grid.Expanded(grid.Top(2)));
    EXPECT_EQ(grid.ChildCount(grid.Top(2)), 1);

    // Rebuilding the columns takes their conditions along.
    grid.ClearGrouping();
    grid.BeginUpdate();
    for (int i = grid.ColumnCount() - 1; i >= 0; --i)
        grid.DestroyColumn(i);
    grid.EndUpdate();
    grid.CreateColumnsForFields(db.ds);
    EXPECT_TRUE(grid.Filter.Empty());
    EXPECT_EQ(db.ds.Filter(), "");
    EXPECT_EQ(grid.DataRowCount(), 5);

    // A new command without the filtered field opens (and is not filtered).
    filter("name", ColumnFilter::nonBlanks());
    db.open("select id, region from f");
    EXPECT_TRUE(grid.Filter.Empty());
    EXPECT_FALSE(db.ds.Filtered());
    EXPECT_EQ(db.ds.RecordCount(), 5);

    // A filter given to the data set directly is shown as it stands.
    db.ds.SetFilter("id > 3");
    EXPECT_EQ(grid.Filter.DisplayText(), "id > 3");
    grid.Filter.Clear();
    EXPECT_FALSE(db.ds.Filtered());
}

TEST(GridFilterValues, AtMostAThousandOfTheSmallest) {
    TestDb db("create table n(id integer primary key, v integer);"
              "with recursive c(i) as (select 1 union all select i + 1 from c where i < 3000)"
              " insert into n select i, 3001 - i from c;");
    db.open("select id, v from n");
    TdxDBGrid grid;
    grid.SetDataSet(&db.ds);
    grid.CreateColumnsForFields(db.ds);
    grid.SetKeyField("id");
    const FilterValues values = grid.Filter.DropDownValues(*grid.ColumnByFieldName("v"));
    ASSERT_EQ(values.values.size(), static_cast<size_t>(TdxDBGridFilter::MaxDropDownCount));
    EXPECT_EQ(values.values.front().asInt(), 1);
    EXPECT_EQ(values.values.back().asInt(), 1000);
    // Without a key field no rows are loaded, so there is nothing to offer.
    grid.SetKeyField("");
    EXPECT_TRUE(grid.Filter.DropDownValues(*grid.ColumnByFieldName("v")).values.empty());
}

namespace {

const FilterOperator kEveryOperator[] = {
    FilterOperator::Equal,       FilterOperator::NotEqual, FilterOperator::Less,
    FilterOperator::LessOrEqual, FilterOperator::Greater,  FilterOperator::GreaterOrEqual,
    FilterOperator::Like,        FilterOperator::NotLike,  FilterOperator::Blank,
    FilterOperator::NonBlank,
};

// A value of every type a condition can hold, with the edges of each: the extremes of
// integers, doubles that lose digits in 15, decimals beyond a double and beyond 38 digits,
// texts holding the stored form's own tab and backslash, dates with microseconds.
std::vector<Value> everyKindOfValue() {
    return {
        Value::null(), Value::fromBool(true), Value::fromBool(false),
        Value::fromInt(std::numeric_limits<int64_t>::min()), Value::fromInt(9007199254740993),
        Value::fromDouble(0.1 + 0.2), Value::fromDouble(-0.0), Value::fromDouble(5e-324),
        Value::fromDouble(std::numeric_limits<double>::quiet_NaN()),
        Value::fromDouble(-std::numeric_limits<double>::infinity()),
        *exactNumber("-9007199254740993.50"),
        *exactNumber("123456789012345678901234567890123456789012345.678"), Value::fromText(""),
        Value::fromText("华东"), Value::fromText("a\tb\\c\\t\\"), Value::fromText("%_'"),
        Value::fromDate(dateSerial(2024, 1, 5)),
        Value::fromMicros(Value::Type::DateTime, 1'704'448'800'000'001),
        Value::fromTime(timeSerial(10, 0, 0, 250)),
        // A serial keeps microseconds up to about 1989 only, and holds no infinity.
        Value::fromMicros(Value::Type::DateTime, *microsOfCivil(9999, 12, 31, kMicrosPerDay - 1)),
        Value::fromMicros(Value::Type::Time, -kMicrosPerDay * 40 - 1),
        Value::fromMicros(Value::Type::Date, kInfinityMicros),
        Value::fromMicros(Value::Type::DateTime, kMinusInfinityMicros)};
}

void expectSame(const FilterCondition& got, const FilterCondition& want,
                const std::string& stored) {
    EXPECT_EQ(got.op, want.op) << stored;
    EXPECT_EQ(got.value.type(), want.value.type()) << stored;
    EXPECT_TRUE(got.value == want.value) << stored << " read back as " << got.value.displayText();
}

} // namespace

// What a settings file keeps must come back as the very condition, and be written again
// in the same bytes, for every operator and every value type.
TEST(FilterConditionText, EveryOperatorAndValueTypeComesBackFromTheStoredForm) {
    const std::vector<Value> values = everyKindOfValue();
    for (FilterOperator op : kEveryOperator)
        for (size_t i = 0; i < values.size(); ++i) {
            const ColumnFilter f{
                {op, values[i]},
                FilterCondition{kEveryOperator[i % 10], values[values.size() - 1 - i]},
                i % 2 == 1};
            const std::string stored = StoredColumnFilter(f);
            const std::optional<ColumnFilter> back = ParseStoredColumnFilter(stored);
            ASSERT_TRUE(back) << stored;
            expectSame(back->first, f.first, stored);
            ASSERT_TRUE(back->second) << stored;
            expectSame(*back->second, *f.second, stored);
            EXPECT_EQ(back->orJoin, f.orJoin);
            EXPECT_EQ(StoredColumnFilter(*back), stored);
        }
    // Where a serial would lose microseconds, the count itself is kept.
    EXPECT_EQ(StoredColumnFilter(
                  ColumnFilter::equalTo(Value::fromMicros(Value::Type::DateTime, kInfinityMicros))),
              "AND\t=\tdatetime\t9223372036854775807us");
    // Binary data is kept as the text of its bytes.
    const std::string blob =
        StoredColumnFilter(ColumnFilter::equalTo(Value::fromBlob("\x01\t\xFF")));
    EXPECT_EQ(blob, "AND\t=\ttext\t\x01\\t\xFF");
    EXPECT_EQ(ParseStoredColumnFilter(blob)->first.value.asText(), "\x01\t\xFF");
}

// A list of ticked values comes back whole, each value in its own type, beside the blanks.
TEST(FilterConditionText, AListOfValuesComesBackFromTheStoredForm) {
    std::vector<Value> values;
    for (const Value& v : everyKindOfValue())
        if (!v.isNull())
            values.push_back(v);
    const ColumnFilter f = ColumnFilter::oneOf(values, true);
    const std::string stored = StoredColumnFilter(f);
    const std::optional<ColumnFilter> back = ParseStoredColumnFilter(stored);
    ASSERT_TRUE(back) << stored;
    EXPECT_EQ(back->first.op, FilterOperator::InList);
    ASSERT_EQ(back->first.values.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(back->first.values[i].type(), values[i].type()) << stored;
        EXPECT_TRUE(back->first.values[i] == values[i]) << values[i].displayText();
    }
    ASSERT_TRUE(back->second);
    EXPECT_EQ(back->second->op, FilterOperator::Blank);
    EXPECT_TRUE(back->orJoin);
    EXPECT_EQ(StoredColumnFilter(*back), stored);
    EXPECT_EQ(StoredColumnFilter(
                  ColumnFilter::oneOf({Value::fromText("华东"), Value::fromText("a\tb")}, false)),
              "AND\tIN\tlist\ttext\\t华东\\ttext\\ta\\\\tb");
    // One value is an equality; a list cut short, or of another type, is no list.
    EXPECT_EQ(ColumnFilter::oneOf({Value::fromInt(1)}, false).first.op, FilterOperator::Equal);
    EXPECT_FALSE(ParseStoredColumnFilter("AND\tIN\tlist\ttext\\ta"));
    EXPECT_FALSE(ParseStoredColumnFilter("AND\tIN\ttext\ta"));
    EXPECT_FALSE(ParseStoredColumnFilter("AND\t=\tlist\ttext\\ta\\ttext\\tb"));
}

// Settings files written before keep their meaning: each line reads as the condition it
// was written for and is written again byte for byte; what is no such line is refused.
TEST(FilterConditionText, StoredLinesOfBeforeReadAsBefore) {
    using Op = FilterOperator;
    const std::pair<std::string, ColumnFilter> lines[] = {
        {"AND\t<>\tint\t3\t<\tdecimal\t9007199254740993.50",
         {{Op::NotEqual, Value::fromInt(3)},
          FilterCondition{Op::Less, *exactNumber("9007199254740993.50")},
          false}},
        {"OR\t=\ttext\t华东\t=\ttext\ta\\tb\\\\c",
         {{Op::Equal, Value::fromText("华东")},
          FilterCondition{Op::Equal, Value::fromText("a\tb\\c")},
          true}},
        {"AND\t>\tfloat\t0.30000000000000004",
         {{Op::Greater, Value::fromDouble(0.1 + 0.2)}, {}, false}},
        {"AND\t>=\tdate\t45292\t<\tdate\t45627",
         {{Op::GreaterOrEqual, Value::fromDate(dateSerial(2024, 1, 1))},
          FilterCondition{Op::Less, Value::fromDate(dateSerial(2024, 12, 1))},
          false}},
        {"AND\t=\ttime\t0.5", {{Op::Equal, Value::fromTime(timeSerial(12, 0, 0))}, {}, false}},
        {"AND\t<=\tdatetime\t45296.25",
         {{Op::LessOrEqual, Value::fromDateTime(dateSerial(2024, 1, 5) + 0.25)}, {}, false}},
        {"AND\tNOT LIKE\ttext\t%海_", {{Op::NotLike, Value::fromText("%海_")}, {}, false}},
        {"AND\tLIKE\ttext\t上%", {{Op::Like, Value::fromText("上%")}, {}, false}},
        {"AND\t=\tbool\t1", ColumnFilter::equalTo(Value::fromBool(true))},
        {"AND\t=\tfloat\tnan",
         ColumnFilter::equalTo(Value::fromDouble(std::numeric_limits<double>::quiet_NaN()))},
        {"AND\t=\tfloat\t-inf",
         ColumnFilter::equalTo(Value::fromDouble(-std::numeric_limits<double>::infinity()))},
        {"AND\t=\tnull\t", ColumnFilter::equalTo(Value::null())},
        {"AND\tBLANK\tnull\t", ColumnFilter::blanks()},
        {"AND\tNONBLANK\tnull\t", ColumnFilter::nonBlanks()},
    };
    for (const auto& [line, want] : lines) {
        const std::optional<ColumnFilter> got = ParseStoredColumnFilter(line);
        ASSERT_TRUE(got) << line;
        expectSame(got->first, want.first, line);
        ASSERT_EQ(got->second.has_value(), want.second.has_value()) << line;
        if (want.second)
            expectSame(*got->second, *want.second, line);
        EXPECT_EQ(got->orJoin, want.orJoin) << line;
        EXPECT_EQ(StoredColumnFilter(want), line);
    }
    for (const char* bad :
         {"", "AND\t=\ttext", "AND\t=\tint\tten", "AND\t=\tint\t1.5", "XOR\t=\ttext\tx",
          "and\t=\ttext\tx", "AND\t==\ttext\tx", "AND\tlike\ttext\tx", "AND\t=\tstring\tx",
          "AND\t=\tbool\t", "AND\t=\tfloat\t1,5", "AND\t=\tdecimal\t1e3x", "AND\t=\tfloat\t1us",
          "AND\t=\tdate\tus", "AND\t=\tdate\t1.5us", "AND\t=\ttext\tx\t=\ttext",
          "AND\t=\ttext\tx\t=\ttext\ty\tz"})
        EXPECT_FALSE(ParseStoredColumnFilter(bad)) << bad;
}
