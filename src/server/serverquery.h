#pragma once

// Statements over a data set whose rows stay on the database server: the groups of a
// grouping with their footers, one page of a group's rows, a field's distinct values. The
// server does the work; only what is shown travels. Every statement selects from the data
// set's command as a derived table and applies its filter as a WHERE clause whose values are
// bound parameters.

#include "common/error.h"
#include "common/intervalkinds.h"
#include "common/value.h"
#include "datasource/resultbuffer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rg {

class DataSet;
class Provider;
struct ServerDialect;

// A filter or a request the server statements cannot express exactly; its text is for the
// user.
class ServerRefusal : public Error {
public:
    using Error::Error;
};

// How one statement asks for every level of a grouping.
enum class GroupingSyntax { GroupingSets, Rollup, UnionAll };

struct ServerAggregate {
    enum class Kind { Sum, Min, Max };
    Kind kind;
    int field; // data set field index
};

// One row of the grouping statement.
struct ServerGroup {
    int level;               // 0 outermost .. levels-1; == levels for the grand total row
    std::vector<Value> keys; // values of levels 0..level (empty for the grand total), of the
                             // kinds the data set's own columns give
    std::vector<std::string> keyTexts; // their display texts
    int64_t rows = 0;                  // rows of the group, nulls included
    std::vector<Value> values;         // one per aggregate, null when the group has no value
};

// The order of a group's data rows: the sort field (or -1) and direction, then the key
// fields ascending, the tie break that makes pages stable. Nulls come first going up, as in
// the grid.
struct PageOrder {
    int field = -1;
    bool down = false;
    std::vector<int> keyFields;
};

class ServerQuery {
public:
    // Throws ServerRefusal for a filter it cannot express.
    explicit ServerQuery(DataSet& ds);
    ~ServerQuery();
    ServerQuery(const ServerQuery&) = delete;
    ServerQuery& operator=(const ServerQuery&) = delete;

    GroupingSyntax syntax() const { return syntax_; }

    // Each grouping level's interval, outermost first (missing ones: by value). A level by
    // interval groups, and its `keys` in groups() and page() are, the interval's number on
    // the server: a date interval's first day, a range's index as a decimal (whole numbers
    // and decimals) or a double (doubles). Throws ServerRefusal with the reason when the
    // server cannot place some field's values in its intervals as memory does.
    void setLevelIntervals(const std::vector<int>& levelFields,
                           std::vector<IntervalSpec> intervals);

    // Rows passing the filter.
    int64_t count();
    // Every level's groups and the grand total in one statement, in no particular order.
    std::vector<ServerGroup> groups(const std::vector<int>& levelFields,
                                    const std::vector<ServerAggregate>& aggregates);
    // Up to `limit` data rows of the group whose level values are `keys` (empty: all rows),
    // in `order`, after skipping `offset` of them. With `after` (the values of the order's
    // fields in the last row of the previous page: the sort field, if any, then the key
    // fields) it pages by keyset: the rows beyond `after`, or with an offset those at or
    // beyond it, the offset counting the rows equal to it already read. Columns and kinds as
    // the data set's fields.
    std::unique_ptr<ResultBuffer> page(const std::vector<int>& levelFields,
                                       const std::vector<Value>& keys, const PageOrder& order,
                                       const std::vector<Value>& after, int64_t offset, int limit);
    // Whether no two rows passing the filter hold one value of `field` (nulls count as one).
    bool unique(int field);
    // A field's distinct values passing the filter, in the grid's order, at most `limit`;
    // `rows`, when given, receives the count of rows of each.
    std::vector<Value> distinct(int field, int limit = 1000, std::vector<int64_t>* rows = nullptr);

private:
    struct Sql;
    std::unique_ptr<ResultBuffer> run(const Sql& sql, const std::vector<FieldKind>& kinds);
    void addWhere(Sql& sql, const std::vector<std::string>& conditions,
                  const std::vector<Value>& params) const;
    void askPostgres();
    std::string column(int field) const;
    std::string groupExpr(int field) const;
    // A grouping level's key: groupExpr, or the interval's number (serverintervals.cpp).
    std::string levelExpr(size_t level, int field) const;
    FieldKind levelKind(size_t level, int field) const;
    const IntervalSpec* intervalOf(size_t level) const;
    std::string dateIntervalSql(GroupInterval kind, const std::string& x) const;
    std::string rangeSql(const IntervalSpec& spec, int field) const;
    std::string matchParam(int field) const;
    std::string orderExpr(int field, const char* operand) const;
    std::string aggregateSql(const ServerAggregate& a) const;
    FieldKind aggregateKind(const ServerAggregate& a) const;
    std::vector<ServerGroup> readGroups(const ResultBuffer& buf, size_t levels,
                                        size_t aggregates) const;
    std::vector<ServerGroup> readRollup(const ResultBuffer& buf, size_t levels,
                                        size_t aggregates) const;

    DataSet& ds_;
    Provider& provider_;
    std::unique_ptr<ServerDialect> dialect_;
    GroupingSyntax syntax_;
    std::string source_;             // the command as a derived table
    std::string where_;              // the filter's condition, empty when none
    std::vector<Value> whereParams_; // its bound values
    std::vector<IntervalSpec> intervals_;
};

} // namespace rg
