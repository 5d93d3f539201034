#include "datasource/pgdatetexts.h"

#include "common/error.h"

#include <algorithm>

namespace rg {

std::optional<std::unique_ptr<ResultBuffer>>
queryWithServerDateTexts(const std::string& text, const QueryRunner& run,
                         const std::function<std::string(const std::string&)>& quote,
                         const std::vector<FieldKind>& known) {
    std::string sql = text;
    while (!sql.empty() && (sql.back() == ';' || sql.back() == ' ' || sql.back() == '\n' ||
                            sql.back() == '\t' || sql.back() == '\r'))
        sql.pop_back();
    // The columns and their kinds, without a row. A text that is no query (a statement with
    // a result of its own, a second statement) is not wrapped.
    std::vector<ColumnInfo> info;
    const bool shapeKnown =
        !known.empty() && std::find(known.begin(), known.end(), FieldKind::Unknown) == known.end();
    if (shapeKnown) {
        for (FieldKind k : known)
            info.push_back(ColumnInfo{"", k});
    } else {
        try {
            info = run("SELECT * FROM (" + sql + "\n) AS rg_shape LIMIT 0")->info;
        } catch (const Error&) {
            return std::nullopt;
        }
    }
    if (std::none_of(info.begin(), info.end(),
                     [](const ColumnInfo& c) { return isDateKind(c.kind); }))
        return std::nullopt;
    // Columns renamed by position: a result may repeat a name.
    std::string names, select;
    for (size_t i = 0; i < info.size(); ++i) {
        const std::string name = quote("c" + std::to_string(i + 1));
        names += (i ? ", " : "") + name;
        select += (i ? ", " : "") + (isDateKind(info[i].kind) ? name + "::text" : name);
    }
    auto buf = run("SELECT " + select + " FROM (" + sql + "\n) AS rg_q(" + names + ")");
    for (size_t i = 0; i < info.size() && i < buf->columns.size(); ++i) {
        ColumnInfo& ci = buf->info[i];
        if (shapeKnown) {
            if (isDateKind(info[i].kind))
                ci.kind = info[i].kind;
        } else {
            const std::string table = ci.baseTable, column = ci.baseColumn, schema = ci.baseSchema;
            ci = info[i];
            if (ci.baseTable.empty())
                ci.baseTable = table, ci.baseColumn = column, ci.baseSchema = schema;
        }
        if (!isDateKind(ci.kind))
            continue;
        const ColumnData& texts = buf->columns[i];
        ColumnData dates(ci.kind);
        dates.reserve(texts.size());
        for (int64_t r = 0; r < texts.size(); ++r) {
            if (texts.isNull(r))
                dates.appendNull();
            else
                dates.appendText(texts.textAt(r));
        }
        dates.shrink();
        buf->columns[i] = std::move(dates);
    }
    return buf;
}

} // namespace rg
