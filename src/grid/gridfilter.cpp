#include "grid/gridfilter.h"

#include "common/codepage.h"
#include "common/datetime.h"
#include "common/displaytext.h"
#include "grid/grid.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace rg {
namespace {

std::string doubled(const std::string& s, char c) {
    std::string out;
    out.reserve(s.size() + 2);
    for (char x : s) {
        out += x;
        if (x == c) out += c;
    }
    return out;
}

std::string quoted(const std::string& s) { return "'" + doubled(s, '\'') + "'"; }

// The shortest digits that read back as the same double, whatever the process locale.
std::string exactNumber(double d) {
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, res.ptr);
}

// For the data set the literal must compare equal to the value it came from: doubles with
// the digits that read back exactly (the display text keeps 15), integers and decimals with
// all of theirs, dates and times as their texts, which keep every microsecond.
std::string literal(const Value& v, bool forDisplay) {
    switch (v.type()) {
    case Value::Type::Null: return "NULL";
    case Value::Type::Bool: return forDisplay ? v.displayText() : (v.asBool() ? "TRUE" : "FALSE");
    case Value::Type::Int: case Value::Type::Decimal: return v.displayText();
    case Value::Type::Double:
        // NaN and the infinities have no digits: their names, quoted, read back as them.
        if (!std::isfinite(v.asDouble())) return quoted(v.displayText());
        return forDisplay ? v.displayText() : exactNumber(v.asDouble());
    case Value::Type::Date:
        // A date's text has no time of day: one that holds a time goes as its serial.
        if (!forDisplay && v.micros() % kMicrosPerDay != 0 && !isInfinityMicros(v.micros())) return exactNumber(v.asDouble());
        return quoted(v.displayText());
    case Value::Type::Time: case Value::Type::DateTime: return quoted(v.displayText());
    case Value::Type::Text: case Value::Type::Blob: break;
    }
    return quoted(v.displayText());
}

const char* symbol(FilterOperator op) {
    switch (op) {
    case FilterOperator::Equal: return "=";
    case FilterOperator::NotEqual: return "<>";
    case FilterOperator::Less: return "<";
    case FilterOperator::LessOrEqual: return "<=";
    case FilterOperator::Greater: return ">";
    case FilterOperator::GreaterOrEqual: return ">=";
    case FilterOperator::Like: return "LIKE";
    case FilterOperator::NotLike: return "NOT LIKE";
    case FilterOperator::Blank: case FilterOperator::NonBlank: break;
    }
    return "";
}

std::string conditionText(const std::string& name, FieldKind kind, const FilterCondition& c, bool forDisplay) {
    const bool blank = c.op == FilterOperator::Blank;
    if (blank || c.op == FilterOperator::NonBlank) {
        if (forDisplay) return name + (blank ? " IS BLANK" : " IS NOT BLANK");
        if (!isTextKind(kind)) return name + (blank ? " IS NULL" : " IS NOT NULL");
        return blank ? "(" + name + " IS NULL OR " + name + " = '')" : "(" + name + " IS NOT NULL AND " + name + " <> '')";
    }
    if (c.value.isNull() && (c.op == FilterOperator::Equal || c.op == FilterOperator::NotEqual))
        return name + (c.op == FilterOperator::Equal ? " IS NULL" : " IS NOT NULL");
    const bool like = c.op == FilterOperator::Like || c.op == FilterOperator::NotLike;
    // A pattern is matched against the display text, so it is always a quoted text. A
    // number typed for a number field shows as the number it is read as.
    const bool typedNumber = forDisplay && c.value.type() == Value::Type::Text && isNumericKind(kind);
    std::string lit;
    if (like) lit = quoted(c.value.displayText());
    else if (typedNumber) lit = c.value.displayText();
    else lit = literal(c.value, forDisplay);
    return name + " " + symbol(c.op) + " " + lit;
}

} // namespace

ColumnFilter ColumnFilter::equalTo(Value v) { return {{FilterOperator::Equal, std::move(v)}, std::nullopt, false}; }
ColumnFilter ColumnFilter::blanks() { return {{FilterOperator::Blank, {}}, std::nullopt, false}; }
ColumnFilter ColumnFilter::nonBlanks() { return {{FilterOperator::NonBlank, {}}, std::nullopt, false}; }

void TdxDBGridFilter::SetColumnFilter(const TdxDBGridColumn& c, std::optional<ColumnFilter> f) {
    Conditions next = conditions_;
    auto it = std::find_if(next.begin(), next.end(), [&](const auto& e) { return e.first == &c; });
    if (!f) {
        if (it == next.end()) return;
        next.erase(it);
    } else if (it != next.end()) {
        it->second = std::move(*f);
    } else {
        next.emplace_back(&c, std::move(*f));
    }
    apply(std::move(next));
}

void TdxDBGridFilter::Clear() { apply({}); }

const ColumnFilter* TdxDBGridFilter::ColumnFilterOf(const TdxDBGridColumn& c) const {
    for (const auto& [column, filter] : conditions_)
        if (column == &c) return &filter;
    return nullptr;
}

void TdxDBGridFilter::apply(Conditions conditions) {
    Conditions old = std::move(conditions_);
    conditions_ = std::move(conditions);
    DataSet* ds = grid_.filteredDataSet();
    if (!ds) {
        grid_.filterChanged();
        return;
    }
    const std::string expression = Expression();
    try {
        grid_.setDataSetFilter(expression);
    } catch (...) {
        // Refused by the data set: nothing changed. Failed afterwards, in the reload: the
        // filter stands and so do its conditions.
        if (ds->Filter() != expression) conditions_ = std::move(old);
        grid_.filterChanged();
        throw;
    }
    // A closed data set reports nothing; the status must follow all the same.
    grid_.filterChanged();
}

bool TdxDBGridFilter::forgetColumn(const TdxDBGridColumn& c) {
    const auto it = std::find_if(conditions_.begin(), conditions_.end(), [&](const auto& e) { return e.first == &c; });
    if (it == conditions_.end()) return false;
    conditions_.erase(it);
    return true;
}

void TdxDBGridFilter::reapply() { apply(std::move(conditions_)); }

void TdxDBGridFilter::dataSetClosed() {
    if (conditions_.empty()) return;
    conditions_.clear();
    if (DataSet* ds = grid_.filteredDataSet()) ds->SetFilter({});
}

std::string TdxDBGridFilter::render(bool forDisplay) const {
    std::string out;
    for (const auto& [column, filter] : conditions_) {
        const Field* f = column->field();
        const FieldKind kind = f ? f->Kind() : FieldKind::Unknown;
        const std::string name =
            forDisplay ? column->Caption() : "[" + doubled(f ? f->FieldName() : column->FieldName(), ']') + "]";
        std::string part = conditionText(name, kind, filter.first, forDisplay);
        if (filter.second) {
            part += filter.orJoin ? " OR " : " AND ";
            part += conditionText(name, kind, *filter.second, forDisplay);
            if (conditions_.size() > 1) part = "(" + part + ")";
        }
        if (!out.empty()) out += " AND ";
        out += part;
    }
    return out;
}

std::string TdxDBGridFilter::Expression() const { return render(false); }

std::string TdxDBGridFilter::DisplayText() const {
    if (conditions_.empty()) {
        const DataSet* ds = grid_.filteredDataSet();
        return ds && ds->Filtered() ? ds->Filter() : std::string();
    }
    return render(true);
}

} // namespace rg
