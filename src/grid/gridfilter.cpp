#include "grid/gridfilter.h"

#include "common/codepage.h"
#include "common/displaytext.h"
#include "common/progress.h"
#include "datasource/resultbuffer.h"
#include "grid/grid.h"
#include "grid/gridkeys.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>
#include <set>
#include <type_traits>
#include <unordered_set>

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

// For the data set the literal must compare equal to the value it came from: doubles and
// date serials with the digits that read back exactly (the display text keeps 15 digits
// and whole seconds), integers and decimals with all of theirs.
std::string literal(const Value& v, bool forDisplay) {
    switch (v.type()) {
    case Value::Type::Null: return "NULL";
    case Value::Type::Bool: return forDisplay ? v.displayText() : (v.asBool() ? "TRUE" : "FALSE");
    case Value::Type::Int: case Value::Type::Decimal: return v.displayText();
    case Value::Type::Double: return forDisplay ? v.displayText() : exactNumber(v.asDouble());
    case Value::Type::Date: case Value::Type::Time: case Value::Type::DateTime:
        return forDisplay ? quoted(v.displayText()) : exactNumber(v.asDouble());
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
    DataSet* ds = grid_.dataSet();
    if (!ds) {
        grid_.changed();
        return;
    }
    const std::string expression = Expression();
    if (ds->Filter().empty() && !expression.empty()) grid_.keepUnfilteredRows();
    try {
        grid_.filterChanging_ = true;
        ds->SetFilter(expression);
        grid_.filterChanging_ = false;
    } catch (...) {
        grid_.filterChanging_ = false;
        // Refused by the data set: nothing changed. Failed afterwards, in the reload: the
        // filter stands and so do its conditions.
        if (ds->Filter() != expression) conditions_ = std::move(old);
        grid_.changed();
        throw;
    }
    // A closed data set reports nothing; the status must follow all the same.
    grid_.changed();
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
    if (DataSet* ds = grid_.dataSet()) ds->SetFilter({});
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
        const DataSet* ds = grid_.dataSet();
        return ds && ds->Filtered() ? ds->Filter() : std::string();
    }
    return render(true);
}

