#include "grid/summaryrules.h"

#include "common/displaytext.h"
#include "common/error.h"
#include "datasource/resultbuffer.h"

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

const char* SummaryKindCaption(TdxSummaryType kind) {
    switch (kind) {
    case TdxSummaryType::cstSum:
        return "合计";
    case TdxSummaryType::cstAvg:
        return "平均";
    case TdxSummaryType::cstCount:
        return "计数";
    case TdxSummaryType::cstMin:
        return "最小值";
    case TdxSummaryType::cstMax:
        return "最大值";
    case TdxSummaryType::cstNone:
        break;
    }
    return "";
}

bool InGroupRow(const TdxDBGridSummaryItem& item) {
    return item.ColumnName().empty();
}

bool SummaryComputable(const DataSet& ds, int field, TdxSummaryType kind) {
    if (kind != TdxSummaryType::cstSum && kind != TdxSummaryType::cstAvg)
        return true;
    const FieldKind k = ds.Fields(field).Kind();
    if (isNumericKind(k)) {
        // A number column of SQLite may hold texts that are no number; only a column that
        // holds more than plain decimals needs the look at every value.
        const DataSet::ColumnView v = ds.columnView(field);
        return !(v.column && v.column->hasWideValues()) || !holdsNonNumber(ds, field);
    }
    return !neverNumeric(k) && (isDateKind(k) || !holdsNonNumber(ds, field));
}

void CheckSummaryComputable(const TdxDBGrid& grid, const TdxDBGridColumn& column,
                            TdxSummaryType kind) {
    DataSet* ds = grid.dataSet();
    const Field* f = ds && ds->Active() ? ds->FindField(column.FieldName()) : nullptr;
    if (f && !SummaryComputable(*ds, f->Index(), kind))
        throw Error("字段“" + f->DisplayName() + "”的值不是数字，不能" +
                    (kind == TdxSummaryType::cstSum ? "求和。" : "求平均。"));
}

void DefineSummary(TdxDBGrid& grid, TdxDBGridColumn& column, TdxSummaryType kind,
                   SummaryPlace place) {
    CheckSummaryComputable(grid, column, kind);
    DefineCheckedSummary(grid, column, kind, place);
}

void DefineCheckedSummary(TdxDBGrid& grid, TdxDBGridColumn& column, TdxSummaryType kind,
                          SummaryPlace place) {
    const std::string field = column.FieldName();
    const bool groupRow = place == SummaryPlace::GroupRow;
    TdxDBGridSummaryItems& items = grid.DefaultGroup().SummaryItems;
    // Changes inside an update only mark the summaries, so nothing below fails before the
    // one recomputation at its end.
    GridUpdate batch(grid);
    if (kind == TdxSummaryType::cstNone) {
        // No summary for the column: its items go, so no earlier kind lingers in the group
        // footers (where the column's first item counts) or in a failing recomputation.
        for (int i = items.Count() - 1; i >= 0; --i) {
            const TdxDBGridSummaryItem& item = items.Items(i);
            const bool ofColumn = groupRow ? InGroupRow(item) && item.SummaryField() == field
                                           : grid.ColumnByName(item.ColumnName()) == &column;
            if (ofColumn)
                items.Delete(i);
        }
    } else {
        TdxDBGridSummaryItem& item = items.Add();
        if (!groupRow)
            item.SetColumnName(column.Name());
        item.SetSummaryField(field);
        item.SetSummaryType(kind);
    }
    if (!groupRow) {
        column.SetSummaryFooterField(field);
        column.SetSummaryFooterType(kind);
    }
}

} // namespace rg
