#include "server/serverquery.h"

#include "common/progress.h"
#include "datasource/dataset.h"
#include "datasource/provider.h"
#include "datasource/statementrun.h"
#include "server/serversql.h"

#include <algorithm>
#include <set>

namespace rg {

namespace {

// Nulls first going up, last going down, whatever the server's own habit.
std::string nullsTerm(const std::string& column, bool down) {
    return "CASE WHEN " + column + " IS NULL THEN 0 ELSE 1 END" + (down ? " DESC" : "");
}

} // namespace

ServerQuery::ServerQuery(DataSet& ds)
    : ds_(ds), provider_(ds.connection()->provider()),
      dialect_(std::make_unique<ServerDialect>(dialectOf(provider_))), syntax_(dialect_->grouping),
      source_(derivedTable(provider_, ds.GetCommandType(), ds.CommandText())) {
    if (dialect_->postgres) {
        askPostgres();
        std::set<std::string> names;
        for (int f = 0; f < ds.FieldCount(); ++f)
            if (!names.insert(ds.Fields(f).ColumnName()).second)
                dialect_->columnsByPlace = true;
        if (dialect_->columnsByPlace)
            source_ += columnsByPlace(ds.FieldCount());
    }
    SqlCondition c = filterCondition(ds, ds.Filter(), *dialect_);
    where_ = std::move(c.sql);
    whereParams_ = std::move(c.params);
}

ServerQuery::~ServerQuery() = default;

// Whether the database has a nondeterministic collation (made by CREATE COLLATION only;
// servers before PostgreSQL 12 have none, and keep the defaults) and is in UTF-8.
void ServerQuery::askPostgres() {
    try {
        const auto buf = run({"SELECT (SELECT COUNT(*) FROM pg_catalog.pg_collation WHERE NOT "
                              "collisdeterministic), current_setting('server_encoding')",
                              {}},
                             {FieldKind::LargeInt, FieldKind::String});
        if (buf->rows != 1)
            return;
        dialect_->textsUnderC = wholeNumber(buf->columns[0].valueAt(0)) > 0;
        dialect_->gb18030Order = buf->columns[1].valueAt(0).asText() == "UTF8";
    } catch (const Cancelled&) {
        throw;
    } catch (const Error&) {
        if (provider_.givenUp)
            throw;
    }
}

std::unique_ptr<ResultBuffer> ServerQuery::run(const Sql& sql,
                                               const std::vector<FieldKind>& kinds) {
    return runStatement(provider_, [sql, kinds](Provider& q, const ProgressFn& progress) {
        return q.query(sql.text, sql.params, kinds, progress);
    });
}

void ServerQuery::addWhere(Sql& sql, const std::vector<std::string>& conditions,
                           const std::vector<Value>& params) const {
    std::vector<std::string> all;
    if (!where_.empty()) {
        all.push_back(where_);
        sql.params.insert(sql.params.end(), whereParams_.begin(), whereParams_.end());
    }
    all.insert(all.end(), conditions.begin(), conditions.end());
    sql.params.insert(sql.params.end(), params.begin(), params.end());
    for (size_t i = 0; i < all.size(); ++i)
        sql.text += (i ? " AND " : " WHERE ") + all[i];
}

std::string ServerQuery::column(int field) const {
    return columnSql(ds_, field, *dialect_);
}

// What rows of one group share: MariaDB's collations take "a" and "A " for one text, and a
// column keeps its own character set (latin1, gbk), so texts are compared as the bytes of
// their UTF-8 form, which a parameter has too; PostgreSQL's nondeterministic collations are
// set aside for "C".
std::string ServerQuery::groupExpr(int field) const {
    if (!isTextKind(ds_.Fields(field).Kind()))
        return column(field);
    if (dialect_->mariadb)
        return mariadbTextBytes(column(field));
    return bytewiseText(*dialect_, column(field));
}

std::string ServerQuery::matchParam(int field) const {
    if (dialect_->mariadb && isTextKind(ds_.Fields(field).Kind()))
        return mariadbTextBytes("?");
    return "?";
}

// A field's value as it orders the grid's rows: texts in the program's code page order
// (GBK bytes, GB18030 beyond GBK), everything else by value. PostgreSQL's GB18030 writes
// U+0080 as 81 30 81 30, below every other character beyond ASCII, where code page 936's
// euro sign (the byte 80) orders. `operand` is the column or a placeholder.
std::string ServerQuery::orderExpr(int field, const char* operand) const {
    const std::string x = operand ? std::string(operand) : column(field);
    if (!isTextKind(ds_.Fields(field).Kind()))
        return x;
    if (dialect_->sqlite)
        return x + " COLLATE RG_ANSI";
    if (dialect_->postgres && dialect_->gb18030Order)
        return "convert_to(translate(CAST(" + x + " AS text), chr(8364), chr(128)), 'GB18030')";
    if (dialect_->postgres)
        return "convert_to(CAST(" + x + " AS text), 'GBK')";
    if (dialect_->mariadb)
        return "CAST(CONVERT(" + x + " USING gbk) AS BINARY)";
    return x;
}

std::string ServerQuery::aggregateSql(const ServerAggregate& a) const {
    const Field& f = ds_.Fields(a.field);
    const FieldKind k = f.Kind();
    auto refuse = [&](const char* why) {
        throw ServerRefusal("在服务器上汇总时不能计算“" + f.DisplayName() + "”的这项汇总（" + why +
                            "）");
    };
    if (isBlobKind(k) || k == FieldKind::Memo)
        refuse("长数据不能汇总");
    if (k == FieldKind::Boolean)
        refuse("逻辑值不能在服务器上汇总");
    if (a.kind == ServerAggregate::Kind::Sum) {
        if (!isNumericKind(k))
            refuse("只有数字能求和");
        // SQLite's SUM adds doubles; memory adds the fetched decimals exactly.
        if (dialect_->sqlite && k != FieldKind::Float)
            return "RG_SUM(" + column(a.field) + ")";
        // PostgreSQL adds a real column's values as reals, as memory does not.
        if (dialect_->postgres && k == FieldKind::Float)
            return "SUM(CAST(" + column(a.field) + " AS double precision))";
        return "SUM(" + column(a.field) + ")";
    }
    const char* fn = a.kind == ServerAggregate::Kind::Min ? "MIN(" : "MAX(";
    if (isTextKind(k)) {
        // Only SQLite orders texts as the program does within an aggregate.
        if (!dialect_->sqlite)
            refuse("服务器排列文字的顺序与本程序不同");
        return fn + column(a.field) + " COLLATE RG_ANSI)";
    }
    return fn + column(a.field) + ")";
}

FieldKind ServerQuery::aggregateKind(const ServerAggregate& a) const {
    const FieldKind k = ds_.Fields(a.field).Kind();
    if (a.kind != ServerAggregate::Kind::Sum)
        return k;
    if (k == FieldKind::Float)
        return FieldKind::Float;
    return storageFor(k) == Storage::Int && !dialect_->sqlite ? FieldKind::LargeInt
                                                              : FieldKind::BCD;
}

int64_t ServerQuery::count() {
    Sql sql{"SELECT COUNT(*) FROM " + source_, {}};
    addWhere(sql, {}, {});
    const auto buf = run(sql, {FieldKind::LargeInt});
    return buf->rows == 1 ? wholeNumber(buf->columns[0].valueAt(0)) : 0;
}

std::unique_ptr<ResultBuffer> ServerQuery::page(const std::vector<int>& levelFields,
                                                const std::vector<Value>& keys,
                                                const PageOrder& order,
                                                const std::vector<Value>& after, int64_t offset,
                                                int limit) {
    Sql sql{"SELECT rg_src.* FROM " + source_, {}};
    std::vector<std::string> conditions;
    std::vector<Value> params;
    for (size_t i = 0; i < keys.size() && i < levelFields.size(); ++i) {
        const int f = levelFields[i];
        const bool interval = intervalOf(i) != nullptr;
        if (keys[i].isNull()) {
            conditions.push_back((interval ? levelExpr(i, f) : column(f)) + " IS NULL");
        } else {
            conditions.push_back(levelExpr(i, f) + " = " + (interval ? "?" : matchParam(f)));
            params.push_back(boundValue(*dialect_, levelKind(i, f), keys[i]));
        }
    }
    // The sort field orders as the grid shows it; the key fields only make the order
    // total, in the server's own order of their values (which an index serves).
    struct Term {
        int field;
        bool down;
        std::string value, param;
    };
    std::vector<Term> terms;
    if (order.field >= 0)
        terms.push_back({order.field, order.down, orderExpr(order.field, nullptr),
                         orderExpr(order.field, "?")});
    for (int k : order.keyFields)
        if (k != order.field && !isBlobKind(ds_.Fields(k).Kind()))
            terms.push_back({k, false, groupExpr(k), matchParam(k)});
    if (!after.empty()) {
        if (after.size() != terms.size())
            throw Error("服务器分页的位置与行的顺序不符：位置有 " + std::to_string(after.size()) +
                        " 个值，顺序有 " + std::to_string(terms.size()) + " 项");
        // Rows after the last one shown: equal on the terms before one, beyond it on that one.
        // With rows to skip, those equal on every term too: the order is total only up to
        // rows alike in every term, so the rest of a run of them is reached by counting.
        const size_t steps = terms.size() + (offset > 0 ? 1 : 0);
        std::string any;
        for (size_t i = 0; i < steps; ++i) {
            std::string step;
            for (size_t j = 0; j <= i && j < terms.size(); ++j) {
                const Term& t = terms[j];
                const std::string col = column(t.field);
                const bool last = j == i;
                std::string cond;
                if (after[j].isNull()) {
                    cond = last ? (t.down ? "1=0" : col + " IS NOT NULL") : col + " IS NULL";
                } else {
                    const std::string &x = t.value, &p = t.param;
                    params.push_back(boundValue(*dialect_, ds_.Fields(t.field).Kind(), after[j]));
                    if (!last)
                        cond = x + " = " + p;
                    else if (t.down)
                        cond = "(" + x + " < " + p + " OR " + col + " IS NULL)";
                    else
                        cond = x + " > " + p;
                }
                step += (j ? " AND " : "") + cond;
            }
            any += (i ? " OR (" : "(") + step + ")";
        }
        conditions.push_back("(" + any + ")");
    }
    addWhere(sql, conditions, params);
    // A primary key column holds no null: ordered by itself, an index on it serves the page
    // instead of a sort of every row after the last one shown.
    const std::vector<int>& primary = ds_.KeyFields();
    for (size_t i = 0; i < terms.size(); ++i) {
        const Term& t = terms[i];
        sql.text += i ? ", " : " ORDER BY ";
        if (std::find(primary.begin(), primary.end(), t.field) == primary.end())
            sql.text += nullsTerm(column(t.field), t.down) + ", ";
        sql.text += t.value + (t.down ? " DESC" : "");
    }
    const std::string n = std::to_string(std::max(limit, 0));
    const int64_t skip = offset;
    if (dialect_->fetchFirst)
        sql.text += " OFFSET " + std::to_string(skip) + " ROWS FETCH FIRST " + n + " ROWS ONLY";
    else
        sql.text += " LIMIT " + n + (skip > 0 ? " OFFSET " + std::to_string(skip) : "");
    std::vector<FieldKind> kinds;
    for (int f = 0; f < ds_.FieldCount(); ++f)
        kinds.push_back(ds_.Fields(f).Kind());
    return run(sql, kinds);
}

bool ServerQuery::unique(int field) {
    if (isBlobKind(ds_.Fields(field).Kind()))
        return false;
    // Nulls group together: two of them tie as two equal values do.
    Sql sql{"SELECT 1 FROM " + source_, {}};
    addWhere(sql, {}, {});
    sql.text += " GROUP BY " + groupExpr(field) + " HAVING COUNT(*) > 1";
    sql.text += dialect_->fetchFirst ? " OFFSET 0 ROWS FETCH FIRST 1 ROWS ONLY" : " LIMIT 1";
    return run(sql, {FieldKind::LargeInt})->rows == 0;
}

std::vector<Value> ServerQuery::distinct(int field, int limit, std::vector<int64_t>* rows) {
    // Beyond MariaDB's bytes, every use of the column is the grouped expression itself.
    const std::string grouped = groupExpr(field);
    const bool bytes = dialect_->mariadb && isTextKind(ds_.Fields(field).Kind());
    const std::string value = bytes ? "MIN(" + column(field) + ")" : grouped;
    Sql sql{"SELECT " + value + ", COUNT(*) FROM " + source_, {}};
    addWhere(sql, {}, {});
    sql.text += " GROUP BY " + grouped + " ORDER BY " +
                nullsTerm(bytes ? column(field) : grouped, false) + ", " +
                orderExpr(field, bytes ? nullptr : grouped.c_str());
    const std::string n = std::to_string(std::max(limit, 0));
    if (dialect_->fetchFirst)
        sql.text += " OFFSET 0 ROWS FETCH FIRST " + n + " ROWS ONLY";
    else
        sql.text += " LIMIT " + n;
    const auto buf = run(sql, {ds_.Fields(field).Kind(), FieldKind::LargeInt});
    std::vector<std::pair<Value, int64_t>> found;
    for (int64_t r = 0; r < buf->rows; ++r)
        found.emplace_back(buf->columns[0].valueAt(r), wholeNumber(buf->columns[1].valueAt(r)));
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return compareValues(a.first, b.first) < 0;
    });
    std::vector<Value> out;
    for (auto& [v, count] : found) {
        out.push_back(std::move(v));
        if (rows)
            rows->push_back(count);
    }
    return out;
}

} // namespace rg