FilterValues TdxDBGridFilter::DropDownValues(const TdxDBGridColumn& c) const {
    FilterValues out;
    const Field* f = c.field();
    DataSet* ds = grid_.dataSet();
    if (!f || !ds || !ds->Active()) return out;
    const int field = f->Index();
    const bool binary = isBlobKind(f->Kind());
    const std::vector<int32_t>& rows = grid_.tree_.data;
    const size_t limit = MaxDropDownCount;
    const int64_t total = static_cast<int64_t>(rows.size());
    auto report = [&](size_t i) {
        if ((i & (kProgressStep - 1)) == 0) reportProgress("正在收集筛选值", static_cast<int64_t>(i), total);
    };
    const DataSet::ColumnView v = ds->columnView(field);
    // The smallest distinct values seen so far, each with the first record that holds it:
    // once there are enough, most records fail one comparison with the largest. Records go
    // in their own order, not the shown one, which may be sorted by this very column and
    // would let every group start below the largest again.
    auto smallest = [&](auto keyOf, auto less) {
        using Key = decltype(keyOf(int64_t(0)));
        std::map<Key, int32_t, decltype(less)> kept(less);
        // The exact keys kept: a repeated value costs one hash lookup.
        std::unordered_set<Key> keys;
        for (int32_t rec = 0; rec < static_cast<int32_t>(rows.size()); ++rec) {
            report(static_cast<size_t>(rec));
            const int64_t row = v.row(rec);
            if (v.column->isNull(row)) {
                out.hasBlanks = true;
                continue;
            }
            if (binary) continue;
            const Key k = keyOf(row);
            if constexpr (std::is_same_v<Key, std::string_view>)
                if (k.empty()) {
                    out.hasBlanks = true;
                    continue;
                }
            if (kept.size() == limit && !less(k, std::prev(kept.end())->first)) continue;
            if (keys.count(k)) continue;
            if (!kept.try_emplace(k, rec).second) continue;
            keys.insert(k);
            if (kept.size() > limit) {
                keys.erase(std::prev(kept.end())->first);
                kept.erase(std::prev(kept.end()));
            }
        }
        for (const auto& [key, record] : kept) out.values.push_back(ds->value(record, field));
    };
    const Storage storage = v.column ? v.column->storage() : Storage::Decimal;
    if (v.column && storage == Storage::Int && f->Kind() != FieldKind::Boolean) {
        smallest([&](int64_t row) { return v.column->intAt(row); }, std::less<int64_t>());
        return out;
    }
    if (v.column && storage == Storage::Double) {
        // -0.0 and 0.0 are one value, as compareValues has it.
        smallest([&](int64_t row) { return v.column->doubleAt(row); }, std::less<double>());
        return out;
    }
    if (v.column && storage == Storage::Text && v.column->hasCodes()) {
        // The first shown row of each code, then the codes' texts in code page order; texts
        // the code page cannot tell apart are one value, the first shown.
        std::vector<int32_t> firstAt(v.column->codeCount(), -1);  // code 0 included
        for (size_t i = 0; i < rows.size(); ++i) {
            report(i);
            int32_t& first = firstAt[v.column->codeAt(v.row(rows[i]))];
            if (first < 0) first = static_cast<int32_t>(i);
        }
        std::vector<uint32_t> codes;
        for (uint32_t code = 1; code < firstAt.size(); ++code) {
            if (firstAt[code] < 0) continue;
            if (v.column->codeText(code).empty()) out.hasBlanks = true;
            else codes.push_back(code);
        }
        out.hasBlanks = out.hasBlanks || firstAt[0] >= 0;
        std::vector<std::string> ansi(firstAt.size());
        for (uint32_t code : codes) ansi[code] = toAnsi(v.column->codeText(code));
        std::sort(codes.begin(), codes.end(), [&](uint32_t a, uint32_t b) {
            return ansi[a] != ansi[b] ? ansi[a] < ansi[b] : firstAt[a] < firstAt[b];
        });
        for (size_t i = 0; i < codes.size() && out.values.size() < limit; ++i)
            if (i == 0 || ansi[codes[i]] != ansi[codes[i - 1]])
                out.values.push_back(ds->value(rows[static_cast<size_t>(firstAt[codes[i]])], field));
        return out;
    }
    if (v.column && storage == Storage::Text) {
        smallest([&](int64_t row) { return v.column->textAt(row); },
                 [](std::string_view a, std::string_view b) { return ansiCompare(a, b) < 0; });
        return out;
    }
    // Posted edits, decimals, Booleans: the values themselves.
    // Texts are ordered by their code page bytes, converted once per distinct candidate.
    struct Entry {
        Value value;
        std::string key;
    };
    auto less = [](const Entry& a, const Entry& b) {
        const bool texts = a.value.type() == Value::Type::Text && b.value.type() == Value::Type::Text;
        return texts ? a.key < b.key : compareValues(a.value, b.value) < 0;
    };
    std::set<Entry, decltype(less)> kept(less);
    for (size_t i = 0; i < rows.size(); ++i) {
        report(i);
        const int rec = rows[i];
        if (ds->isNull(rec, field)) {
            out.hasBlanks = true;
            continue;
        }
        if (binary) continue;
        Entry e{ds->value(rec, field), {}};
        if (e.value.type() == Value::Type::Text) {
            if (e.value.asText().empty()) {
                out.hasBlanks = true;
                continue;
            }
            e.key = toAnsi(e.value.asText());
        }
        if (kept.size() == limit && !less(e, *kept.rbegin())) continue;
        if (kept.insert(std::move(e)).second && kept.size() > limit) kept.erase(std::prev(kept.end()));
    }
    out.values.reserve(kept.size());
    for (const Entry& e : kept) out.values.push_back(e.value);
    return out;
}

} // namespace rg
