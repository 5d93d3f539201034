#include "calc/calccolumns.h"
#include "calc/calcfield.h"
#include "calc/calcnodes.h"
#include "common/asciicase.h"
#include "common/error.h"
#include "datasource/resultbuffer.h"

namespace rg {
namespace {

// Rows per batch: the vectors of a node stay in the cache between one node and the next.
constexpr int kBatchRows = 1024;

void append(ColumnData& col, calc::Type t, const calc::Vec& v) {
    for (int r = 0; r < v.n; ++r) {
        const auto k = static_cast<size_t>(r);
        if (v.null[k] || t == calc::Type::Null) {
            col.appendNull();
            continue;
        }
        switch (t) {
        case calc::Type::Bool:
        case calc::Type::Int:
            col.appendInt(v.i[k]);
            break;
        case calc::Type::Date:
            col.appendMicros(v.i[k]);
            break;
        case calc::Type::Double:
            col.appendDouble(v.d[k]);
            break;
        case calc::Type::Decimal:
            col.appendDecimal(v.m[k]);
            break;
        default:
            col.appendText(v.t[k]);
        }
    }
}

} // namespace

ColumnData CalcExpression::evaluate(const std::vector<const ColumnData*>& columns, int64_t rows) {
    ColumnData out(kind_);
    out.reserve(rows);
    for (int64_t first = 0; first < rows; first += kBatchRows) {
        const calc::Batch b{columns, first,
                            static_cast<int>(std::min<int64_t>(kBatchRows, rows - first))};
        append(out, root_->type, root_->run(b));
    }
    out.shrink();
    return out;
}

void AppendCalculatedColumns(ResultBuffer& buf, const std::vector<CalculatedField>& fields,
                             const std::vector<std::string>& captions) {
    std::vector<CalcInput> inputs;
    for (size_t i = 0; i < buf.info.size(); ++i)
        inputs.push_back({buf.info[i].name, i < captions.size() ? captions[i] : std::string(),
                          buf.info[i].kind});
    for (const CalculatedField& f : fields) {
        for (const CalcInput& in : inputs)
            if (equalsIgnoringCase(in.name, f.name))
                throw Error("计算字段“" + f.name + "”与已有的字段同名");
        if (f.name.empty())
            throw Error("计算字段需要名称");
        try {
            CalcExpression e(f.expression, inputs);
            std::vector<const ColumnData*> columns;
            for (const ColumnData& c : buf.columns)
                columns.push_back(&c);
            ColumnData data = e.evaluate(columns, buf.rows);
            ColumnInfo info;
            info.name = f.name;
            info.kind = e.kind();
            buf.info.push_back(info);
            buf.columns.push_back(std::move(data));
            inputs.push_back({f.name, {}, e.kind()});
        } catch (const Error& e) {
            throw Error("计算字段“" + f.name + "”：" + e.what());
        }
    }
}

} // namespace rg
