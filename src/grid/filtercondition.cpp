#include "grid/filtercondition.h"

#include "common/datetime.h"
#include "common/displaytext.h"
#include "datasource/dataset.h"
#include "grid/grid.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace rg {
namespace {

// The expression's symbol of a comparison is also its name in a settings file. Blank and
// NonBlank, which an expression writes as a test for null (and empty text), have a name
// in the file only.
constexpr std::pair<FilterOperator, std::string_view> kOperators[] = {
    {FilterOperator::Equal, "="},     {FilterOperator::NotEqual, "<>"},
    {FilterOperator::Less, "<"},      {FilterOperator::LessOrEqual, "<="},
    {FilterOperator::Greater, ">"},   {FilterOperator::GreaterOrEqual, ">="},
    {FilterOperator::Like, "LIKE"},   {FilterOperator::NotLike, "NOT LIKE"},
    {FilterOperator::Blank, "BLANK"}, {FilterOperator::NonBlank, "NONBLANK"},
    {FilterOperator::InList, "IN"},
};

// The type piece of a list, whose values carry their own types.
constexpr std::string_view kListType = "list";

// A settings file names the type of a value, so that it reads back as the same value.
constexpr std::pair<Value::Type, std::string_view> kTypes[] = {
    {Value::Type::Null, "null"},         {Value::Type::Bool, "bool"},
    {Value::Type::Int, "int"},           {Value::Type::Double, "float"},
    {Value::Type::Decimal, "decimal"},   {Value::Type::Text, "text"},
    {Value::Type::Date, "date"},         {Value::Type::Time, "time"},
    {Value::Type::DateTime, "datetime"},
};

template <class T, size_t N>
std::optional<T> lookUp(const std::pair<T, std::string_view> (&table)[N], std::string_view name) {
    for (const auto& [value, text] : table)
        if (text == name)
            return value;
    return std::nullopt;
}

template <class T, size_t N>
std::string_view nameOf(const std::pair<T, std::string_view> (&table)[N], T value) {
    for (const auto& [v, text] : table)
        if (v == value)
            return text;
    return table[0].second;
}

std::string doubled(const std::string& s, char c) {
    std::string out;
    out.reserve(s.size() + 2);
    for (char x : s) {
        out += x;
        if (x == c)
            out += c;
    }
    return out;
}

std::string quoted(const std::string& s) {
    return "'" + doubled(s, '\'') + "'";
}

// For the data set the literal must compare equal to the value it came from: doubles with
// the digits that read back exactly (the display text keeps 15), integers and decimals with
// all of theirs, dates and times as their texts, which keep every microsecond.
std::string literal(const Value& v, FilterTextUse use) {
    const bool forUser = use == FilterTextUse::User;
    switch (v.type()) {
    case Value::Type::Null:
        return "NULL";
    case Value::Type::Bool:
        return forUser ? v.displayText() : (v.asBool() ? "TRUE" : "FALSE");
    case Value::Type::Int:
    case Value::Type::Decimal:
        return v.displayText();
    case Value::Type::Double:
        // NaN and the infinities have no digits: their names, quoted, read back as them.
        if (!std::isfinite(v.asDouble()))
            return quoted(v.displayText());
        return forUser ? v.displayText() : formatShortest(v.asDouble());
    case Value::Type::Date:
        // A date's text has no time of day: one that holds a time goes as its serial.
        if (!forUser && v.micros() % kMicrosPerDay != 0 && !isInfinityMicros(v.micros()))
            return formatShortest(v.asDouble());
        return quoted(v.displayText());
    case Value::Type::Time:
    case Value::Type::DateTime:
        return quoted(v.displayText());
    case Value::Type::Text:
    case Value::Type::Blob:
        break;
    }
    return quoted(v.displayText());
}

std::string conditionText(const std::string& name, FieldKind kind, const FilterCondition& c,
                          FilterTextUse use) {
    const bool forUser = use == FilterTextUse::User;
    if (c.op == FilterOperator::InList) {
        std::string list;
        for (const Value& v : c.values)
            list += (list.empty() ? "" : ", ") + literal(v, use);
        return name + " IN (" + list + ")";
    }
    if (!TakesValue(c.op)) {
        const bool blank = c.op == FilterOperator::Blank;
        if (forUser)
            return name + (blank ? " IS BLANK" : " IS NOT BLANK");
        if (!isTextKind(kind))
            return name + (blank ? " IS NULL" : " IS NOT NULL");
        return blank ? "(" + name + " IS NULL OR " + name + " = '')"
                     : "(" + name + " IS NOT NULL AND " + name + " <> '')";
    }
    if (c.value.isNull() && (c.op == FilterOperator::Equal || c.op == FilterOperator::NotEqual))
        return name + (c.op == FilterOperator::Equal ? " IS NULL" : " IS NOT NULL");
    // A pattern is matched against the display text, so it is always a quoted text. A
    // number typed for a number field shows as the number it is read as.
    const bool typedNumber = forUser && c.value.type() == Value::Type::Text && isNumericKind(kind);
    std::string lit;
    if (IsPattern(c.op))
        lit = quoted(c.value.displayText());
    else if (typedNumber)
        lit = c.value.displayText();
    else
        lit = literal(c.value, use);
    return name + " " + std::string(nameOf(kOperators, c.op)) + " " + lit;
}

std::optional<Value> dateLike(Value::Type type, double serial) {
    if (type == Value::Type::Date)
        return Value::fromDate(serial);
    if (type == Value::Type::Time)
        return Value::fromTime(serial);
    return Value::fromDateTime(serial);
}

// A count of microseconds stands where a serial cannot: "us" after it sets it apart from
// every number.
constexpr std::string_view kMicrosSuffix = "us";

// Every digit a value needs to read back as itself. Dates and times go as their serials,
// unless the serial loses microseconds (later years) or the value is an infinity.
std::string storedValue(const Value& v) {
    switch (v.type()) {
    case Value::Type::Null:
        return {};
    case Value::Type::Bool:
        return v.asBool() ? "1" : "0";
    case Value::Type::Int:
        return formatInt(v.asInt());
    case Value::Type::Decimal:
        return v.displayText();
    case Value::Type::Double:
        return formatShortest(v.asDouble());
    case Value::Type::Date:
    case Value::Type::Time:
    case Value::Type::DateTime: {
        const double serial = v.asDouble();
        const std::optional<Value> back = dateLike(v.type(), serial);
        if (back && back->type() == v.type() && back->micros() == v.micros())
            return formatShortest(serial);
        return formatInt(v.micros()) + std::string(kMicrosSuffix);
    }
    case Value::Type::Text:
    case Value::Type::Blob:
        break;
    }
    return v.asText();
}

std::optional<Value> parseStoredValue(Value::Type type, const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (type == Value::Type::Text)
        return Value::fromText(text);
    if (type == Value::Type::Null)
        return Value::null();
    if (type == Value::Type::Decimal)
        return exactNumber(text); // beyond 38 digits too
    if (type == Value::Type::Int || type == Value::Type::Bool) {
        int64_t i = 0;
        const auto [end, ec] = std::from_chars(first, last, i);
        if (ec != std::errc() || end != last)
            return std::nullopt;
        return type == Value::Type::Int ? Value::fromInt(i) : Value::fromBool(i != 0);
    }
    const bool date =
        type == Value::Type::Date || type == Value::Type::Time || type == Value::Type::DateTime;
    if (date && text.size() > kMicrosSuffix.size() && text.ends_with(kMicrosSuffix)) {
        int64_t us = 0;
        last -= kMicrosSuffix.size();
        const auto [end, ec] = std::from_chars(first, last, us);
        if (ec != std::errc() || end != last)
            return std::nullopt;
        return Value::fromMicros(type, us);
    }
    double d = 0;
    const auto [end, ec] = std::from_chars(first, last, d);
    if (ec != std::errc() || end != last)
        return std::nullopt;
    return date ? dateLike(type, d) : Value::fromDouble(d);
}

std::string joinPieces(const std::vector<std::string>& pieces) {
    std::string out;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i)
            out += '\t';
        for (char c : pieces[i]) {
            if (c == '\\')
                out += "\\\\";
            else if (c == '\t')
                out += "\\t";
            else
                out += c;
        }
    }
    return out;
}

