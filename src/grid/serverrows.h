#pragma once

// The grid's rows when they stay on the database server: the groups and every footer from
// one grouping statement, the data rows read a page at a time when something reads them.
// Only a few pages stay in memory, so a report of any size costs the same to show, export
// or print; reading on from one page to the next pages by keyset.

#include "common/value.h"
#include "grid/crosstable.h"
#include "grid/groupinterval.h"
#include "grid/rowtree.h"
#include "grid/summary.h"
#include "grid/summaryengine.h"
#include "server/serverquery.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace rg {

class DataSet;
struct ResultBuffer;

// The order of each group's data rows on the server for the grid's order of rows, the key
// field breaking ties.
PageOrder pageOrderOf(const RowTree::Order& order, int keyField);

class ServerRows {
public:
    // Statements over `ds`, which must be open on the server; throws ServerRefusal for a
    // filter the server cannot apply exactly.
    // `intervals` are the levels' intervals, outermost first (missing ones: by value).
    ServerRows(DataSet& ds, std::vector<int> levelFields, PageOrder order,
               std::vector<IntervalSpec> intervals = {});
    ~ServerRows();
    ServerRows(const ServerRows&) = delete;
    ServerRows& operator=(const ServerRows&) = delete;

    // The tree of the groups, the values of the items of `summaries` in its group rows and
    // those of `footers` (one per source). An item that cannot be summed leaves the values
    // empty and its error in `summaryError`, as a load in memory does.
    struct Groups {
        RowTree tree;
        std::vector<SummaryValue> footers;
        std::exception_ptr summaryError;
    };
    Groups groups(const TdxDBGridSummaryGroup& summaries, const std::vector<FooterSource>& footers,
                  const std::vector<bool>& levelDown);

    // The cross table of `tree` (this grouping's) from two grouping statements: one with the
    // cross field as an outer level for the cells and the column totals, one of the levels
    // for the row totals. Refuses more distinct values than a cross table has columns.
    std::unique_ptr<CrossTable> crossTable(const RowTree& tree, int crossField,
                                           const IntervalSpec& interval, TdxSummaryType kind,
                                           int valueField) const;

    // The rows of every group in another order: the pages read so far are dropped.
    void setOrder(const PageOrder& order);

    // A data row's value and display text, read from its page.
    Value value(const RowTree& tree, int dataRow, int field) const;
    std::string text(const RowTree& tree, int dataRow, int field) const;
    // A group row's key: that of its first data row, kept once read, since a selection asks
    // it of every group it paints.
    Value groupKey(const RowTree& tree, int group, int keyField) const;

    // A field's distinct values passing the filter, at most `limit`.
    std::vector<Value> distinct(int field, int limit, std::vector<int64_t>* rows = nullptr) const;

    // A page read at a place of its own; reading on from one page to the next doubles the
    // length up to the longest, so a walk through every row takes few statements.
    static constexpr int64_t kPageRows = 1000, kLongestPage = 16000;
    // Pages kept: a few per open group, and a bound for the rows of all of them together.
    static constexpr size_t kPagesPerGroup = 3;
    static constexpr int64_t kRowsKept = 48000;

private:
    struct Page;
    // The page of `dataRow` and the row's place in it.
    const ResultBuffer& rowPage(const RowTree& tree, int dataRow, int64_t* row) const;
    // The page holding row `offset` of `group`'s rows.
    const Page& fetch(const RowTree& tree, int group, int64_t offset) const;
    std::vector<Value> keysOf(const RowTree& tree, int group) const;
    // The order pages are read in: the grid's, made total up to rows alike in every field
    // it can compare when the key field does not tell every row apart.
    const PageOrder& pagedOrder() const;
    std::vector<Value> afterOf(const ResultBuffer& rows) const;
    // How many rows at the end of `rows` equal its last one in every term of the order.
    int64_t trailingTies(const ResultBuffer& rows) const;
    [[noreturn]] void changed(const RowTree& tree, int group, const char* how) const;
    void makeRoom(int group, int64_t rows) const;

    DataSet& ds_;
    std::vector<int> levelFields_;
    std::vector<IntervalSpec> intervals_;
    // Each group's keys as the server states them (an interval by its number), by its place
    // in the grouping statement's answer.
    std::vector<std::vector<Value>> serverKeys_;
    PageOrder order_;
    std::unique_ptr<ServerQuery> query_;
    mutable std::optional<PageOrder> paged_;
    mutable bool ties_ = false;                    // rows may be alike in every term of paged_
    mutable std::unordered_map<int, bool> unique_; // asked of the server once per key field
    mutable std::vector<Page> pages_;
    mutable uint64_t clock_ = 0;
    // Where the last page read ends, so that reading on continues by keyset even after its
    // page was dropped.
    struct Resume {
        int group = -2;
        int64_t next = -1;
        int64_t length = 0; // of the page read last
        std::vector<Value> after;
        int64_t tied = 0; // rows read that equal `after` in every term, -1 when not known
    };
    mutable Resume resume_;
    mutable std::unordered_map<int, Value> groupKeys_;
};

} // namespace rg
