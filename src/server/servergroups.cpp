#include "server/serverquery.h"

#include "datasource/dataset.h"
#include "server/serversql.h"

#include <algorithm>
#include <set>

// The grouping statement: every level's groups and the grand total at once.

namespace rg {

namespace {

void readValues(ServerGroup& g, const ResultBuffer& buf, int64_t r, size_t first, size_t n) {
    for (size_t a = 0; a < n; ++a)
        g.values.push_back(buf.columns[first + a].valueAt(r));
}

void addKey(ServerGroup& g, const ColumnData& c, int64_t r) {
    g.keys.push_back(c.valueAt(r));
    g.keyTexts.push_back(c.displayTextAt(r));
}

// ROLLUP gives no row at all for no rows; every grouping has its grand total.
std::vector<ServerGroup> withTotal(std::vector<ServerGroup> groups, size_t levels,
                                   size_t aggregates) {
    const bool has = std::any_of(groups.begin(), groups.end(), [&](const ServerGroup& g) {
        return g.level == static_cast<int>(levels);
    });
    if (!has)
        groups.push_back({static_cast<int>(levels), {}, {}, 0, std::vector<Value>(aggregates)});
    return groups;
}

} // namespace

std::vector<ServerGroup> ServerQuery::groups(const std::vector<int>& levelFields,
                                             const std::vector<ServerAggregate>& aggregates) {
    const size_t n = levelFields.size();
    std::string aggs = "COUNT(*)";
    std::vector<FieldKind> aggKinds{FieldKind::LargeInt};
    for (const ServerAggregate& a : aggregates) {
        aggs += ", " + aggregateSql(a);
        aggKinds.push_back(aggregateKind(a));
    }
    std::vector<FieldKind> kinds;
    for (size_t i = 0; i < n; ++i)
        kinds.push_back(levelKind(i, levelFields[i]));
    Sql sql;
    if (n == 0) {
        sql.text = "SELECT " + aggs + " FROM " + source_;
        addWhere(sql, {}, {});
        return readGroups(*run(sql, aggKinds), 0, aggregates.size());
    }
    if (syntax_ == GroupingSyntax::Rollup) {
        // ROLLUP's subtotal rows show a null key, as a group of nulls does: each level is
        // grouped after whether its value is null, which is never null itself, so that a
        // rolled-up level shows as a null in that column. Texts are grouped as bytes and
        // read as their lowest (all equal) value.
        std::string select, by;
        std::vector<FieldKind> rk;
        for (size_t i = 0; i < n; ++i) {
            const int f = levelFields[i];
            const std::string c = column(f), g = levelExpr(i, f), is = std::to_string(i);
            const std::string shown = intervalOf(i) || g == c ? g : "MIN(" + c + ")";
            // An interval is null where the server has none for a value (MariaDB's zero
            // dates), not only where the value is.
            const std::string null = intervalOf(i) ? g : c;
            select += "(" + null + " IS NULL) AS rg_n" + is + ", " + g + " AS rg_g" + is + ", " +
                      shown + " AS rg_v" + is + ", ";
            by += std::string(i ? ", " : "") + "rg_n" + is + ", rg_g" + is;
            rk.insert(rk.end(), {FieldKind::LargeInt, FieldKind::Unknown, kinds[i]});
        }
        sql.text = "SELECT " + select + aggs + " FROM " + source_;
        addWhere(sql, {}, {});
        sql.text += " GROUP BY " + by + " WITH ROLLUP";
        rk.insert(rk.end(), aggKinds.begin(), aggKinds.end());
        return withTotal(readRollup(*run(sql, rk), n, aggregates.size()), n, aggregates.size());
    }
    kinds.push_back(FieldKind::LargeInt); // the level
    kinds.insert(kinds.end(), aggKinds.begin(), aggKinds.end());
    if (syntax_ == GroupingSyntax::GroupingSets) {
        std::string select, level = "0", sets;
        for (size_t i = 0; i < n; ++i) {
            select += levelExpr(i, levelFields[i]) + ", ";
            // GROUPING() of one column is 1 where the set leaves the column out.
            level += " + GROUPING(" + levelExpr(i, levelFields[i]) + ")";
        }
        for (size_t l = n + 1; l-- > 0;) {
            std::string set;
            for (size_t i = 0; i < l; ++i)
                set += (i ? ", " : "") + levelExpr(i, levelFields[i]);
            sets += std::string(l < n ? ", " : "") + "(" + set + ")";
        }
        sql.text = "SELECT " + select + "(" + level + ") AS rg_level, " + aggs + " FROM " + source_;
        addWhere(sql, {}, {});
        sql.text += " GROUP BY GROUPING SETS (" + sets + ")";
    } else {
        // Deepest level first: SQLite takes the columns' declared types from the first arm.
        for (size_t l = n + 1; l-- > 0;) {
            std::string select, by;
            for (size_t i = 0; i < n; ++i) {
                select += (i < l ? levelExpr(i, levelFields[i]) : "NULL") + ", ";
                if (i < l)
                    by += (i ? ", " : "") + levelExpr(i, levelFields[i]);
            }
            Sql arm{"SELECT " + select + std::to_string(n - l) + " AS rg_level, " + aggs +
                        " FROM " + source_,
                    {}};
            addWhere(arm, {}, {});
            if (l > 0)
                arm.text += " GROUP BY " + by;
            sql.text += (l < n ? " UNION ALL " : "") + arm.text;
            sql.params.insert(sql.params.end(), arm.params.begin(), arm.params.end());
        }
    }
    return withTotal(readGroups(*run(sql, kinds), n, aggregates.size()), n, aggregates.size());
}

// Rows of n key columns, the number of levels left out, COUNT(*) and the aggregates.
std::vector<ServerGroup> ServerQuery::readGroups(const ResultBuffer& buf, size_t n,
                                                 size_t aggregates) const {
    std::vector<ServerGroup> out;
    const size_t first = n == 0 ? 0 : n + 1;
    for (int64_t r = 0; r < buf.rows; ++r) {
        ServerGroup g;
        const int64_t missing = n == 0 ? 0 : wholeNumber(buf.columns[n].valueAt(r));
        const size_t kept = n - static_cast<size_t>(missing);
        g.level = kept == 0 ? static_cast<int>(n) : static_cast<int>(kept) - 1;
        for (size_t i = 0; i < kept; ++i)
            addKey(g, buf.columns[i], r);
        g.rows = wholeNumber(buf.columns[first].valueAt(r));
        readValues(g, buf, r, first + 1, aggregates);
        out.push_back(std::move(g));
    }
    return out;
}

// Rows of three columns per level (null flag, grouped value, value shown), COUNT(*) and the
// aggregates. A level rolled up shows a null flag; a level whose value alone is rolled up
// (its flag kept) is an inner step of ROLLUP that no grouping asked for, unless the flag
// says the values are null, where that step repeats the group of nulls.
std::vector<ServerGroup> ServerQuery::readRollup(const ResultBuffer& buf, size_t n,
                                                 size_t aggregates) const {
    std::vector<ServerGroup> out;
    std::set<std::string> nullGroups;
    const size_t first = 3 * n;
    for (int64_t r = 0; r < buf.rows; ++r) {
        size_t kept = 0;
        while (kept < n && !buf.columns[3 * kept].isNull(r))
            ++kept;
        if (kept > 0) {
            const size_t j = kept - 1;
            const bool nullFlag = wholeNumber(buf.columns[3 * j].valueAt(r)) != 0;
            if (!nullFlag && buf.columns[3 * j + 1].isNull(r))
                continue;
        }
        ServerGroup g;
        g.level = kept == 0 ? static_cast<int>(n) : static_cast<int>(kept) - 1;
        for (size_t i = 0; i < kept; ++i)
            addKey(g, buf.columns[3 * i + 2], r);
        if (kept > 0 && g.keys.back().isNull()) {
            std::string key = std::to_string(g.level);
            for (const Value& v : g.keys)
                appendValueKey(key, v);
            if (!nullGroups.insert(key).second)
                continue;
        }
        g.rows = wholeNumber(buf.columns[first].valueAt(r));
        readValues(g, buf, r, first + 1, aggregates);
        out.push_back(std::move(g));
    }
    return out;
}

} // namespace rg
