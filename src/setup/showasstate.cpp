#include "setup/showasstate.h"

#include "common/asciicase.h"
#include "common/error.h"
#include "document/report.h"
#include "grid/grid.h"
#include "grid/summaryrules.h"
#include "setup/reportdefinition.h"

#include <charconv>
#include <set>

namespace rg {
namespace {

const char* placeName(const TdxDBGridSummaryItem& item) {
    return InGroupRow(item) ? "row" : "footer";
}

} // namespace

void CaptureShowAs(const TdxDBGrid& grid, Report& report) {
    const TdxDBGridSummaryItems& items = grid.DefaultGroup().SummaryItems;
    for (int i = 0; i < items.Count(); ++i) {
        const TdxDBGridSummaryItem& item = items.Items(i);
        if (item.ShowAs() != ShowValuesAs::Value && !item.SummaryField().empty())
            report.showAs.push_back({item.SummaryField(), SummaryTypeName(item.SummaryType()),
                                     placeName(item), ShowAsInfo(item.ShowAs()).name});
    }
    for (int level = 0; level < grid.GroupColumnCount(); ++level) {
        const TdxDBGridColumn& c = grid.GroupColumns(level);
        const TopGroups& top = c.GroupTop();
        if (top.count > 0)
            report.topGroups.push_back(
                {c.FieldName(), std::to_string(top.count), top.field, SummaryTypeName(top.kind)});
    }
}

void RestoreShowAs(const Report& report, TdxDBGrid& grid, std::vector<std::string>& skipped) {
    TdxDBGridSummaryItems& items = grid.DefaultGroup().SummaryItems;
    std::set<int> taken; // two entries of one summary's field and kind go to two items
    for (const ShowAsSetting& s : report.showAs) {
        const ShowValuesAs mode = ShowAsFromName(s.mode);
        int found = -1;
        for (int i = 0; i < items.Count() && found < 0; ++i) {
            const TdxDBGridSummaryItem& item = items.Items(i);
            if (!taken.count(i) && equalsIgnoringCase(item.SummaryField(), s.field) &&
                SummaryTypeName(item.SummaryType()) == s.kind && s.place == placeName(item))
                found = i;
        }
        if (found < 0) {
            skipped.push_back("显示方式 " + s.field);
            continue;
        }
        TdxDBGridSummaryItem& item = items.Items(found);
        CheckShowAsFits(mode, item.SummaryType(), s.field);
        item.SetShowAs(mode);
        taken.insert(found);
    }
    for (const TopGroupsSetting& t : report.topGroups) {
        TdxDBGridColumn* c = grid.ColumnByFieldName(t.level);
        if (!c || c->GroupIndex() < 0) {
            skipped.push_back("前 N 项 " + t.level);
            continue;
        }
        int count = 0;
        const auto [end, ec] =
            std::from_chars(t.count.data(), t.count.data() + t.count.size(), count);
        if (ec != std::errc() || end != t.count.data() + t.count.size() || count <= 0)
            throw Error(format("设置文件中“%s”的前 N 项无法使用：项数“%s”不是正整数",
                               t.level.c_str(), t.count.c_str()));
        c->SetGroupTop({count, t.field, SummaryTypeFromName(t.kind)});
    }
}

} // namespace rg
