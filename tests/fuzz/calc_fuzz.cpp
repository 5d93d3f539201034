// Calculated field expressions on any text, as a setup file or the runner's --calc gives
// them: a fault is a message naming its character, and an expression that reads is computed
// over rows of extreme values and nulls into a column of its kind, one value per row, and so
// is its IS NULL test, which is never null.

#include "calc/calcfield.h"
#include "common/datetime.h"
#include "common/error.h"
#include "datasource/resultbuffer.h"
#include "fuzzsupport.h"

#include <cstdint>
#include <limits>
#include <string>

using namespace rg;
using rgfuzz::require;

namespace {

struct Rows {
    std::vector<CalcInput> inputs;
    std::vector<ColumnData> columns;
    std::vector<const ColumnData*> pointers;
    Rows() {
        const FieldKind kinds[] = {FieldKind::LargeInt, FieldKind::BCD,  FieldKind::Float,
                                   FieldKind::String,   FieldKind::Date, FieldKind::Boolean,
                                   FieldKind::DateTime};
        const char* names[] = {"i", "n", "d", "t", "day", "b", "at"};
        for (size_t k = 0; k < std::size(kinds); ++k) {
            inputs.push_back({names[k], std::string("标题") + names[k], kinds[k]});
            columns.emplace_back(kinds[k]);
        }
        columns[0].appendInt(std::numeric_limits<int64_t>::min());
        columns[0].appendInt(std::numeric_limits<int64_t>::max());
        columns[0].appendNull();
        columns[1].appendDecimal(Decimal{pow10i(38) - 1, 0});
        columns[1].appendDecimal(Decimal{-1, 38});
        columns[1].appendNull();
        columns[2].appendDouble(std::numeric_limits<double>::quiet_NaN());
        columns[2].appendDouble(-std::numeric_limits<double>::infinity());
        columns[2].appendDouble(0.0);
        columns[3].appendText("");
        columns[3].appendText(" 中文 x ");
        columns[3].appendNull();
        columns[4].appendMicros(kInfinityMicros);
        columns[4].appendMicros(kFirstDateMicros);
        columns[4].appendNull();
        columns[5].appendInt(1);
        columns[5].appendNull();
        columns[5].appendInt(0);
        columns[6].appendMicros(kMinusInfinityMicros);
        columns[6].appendMicros(kLastDateMicros);
        columns[6].appendMicros(0);
        for (const ColumnData& c : columns)
            pointers.push_back(&c);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Rows rows;
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        CalcExpression e(text, rows.inputs);
        const ColumnData out = e.evaluate(rows.pointers, 3);
        require(out.size() == 3 && out.kind() == e.kind(), "one value per row, of its kind");
        for (int64_t r = 0; r < 3; ++r)
            out.valueAt(r).displayText();
        CalcExpression test("(" + text + ") IS NULL", rows.inputs);
        const ColumnData nulls = test.evaluate(rows.pointers, 3);
        for (int64_t r = 0; r < 3; ++r) {
            require(!nulls.isNull(r), "IS NULL is never null");
            require(nulls.valueAt(r).asBool() == out.isNull(r), "IS NULL tells the nulls");
        }
    } catch (const Error& e) {
        require(std::string(e.what()).rfind("第 ", 0) == 0, "a fault names its character");
    }
    return 0;
}
