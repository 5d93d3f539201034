#include "document/reportdocument.h"

#include "common/asciicase.h"

#include <algorithm>
#include <functional>

namespace rg {
namespace {

std::string quoted(const FieldLookup& r, const std::string& field) {
    return "“" + r.captionOf(field) + "”";
}

bool contains(const std::vector<std::string>& names, const std::string& name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& n) { return equalsIgnoringCase(n, name); });
}

// The first name of `a` that `b` lacks.
const std::string* firstMissing(const std::vector<std::string>& a,
                                const std::vector<std::string>& b) {
    for (const std::string& name : a)
        if (!contains(b, name))
            return &name;
    return nullptr;
}

std::string groupingStep(const Report& before, const Report& after) {
    if (const std::string* added = firstMissing(after.grouping, before.grouping))
        return "按" + quoted(FieldLookup(after), *added) + "分组";
    if (const std::string* removed = firstMissing(before.grouping, after.grouping))
        return "取消按" + quoted(FieldLookup(before), *removed) + "分组";
    return "调整分组顺序";
}

std::string hiddenStep(const Report& before, const Report& after) {
    if (const std::string* hidden = firstMissing(after.hiddenColumns, before.hiddenColumns))
        return "隐藏" + quoted(FieldLookup(after), *hidden);
    if (const std::string* shown = firstMissing(before.hiddenColumns, after.hiddenColumns))
        return "显示" + quoted(FieldLookup(after), *shown);
    return "设置字段";
}

// The first field whose `entry` differs, and the step's name for it.
std::string
fieldStep(const Report& before, const Report& after, std::string FieldSetting::*entry,
          const std::function<std::string(const std::string&, const std::string&)>& name) {
    const FieldLookup was(before), is(after);
    auto value = [entry](const FieldLookup& r, const std::string& field) {
        const FieldSetting* f = r.field(field);
        return f ? f->*entry : std::string();
    };
    for (const Report* r : {&after, &before})
        for (const FieldSetting& f : r->fields)
            if (value(was, f.name) != value(is, f.name))
                return name(quoted(is, f.name), value(is, f.name));
    return {};
}

} // namespace

std::string describeChange(const Report& before, const Report& after) {
    if (before.source != after.source)
        return "设置数据源";
    if (before.calculated != after.calculated)
        return "设置计算字段";
    if (before.formulas != after.formulas)
        return "设置汇总公式";
    if (before.grouping != after.grouping)
        return groupingStep(before, after);
    if (before.keyField != after.keyField)
        return "设置关键字";
    if (before.footerSummaries != after.footerSummaries ||
        before.moreSummaries != after.moreSummaries ||
        before.groupRowSummaries != after.groupRowSummaries)
        return "设置汇总方式";
    if (before.showAs != after.showAs)
        return "设置显示方式";
    if (before.topGroups != after.topGroups)
        return "设置前 N 项";
    if (before.cross != after.cross)
        return after.cross.field.empty() ? "取消交叉表" : "设置交叉表";
    if (before.chart != after.chart)
        return before.chart.shown != after.chart.shown
                   ? (after.chart.shown ? "显示图表" : "隐藏图表")
                   : "设置图表";
    if (before.hiddenColumns != after.hiddenColumns)
        return hiddenStep(before, after);
    if (before.filterText != after.filterText)
        return after.filterText.empty() ? "清除筛选" : "筛选";
    using F = FieldSetting;
    const std::pair<std::string F::*,
                    std::function<std::string(const std::string&, const std::string&)>>
        entries[] = {
            {&F::interval,
             [](const std::string& f, const std::string& v) {
                 return v.empty() ? f + "不按区间分组" : f + "按" + v + "分组";
             }},
            {&F::filter,
             [](const std::string& f, const std::string& v) {
                 return v.empty() ? "清除" + f + "的筛选" : "筛选" + f;
             }},
            {&F::sort,
             [](const std::string& f, const std::string& v) {
                 return v.empty() ? "取消按" + f + "排序" : "按" + f + "排序";
             }},
            {&F::caption,
             [](const std::string& f, const std::string&) { return "设置" + f + "的标题"; }},
            {&F::width,
             [](const std::string& f, const std::string&) { return "调整" + f + "的列宽"; }},
            {&F::footerFormat,
             [](const std::string& f, const std::string&) { return "设置" + f + "的合计格式"; }},
        };
    for (const auto& [entry, name] : entries)
        if (std::string step = fieldStep(before, after, entry, name); !step.empty())
            return step;
    if (before.columnOrder != after.columnOrder)
        return "调整列的顺序";
    if (before.print != after.print)
        return "设置打印选项";
    return "修改报表";
}

} // namespace rg