std::vector<std::string> splitPieces(std::string_view text) {
    std::vector<std::string> pieces(1);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\t') {
            pieces.emplace_back();
            continue;
        }
        if (c == '\\' && i + 1 < text.size()) {
            ++i;
            c = text[i] == 't' ? '\t' : text[i];
        }
        pieces.back() += c;
    }
    return pieces;
}

void storeTyped(const Value& v, std::vector<std::string>& pieces) {
    const Value::Type type = v.type() == Value::Type::Blob ? Value::Type::Text : v.type();
    pieces.emplace_back(nameOf(kTypes, type));
    pieces.push_back(storedValue(v));
}

// A list holds at least two values, as oneOf makes it.
std::optional<std::vector<Value>> parseList(std::string_view text) {
    const std::vector<std::string> pieces = splitPieces(text);
    if (pieces.size() < 4 || pieces.size() % 2 != 0)
        return std::nullopt;
    std::vector<Value> values;
    for (size_t i = 0; i < pieces.size(); i += 2) {
        const auto type = lookUp(kTypes, pieces[i]);
        auto value = type ? parseStoredValue(*type, pieces[i + 1]) : std::nullopt;
        if (!value || value->isNull())
            return std::nullopt;
        values.push_back(std::move(*value));
    }
    return values;
}

} // namespace

