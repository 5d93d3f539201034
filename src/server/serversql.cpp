#include "server/serversql.h"

#include "common/asciicase.h"
#include "common/decimal.h"
#include "datasource/dataset.h"
#include "datasource/filter.h"
#include "datasource/provider.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <utility>

namespace rg {

ServerDialect dialectOf(Provider& p) {
    ServerDialect d;
    const std::string name = asciiLower(p.dbmsName());
    auto is = [&](const char* word) { return name.find(word) != std::string::npos; };
    d.sqlite = name == "sqlite";
    d.postgres = is("postgres");
    d.mariadb = is("mariadb") || is("mysql");
    d.sqlServer = is("microsoft sql server");
    if (d.postgres || d.sqlServer || is("trino") || is("presto") || is("spark") || is("oracle") ||
        is("db2") || is("snowflake") || is("redshift") || is("hive"))
        d.grouping = GroupingSyntax::GroupingSets;
    else if (d.mariadb)
        d.grouping = GroupingSyntax::Rollup;
    // Trino takes OFFSET only before LIMIT; the standard form suits it and these.
    d.fetchFirst = d.sqlServer || is("oracle") || is("db2") || is("trino") || is("presto");
    // Texts compare as their bytes: by default (PostgreSQL's deterministic collations,
    // SQLite's BINARY, Trino, Spark) or cast to bytes (MariaDB). SQL Server's collations
    // ignore trailing blanks even in binary form, and an unknown server may ignore case.
    d.exactTexts = d.sqlite || d.postgres || d.mariadb || is("trino") || is("presto") ||
                   is("spark") || is("hive");
    return d;
}

std::string derivedTable(Provider& p, CommandType kind, const std::string& text) {
    if (kind == CommandType::cmdTable || kind == CommandType::cmdTableDirect)
        return p.tableReference(text) + " rg_src";
    std::string sql = text;
    auto blank = [](char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; };
    while (!sql.empty() && (sql.back() == ';' || blank(sql.back())))
        sql.pop_back();
    // The line break ends a trailing "--" comment of the text.
    return "(" + sql + "\n) rg_src";
}

Value boundValue(const ServerDialect& d, FieldKind k, const Value& v) {
    if (d.mariadb && v.type() == Value::Type::Time && k == FieldKind::Time)
        return Value::fromText(v.displayText());
    if (!d.postgres || v.isNull())
        return v;
    if (v.isDateLike() && isDateKind(k))
        return Value::fromText(v.displayText());
    if (v.type() == Value::Type::Double && k == FieldKind::Float) {
        const double x = v.asDouble();
        if (std::isnan(x))
            return Value::fromText("NaN");
        if (std::isinf(x))
            return Value::fromText(x > 0 ? "Infinity" : "-Infinity");
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, x).ptr;
        return Value::fromText(std::string(text, end));
    }
    return v;
}

namespace {

// SQLite reads a bound decimal's digits as a 64-bit integer when they are one, and else as
// the nearest double when it compares them with a number column: a literal that is not the
// shortest decimal of that double would be compared as another number
// ("1.000000000000000000001" as 1).
bool sqliteReadsExactly(const Value& literal) {
    if (literal.isWideDecimal())
        return false;
    const Decimal exact = *literal.asDecimal();
    if (exact.scale == 0 && exact.toInt64())
        return true;
    const std::string text = literal.displayText();
    double d = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
    if (ec != std::errc() || end != text.data() + text.size())
        return false;
    const std::optional<Decimal> shortest = Decimal::fromDouble(d);
    return shortest && compare(*shortest, exact) == 0;
}

class FilterWriter {
public:
    FilterWriter(DataSet& ds, const ServerDialect& d) : ds_(ds), d_(d) {}

    std::string write(const FilterExpr& e) {
        const FilterTerm t = e.term();
        switch (t.kind) {
        case FilterTerm::Kind::Or:
        case FilterTerm::Kind::And: {
            std::string sql = "(";
            for (size_t i = 0; i < t.operands.size(); ++i) {
                if (i)
                    sql += t.kind == FilterTerm::Kind::Or ? " OR " : " AND ";
                sql += write(*t.operands[i]);
            }
            return sql + ")";
        }
        case FilterTerm::Kind::Not:
            // Every condition below is true or false, never unknown, so NOT keeps a null's
            // row as the in-memory filter does.
            return "NOT " + write(*t.operands[0]);
        case FilterTerm::Kind::IsNull:
            return column(t.field) + (t.negate ? " IS NOT NULL" : " IS NULL");
        case FilterTerm::Kind::Compare:
            return compare(t);
        case FilterTerm::Kind::Like:
            return like(t);
        case FilterTerm::Kind::In:
            return in(t);
        }
        return {};
    }

    std::vector<Value> params;

private:
    std::string column(int field) { return columnSql(ds_, field, d_); }

    [[noreturn]] void refuse(const FilterTerm& t, const char* why) {
        const Field& f = ds_.Fields(t.field);
        std::string what = f.FieldName();
        if (t.kind == FilterTerm::Kind::Like)
            what += (t.negate ? " NOT LIKE '" : " LIKE '") + t.literal.asText() + "'";
        else if (t.kind == FilterTerm::Kind::Compare)
            what += " " + t.op + " " + t.literal.displayText();
        throw ServerRefusal("在服务器上汇总时不能按这个条件筛选：" + what + "（" + why + "）");
    }

    std::string compare(const FilterTerm& t) {
        const auto [left, right] = sides(t);
        // A null row satisfies no comparison: the condition is false there, not unknown.
        return "(" + column(t.field) + " IS NOT NULL AND " + left + " " + t.op + " " + right + ")";
    }

