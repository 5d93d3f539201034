#include "setup/summarycheck.h"

#include "common/displaytext.h"
#include "common/error.h"

namespace rg {

namespace {

bool neverNumeric(FieldKind k) {
    return k == FieldKind::Boolean || k == FieldKind::Memo || k == FieldKind::Blob ||
           k == FieldKind::Graphic;
}

// Texts are converted to numbers when summed, so a text field passes when every text it
// holds converts; a null contributes nothing.
bool holdsNonNumber(const DataSet& ds, int field) {
    for (int rec = 0; rec < ds.RecordCount(); ++rec) {
        const Value v = ds.value(rec, field);
        if (v.isNull() || v.isNumber() || v.isDateLike())
            continue;
        if (v.type() != Value::Type::Text || !parseNumber(v.asText()))
            return true;
    }
    return false;
}

} // namespace

void CheckSummaryComputable(const TdxDBGrid& grid, const TdxDBGridColumn& column,
                            TdxSummaryType kind) {
    if (kind != TdxSummaryType::cstSum && kind != TdxSummaryType::cstAvg)
        return;
    DataSet* ds = grid.dataSet();
    const Field* f = ds && ds->Active() ? ds->FindField(column.FieldName()) : nullptr;
    if (!f)
        return;
    const FieldKind k = f->Kind();
    if (neverNumeric(k) || (!isNumericKind(k) && !isDateKind(k) && holdsNonNumber(*ds, f->Index())))
        throw Error("字段“" + f->DisplayName() + "”的值不是数字，不能" +
                    (kind == TdxSummaryType::cstSum ? "求和。" : "求平均。"));
}

} // namespace rg