ColumnFilter ColumnFilter::equalTo(Value v) {
    return {{FilterOperator::Equal, std::move(v), {}}, std::nullopt, false};
}
ColumnFilter ColumnFilter::oneOf(std::vector<Value> values, bool orBlanks) {
    ColumnFilter f;
    if (values.size() == 1) {
        f.first = {FilterOperator::Equal, std::move(values[0]), {}};
    } else {
        f.first.op = FilterOperator::InList;
        f.first.values = std::move(values);
    }
    if (orBlanks) {
        f.second = FilterCondition{FilterOperator::Blank, {}, {}};
        f.orJoin = true;
    }
    return f;
}

ColumnFilter ColumnFilter::blanks() {
    return {{FilterOperator::Blank, {}, {}}, std::nullopt, false};
}
ColumnFilter ColumnFilter::nonBlanks() {
    return {{FilterOperator::NonBlank, {}, {}}, std::nullopt, false};
}

bool TakesValue(FilterOperator op) {
    return op != FilterOperator::Blank && op != FilterOperator::NonBlank &&
           op != FilterOperator::InList;
}

bool IsPattern(FilterOperator op) {
    return op == FilterOperator::Like || op == FilterOperator::NotLike;
}

std::string FilterFieldName(const std::string& fieldName) {
    return "[" + doubled(fieldName, ']') + "]";
}

std::string ColumnFilterText(const std::string& name, FieldKind kind, const ColumnFilter& f,
                             FilterTextUse use) {
    std::string text = conditionText(name, kind, f.first, use);
    if (f.second)
        text += (f.orJoin ? " OR " : " AND ") + conditionText(name, kind, *f.second, use);
    return text;
}

std::string StoredColumnFilter(const ColumnFilter& f) {
    std::vector<std::string> pieces{f.orJoin ? "OR" : "AND"};
    for (const FilterCondition* c : {&f.first, f.second ? &*f.second : nullptr}) {
        if (!c)
            continue;
        pieces.emplace_back(nameOf(kOperators, c->op));
        if (c->op == FilterOperator::InList) {
            std::vector<std::string> list;
            for (const Value& v : c->values)
                storeTyped(v, list);
            pieces.emplace_back(kListType);
            pieces.push_back(joinPieces(list));
            continue;
        }
        storeTyped(c->value, pieces);
    }
    return joinPieces(pieces);
}

std::optional<ColumnFilter> ParseStoredColumnFilter(std::string_view text) {
    const std::vector<std::string> pieces = splitPieces(text);
    if ((pieces.size() != 4 && pieces.size() != 7) || (pieces[0] != "AND" && pieces[0] != "OR"))
        return std::nullopt;
    std::vector<FilterCondition> comparisons;
    for (size_t i = 1; i + 2 < pieces.size(); i += 3) {
        const auto op = lookUp(kOperators, pieces[i]);
        if (op == FilterOperator::InList || pieces[i + 1] == kListType) {
            auto values = parseList(pieces[i + 2]);
            if (op != FilterOperator::InList || pieces[i + 1] != kListType || !values)
                return std::nullopt;
            comparisons.push_back({*op, {}, std::move(*values)});
            continue;
        }
        const auto type = lookUp(kTypes, pieces[i + 1]);
        const auto value = type ? parseStoredValue(*type, pieces[i + 2]) : std::nullopt;
        if (!op || !value)
            return std::nullopt;
        comparisons.push_back({*op, *value, {}});
    }
    ColumnFilter f{comparisons[0], std::nullopt, pieces[0] == "OR"};
    if (comparisons.size() == 2)
        f.second = comparisons[1];
    return f;
}

void SetFilterExpression(TdxDBGrid& grid, const std::string& expression) {
    if (!grid.Filter.Empty())
        grid.Filter.Clear();
    if (DataSet* ds = grid.dataSet())
        ds->SetFilter(expression);
}

} // namespace rg