    // Each literal is checked and bound as "=" would be.
    std::string in(const FilterTerm& t) {
        FilterTerm one = t;
        one.kind = FilterTerm::Kind::Compare;
        one.op = "=";
        std::string left, list;
        for (const Value& v : t.literals) {
            one.literal = v;
            const auto [l, r] = sides(one);
            left = l;
            list += (list.empty() ? "" : ", ") + r;
        }
        return "(" + column(t.field) + " IS NOT NULL AND " + left + " IN (" + list + "))";
    }

    // The two sides of a comparison, after refusing what the server would compare otherwise
    // than the in-memory filter; the literal's parameter is bound.
    std::pair<std::string, std::string> sides(const FilterTerm& t) {
        const FieldKind k = ds_.Fields(t.field).Kind();
        std::string left = column(t.field), right = "?";
        if (isBlobKind(k) || k == FieldKind::Memo)
            refuse(t, "长数据不能比较");
        if (isTextKind(k)) {
            if (t.op != "=" && t.op != "<>")
                refuse(t, "文字的大小按本程序的字符顺序比较，服务器的顺序与之不同");
            if (!d_.exactTexts)
                refuse(t, "服务器比较文字时可能忽略大小写或末尾的空格");
            if (d_.mariadb) {
                left = mariadbTextBytes(left);
                right = mariadbTextBytes(right);
            } else {
                left = bytewiseText(d_, left);
            }
        } else if (isDateKind(k) && d_.sqlite) {
            refuse(t, "SQLite 的日期按文字保存，写法不一定相同");
        } else if (d_.sqlite && t.literal.type() == Value::Type::Decimal &&
                   !sqliteReadsExactly(t.literal)) {
            refuse(t, "SQLite 把这个数读成最接近的浮点数，分不出这么多位");
        } else if (k == FieldKind::Boolean && (d_.mariadb || d_.sqlite)) {
            // FALSE below TRUE, as memory orders them; every value but 0 of a logical column
            // there (a number) memory reads as TRUE.
            left = "(" + left + " <> FALSE)";
        } else if (k == FieldKind::Boolean && !d_.postgres && t.op != "=" && t.op != "<>") {
            refuse(t, "这种数据库的逻辑值没有与本程序相同的大小");
        }
        params.push_back(boundValue(d_, k, t.literal));
        return {left, right};
    }

    std::string like(const FilterTerm& t) {
        const FieldKind k = ds_.Fields(t.field).Kind();
        const std::string& pattern = t.literal.asText();
        if (!isTextKind(k) || k == FieldKind::Memo)
            refuse(t, "LIKE 比较的是显示的文字，服务器比较的是它的值");
        if (!d_.exactTexts)
            refuse(t, "服务器比较文字时可能忽略大小写");
        // SQLite's GLOB and LIKE read the pattern as a C string; PostgreSQL takes no NUL.
        if (pattern.find('\0') != std::string::npos)
            refuse(t, "模式中有 NUL 字符，服务器的模式在那里就结束了");
        const std::string col = column(t.field);
        const std::string no = t.negate ? "NOT " : "";
        if (d_.sqlite) {
            // SQLite's LIKE ignores the case of ASCII letters; GLOB does not.
            std::string glob;
            for (char c : pattern) {
                if (c == '%')
                    glob += '*';
                else if (c == '_')
                    glob += '?';
                else if (c == '*' || c == '?' || c == '[')
                    glob += std::string("[") + c + "]";
                else
                    glob += c;
            }
            params.push_back(Value::fromText(glob));
            return "(" + col + " IS NOT NULL AND " + col + " " + no + "GLOB ?)";
        }
        // No escape character of the server's own (PostgreSQL and MariaDB take "\\"): "!"
        // is declared and doubled, the pattern has no other use for it.
        std::string escaped;
        for (char c : pattern) {
            if (c == '!')
                escaped += '!';
            escaped += c;
        }
        params.push_back(Value::fromText(escaped));
        // A binary collation of UTF-8 matches "_" with one character and pads no blanks.
        auto utf8 = [](const std::string& x) {
            return "CONVERT(" + x + " USING utf8mb4) COLLATE utf8mb4_bin";
        };
        const std::string left = d_.mariadb ? utf8(col) : bytewiseText(d_, col);
        const std::string right = d_.mariadb ? utf8("?") : "?";
        return "(" + col + " IS NOT NULL AND " + left + " " + no + "LIKE " + right + " ESCAPE '!')";
    }

    DataSet& ds_;
    const ServerDialect& d_;
};

} // namespace

std::string columnsByPlace(int columns) {
    std::string names;
    for (int i = 1; i <= columns; ++i)
        names += (i > 1 ? ", rg_c" : "(rg_c") + std::to_string(i);
    return names + ")";
}

std::string columnSql(DataSet& ds, int field, const ServerDialect& dialect) {
    if (dialect.columnsByPlace)
        return "rg_src.rg_c" + std::to_string(field + 1);
    Provider& p = ds.connection()->provider();
    return "rg_src." + p.quoteIdentifier(ds.Fields(field).ColumnName());
}

SqlCondition filterCondition(DataSet& ds, const std::string& expression,
                             const ServerDialect& dialect) {
    SqlCondition c;
    if (expression.empty())
        return c;
    const auto expr = parseFilter(expression, ds);
    FilterWriter w(ds, dialect);
    c.sql = w.write(*expr);
    c.params = std::move(w.params);
    return c;
}

} // namespace rg
