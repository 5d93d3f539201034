#include "common/asciicase.h"
#include "common/error.h"
#include "datasource/dataset.h"
#include "datasource/resultbuffer.h"
#include "grid/summaryengine.h"

#include <algorithm>

// Summary formulas over the summaries of each group: the summaries they read are computed
// with the others, then each formula is evaluated once over a column per summary holding
// one row per group and a last row for the summary footer.

namespace rg {
namespace {

// A summary's value as a cell of the column kind its formula reads; null where it has none
// or leaves the kind's range.
void appendSummary(ColumnData& col, const SummaryValue& v) {
    const FieldKind k = col.kind();
    if (v.micros() && isDateKind(k)) {
        col.appendMicros(*v.micros());
        return;
    }
    if (v.kind() == SummaryValue::Kind::Float) {
        if (k == FieldKind::Float)
            col.appendDouble(v.number());
        else
            col.appendNull();
        return;
    }
    if (v.kind() != SummaryValue::Kind::Exact || isDateKind(k)) {
        col.appendNull();
        return;
    }
    if (k == FieldKind::Float) {
        col.appendDouble(v.toDouble());
        return;
    }
    const std::optional<Decimal> d = v.exact().toDecimal();
    if (!d) {
        col.appendNull();
    } else if (k == FieldKind::LargeInt) {
        if (const std::optional<int64_t> i = d->toInt64())
            col.appendInt(*i);
        else
            col.appendNull();
    } else {
        col.appendDecimal(*d);
    }
}

SummaryValue summaryOf(const ColumnData& col, int64_t row) {
    if (col.isNull(row))
        return {};
    const FieldKind k = col.kind();
    if (isDateKind(k))
        return SummaryValue::dateValue(col.intAt(row), k == FieldKind::Time);
    switch (col.storage()) {
    case Storage::Int:
        return SummaryValue::exactValue(Decimal::fromInt(col.intAt(row)));
    case Storage::Double:
        return SummaryValue::floatValue(col.doubleAt(row));
    default:
        return SummaryValue::exactValue(col.decimalAt(row));
    }
}

} // namespace

TdxSummaryType SummaryTypeOfAggregate(AggregateKind kind) {
    switch (kind) {
    case AggregateKind::Sum:
    case AggregateKind::Avg:
        return TdxSummaryType::cstSum;
    case AggregateKind::Min:
        return TdxSummaryType::cstMin;
    case AggregateKind::Max:
        return TdxSummaryType::cstMax;
    default:
        return TdxSummaryType::cstCount;
    }
}

std::vector<AggregateRef> SummaryEngine::formulaReads(const std::vector<SummaryExpression>& exprs) {
    std::vector<AggregateRef> reads;
    for (const SummaryExpression& e : exprs)
        for (const AggregateRef& a : e.aggregates())
            if (std::find(reads.begin(), reads.end(), a) == reads.end())
                reads.push_back(a);
    return reads;
}

int SummaryEngine::formulaOfColumn(const std::string& columnName) const {
    for (size_t f = 0; f < formulas_.size(); ++f)
        if (!columnName.empty() && equalsIgnoringCase(formulas_[f].column, columnName))
            return static_cast<int>(f);
    return -1;
}

std::vector<CalcInput> SummaryEngine::formulaInputs(const DataSet& ds) {
    std::vector<CalcInput> inputs;
    for (int i = 0; i < ds.FieldCount(); ++i)
        inputs.push_back(
            {ds.Fields(i).FieldName(), ds.Fields(i).DisplayLabel(), ds.Fields(i).Kind()});
    return inputs;
}

std::vector<SummaryExpression>
SummaryEngine::compileFormulas(const DataSet& ds, const std::vector<SummaryFormula>& formulas) {
    const std::vector<CalcInput> inputs = formulaInputs(ds);
    std::vector<SummaryExpression> exprs;
    for (const SummaryFormula& f : formulas) {
        try {
            exprs.emplace_back(f.expression, inputs);
        } catch (const Error& e) {
            throw Error("汇总公式“" + f.name + "”：" + e.what());
        }
    }
    return exprs;
}

void SummaryEngine::computeFormulas(std::vector<SummaryExpression>& exprs,
                                    const std::vector<AggregateRef>& reads, RowTree& t,
                                    int itemCount, size_t sources,
                                    std::vector<SummaryValue>& footers) const {
    const int64_t rows = t.groupCount() + 1; // the footer last
    std::vector<ColumnData> columns;
    for (size_t r = 0; r < reads.size(); ++r) {
        ColumnData& col = columns.emplace_back(reads[r].columnKind);
        col.reserve(rows);
        for (int g = 0; g < t.groupCount(); ++g) {
            const std::vector<SummaryValue>& values = t.group(g).values;
            const size_t at = static_cast<size_t>(itemCount) + r;
            appendSummary(col, at < values.size() ? values[at] : SummaryValue::failed());
        }
        appendSummary(col,
                      sources + r < footers.size() ? footers[sources + r] : SummaryValue::failed());
    }
    footers.resize(std::min(footers.size(), sources));
    for (int g = 0; g < t.groupCount(); ++g) {
        if (t.group(g).values.size() > static_cast<size_t>(itemCount))
            t.group(g).values.resize(static_cast<size_t>(itemCount));
        t.group(g).formulas.assign(exprs.size(), SummaryValue{});
    }
    for (SummaryExpression& e : exprs) {
        std::vector<const ColumnData*> in;
        for (const AggregateRef& a : e.aggregates())
            in.push_back(&columns[static_cast<size_t>(std::find(reads.begin(), reads.end(), a) -
                                                      reads.begin())]);
        const ColumnData out = e.evaluate(in, rows);
        const size_t f = static_cast<size_t>(&e - exprs.data());
        for (int g = 0; g < t.groupCount(); ++g)
            t.group(g).formulas[f] = summaryOf(out, g);
        footers.push_back(summaryOf(out, rows - 1));
    }
}

} // namespace rg
