// Loads split over threads against the same loads on one thread: a table big enough that
// every long loop starts its threads, and more threads than cores, so that three parts
// merge. Every line, text and footer must come out the same.

#include "common/parallel.h"
#include "export/xlsxexport.h"
#include "grid/grid.h"
#include "grid/gridfilter.h"
#include "testdb.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

using namespace rg;

namespace {

// Amounts are not exact in binary, so a sum added in another order would show.
const char* kParallelRows = R"(
create table t(id integer primary key, region text, product text, qty integer, amount real,
               day date);
with recursive n(i) as (select 1 union all select i + 1 from n where i < 300000)
insert into t select i,
       case i % 7 when 0 then '华北' when 1 then '华东' when 2 then '华南' when 3 then '华中'
                  when 4 then '西南' when 5 then '西北' else '东北' end,
       case when i % 101 = 0 then null else 'p' || (i * 37 % 500) end,
       case when i % 11 = 0 then null else i * 13 % 97 end,
       (i * 7919 % 100000) / 100.0 * 1.1,
       date('2020-01-01', '+' || (i * 7 % 1800) || ' days')
  from n;
)";

struct ThreadLimit {
    explicit ThreadLimit(int n) { setParallelThreads(n); }
    ~ThreadLimit() { setParallelThreads(0); }
};

void addItem(TdxDBGrid& g, TdxDBGridColumn& c, TdxSummaryType kind) {
    TdxDBGridSummaryItem& item = g.DefaultGroup().SummaryItems.Add();
    item.SetColumnName(c.Name());
    item.SetSummaryField(c.FieldName());
    item.SetSummaryType(kind);
    c.SetSummaryFooterType(kind);
}

// Every shown line with its texts, the grid's footers and the cross table's cells.
std::string snapshot(TdxDBGrid& g) {
    g.ExpandAll();
    std::string s;
    TdxDBGridColumn& id = *g.ColumnByFieldName("id");
    for (const VisibleRow& line : g.VisibleRows()) {
        if (line.row.isGroup()) {
            s += "G" + std::to_string(g.Level(line.row)) + " " + g.GroupRowText(line.row) + "\n";
        } else if (line.footer < 0) {
            s += g.CellText(line.row, id) + "\n";
        } else {
            s += "F";
            for (int c = 0; c < g.ColumnCount(); ++c)
                s += "|" + g.FooterCellText(line.row, g.Columns(c), line.footer);
            s += "\n";
        }
    }
    for (int c = 0; c < g.ColumnCount(); ++c)
        s += "T|" + g.SummaryFooterText(g.Columns(c));
    if (const CrossTable* x = g.ShownCrossTable()) {
        for (int c = 0; c < x->columnCount(); ++c)
            s += "\nX " + x->columnText(c);
        for (int r = -1; r < g.GroupRowCount(); ++r) {
            const int group = r < 0 ? CrossTable::kTotals : r;
            s += "\nR" + std::to_string(r) + " " + x->text(x->rowTotal(group));
            for (int c = 0; c < x->columnCount(); ++c)
                s += "|" + x->text(x->cell(group, c));
        }
    }
    return s;
}

// One arrangement after another on one grid, a snapshot of each.
std::vector<std::string> arrangements(TestDb& db) {
    TdxDBGrid g;
    g.SetDataSet(&db.ds);
    g.CreateColumnsForFields(db.ds);
    {
        GridUpdate batch(g);
        addItem(g, *g.ColumnByFieldName("qty"), TdxSummaryType::cstSum);
        addItem(g, *g.ColumnByFieldName("amount"), TdxSummaryType::cstSum);
        addItem(g, *g.ColumnByFieldName("id"), TdxSummaryType::cstCount);
        addItem(g, *g.ColumnByFieldName("day"), TdxSummaryType::cstMax);
    }
    g.SetKeyField("id");
    std::vector<std::string> out;
    {
        GroupingUpdate batch(g);
        g.GroupColumn(*g.ColumnByFieldName("region"), 0);
        g.GroupColumn(*g.ColumnByFieldName("product"), 1);
    }
    out.push_back(snapshot(g));
    g.SortByClick(*g.ColumnByFieldName("amount"), false);
    out.push_back(snapshot(g));
    g.Filter.SetColumnFilter(*g.ColumnByFieldName("region"),
                             ColumnFilter::equalTo(Value::fromText("华东")));
    out.push_back(snapshot(g));
    g.Filter.Clear();
    g.ClearGrouping();
    out.push_back(snapshot(g));
    g.SetCrossTable({"day", {GroupInterval::Month, 0}, TdxSummaryType::cstSum, "amount"});
    g.GroupColumn(*g.ColumnByFieldName("product"), 0);
    out.push_back(snapshot(g));
    g.ClearCrossTable();
    TdxDBGridColumn& day = *g.ColumnByFieldName("day");
    day.SetGroupInterval({GroupInterval::Month, 0});
    g.ClearGrouping();
    g.GroupColumn(day, 0);
    out.push_back(snapshot(g));
    return out;
}

} // namespace

TEST(ParallelLoad, ThreadsGiveWhatOneThreadGives) {
    TestDb db(kParallelRows);
    db.open("select id, region, product, qty, amount, day from t");
    std::vector<std::string> one, three;
    {
        ThreadLimit limit(1);
        one = arrangements(db);
    }
    {
        ThreadLimit limit(3);
        three = arrangements(db);
    }
    ASSERT_EQ(one.size(), three.size());
    for (size_t i = 0; i < one.size(); ++i) {
        EXPECT_GT(one[i].size(), 10000u) << i;
        EXPECT_TRUE(one[i] == three[i]) << "arrangement " << i << " differs";
    }
}

// The workbook compressed on a thread of its own is the one compressed on the caller's.
TEST(ParallelExport, XlsxIsTheSameBytesWithItsOwnCompressingThread) {
    TestDb db(R"(
create table t(id integer primary key, region text, amount real);
with recursive n(i) as (select 1 union all select i + 1 from n where i < 30000)
insert into t select i, 'r' || (i % 13), i * 1.1 from n;
)");
    db.open("select id, region, amount from t");
    TdxDBGrid g;
    g.SetDataSet(&db.ds);
    g.CreateColumnsForFields(db.ds);
    g.SetKeyField("id");
    g.GroupColumn(*g.ColumnByFieldName("region"), 0);
    g.ExpandAll();
    auto bytes = [&](int threads) {
        ThreadLimit limit(threads);
        const std::string path = db.folder + "/t" + std::to_string(threads) + ".xlsx";
        ExportToXlsx(g, path, true, GridAppearance());
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const std::string one = bytes(1);
    EXPECT_GT(one.size(), 100000u);
    EXPECT_TRUE(one == bytes(2));
}
