#include "setup/reportfile.h"

#include "common/asciicase.h"
#include "common/error.h"
#include "setup/setup.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

namespace rg {
namespace {

std::vector<SummarySetting> summaryList(const std::vector<std::pair<std::string, std::string>>& l) {
    std::vector<SummarySetting> list;
    for (const auto& [field, kind] : l)
        list.push_back({field, kind});
    return list;
}

std::vector<std::pair<std::string, std::string>> pairs(const std::vector<SummarySetting>& list) {
    std::vector<std::pair<std::string, std::string>> p;
    for (const SummarySetting& s : list)
        p.emplace_back(s.field, s.kind);
    return p;
}

// A list of "Count" parameters, each in keys numbered from 1; list values one a line.
struct ParameterKeys {
    const char* key;
    std::string ParameterSetting::*text;
};
const ParameterKeys kParameterKeys[] = {{"Name", &ParameterSetting::name},
                                        {"Type", &ParameterSetting::type},
                                        {"Default", &ParameterSetting::defaultValue},
                                        {"RangeEnd", &ParameterSetting::rangeEnd},
                                        {"ListQuery", &ParameterSetting::listQuery}};

std::vector<ParameterSetting> readParameters(TSetup& setup) {
    std::vector<ParameterSetting> list;
    const std::string count = setup.ReadReportParameter("Count");
    if (count.empty())
        return list;
    const int n = std::atoi(count.c_str());
    for (int i = 1; i <= n; ++i) {
        const std::string at = std::to_string(i);
        ParameterSetting p;
        for (const ParameterKeys& k : kParameterKeys)
            p.*k.text = setup.ReadReportParameter(k.key + at);
        if (p.name.empty())
            throw Error(format("设置文件中的报表参数无法使用：缺少第 %d 个参数的名称", i));
        std::string values = setup.ReadReportParameter("ListValues" + at);
        for (size_t start = 0; !values.empty() && start <= values.size();) {
            const size_t end = std::min(values.find('\n', start), values.size());
            p.listValues.push_back(values.substr(start, end - start));
            start = end + 1;
        }
        list.push_back(std::move(p));
    }
    return list;
}

void writeParameters(TSetup& setup, const std::vector<ParameterSetting>& list) {
    if (list.empty())
        return;
    setup.WriteReportParameter("Count", std::to_string(list.size()));
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string at = std::to_string(i + 1);
        for (const ParameterKeys& k : kParameterKeys)
            if (!(list[i].*k.text).empty())
                setup.WriteReportParameter(k.key + at, list[i].*k.text);
        std::string values;
        for (size_t v = 0; v < list[i].listValues.size(); ++v)
            values += (v ? "\n" : "") + list[i].listValues[v];
        if (!values.empty())
            setup.WriteReportParameter("ListValues" + at, values);
    }
}

ReportSource readSource(TSetup& setup) {
    ReportSource s;
    s.connectionString = setup.ReadConnString();
    s.commandType = setup.ReadCommandType();
    s.commandText = setup.ReadCommandText();
    for (const std::string& name : setup.ParameterNames())
        s.parameters.emplace_back(name, setup.ReadParameterValue(name));
    s.serverSummary = setup.ReadServerSummaryEnabled();
    s.serverThreshold = setup.ReadServerThreshold();
    s.procedureMayWrite = setup.ReadProcedureMayWrite();
    s.sqlParameters = readParameters(setup);
    return s;
}

// Each section's entries go to the field of their name, found by an index: a setup may hold
// many thousand fields.
void readFields(TSetup& setup, Report& r) {
    std::unordered_map<std::string, size_t> at;
    auto entry = [&](const std::string& name) -> FieldSetting& {
        const auto [i, added] = at.emplace(asciiLower(name), r.fields.size());
        if (added)
            r.fields.push_back(FieldSetting{name, {}, {}, {}, {}, {}});
        return r.fields[i->second];
    };
    for (const std::string& name : setup.CaptionFieldNames())
        entry(name).caption = setup.ReadField(name);
    for (const std::string& name : setup.ColumnWidthNames())
        entry(name).width = setup.ReadColumnWidth(name);
    for (const std::string& name : setup.SortedColumnNames())
        entry(name).sort = setup.ReadSortedColumn(name);
    for (const std::string& name : setup.ColumnFilterNames())
        entry(name).filter = setup.ReadColumnFilter(name);
    for (const std::string& name : setup.GroupIntervalNames())
        entry(name).interval = setup.ReadGroupInterval(name);
    for (const std::string& name : setup.FooterFormatNames())
        entry(name).footerFormat = setup.ReadFooterFormat(name);
}

// The print options by the key that names them in the file.
const std::pair<const char*, std::string PrintSetting::*> kPrintKeys[] = {
    {"PageSubtotals", &PrintSetting::pageSubtotals},
    {"HeadersOnEveryPage", &PrintSetting::headersOnEveryPage},
    {"Paper", &PrintSetting::paper},
    {"Orientation", &PrintSetting::orientation},
};

} // namespace

Report ReadReport(TSetup& setup) {
    Report r;
    r.source = readSource(setup);
    for (auto& [name, expression] : setup.ReadCalculatedFields())
        r.calculated.push_back({std::move(name), std::move(expression)});
    for (TSetup::FormulaEntry& f : setup.ReadSummaryFormulas())
        r.formulas.push_back({std::move(f.name), std::move(f.expression), std::move(f.field)});
    r.keyField = setup.ReadKeyField();
    readFields(setup, r);
    for (const std::string& name : setup.SummaryFieldNames())
        r.footerSummaries.push_back({name, setup.ReadSummaryField(name)});
    r.moreSummaries = summaryList(setup.ReadMoreSummaries());
    r.groupRowSummaries = summaryList(setup.ReadGroupRowSummaries());
    r.grouping = setup.ReadGroupColumns();
    r.columnOrder = setup.ReadColumnOrder();
    r.hiddenColumns = setup.ReadHiddenColumns();
    r.filterText = setup.ReadFilterText();
    const TSetup::CrossTableEntries x = setup.ReadCrossTable();
    r.cross = {x.field, x.interval, x.kind, x.summaryField};
    r.chart.shown = setup.ReadChart("Shown") == "1";
    r.chart.type = setup.ReadChart("Type");
    r.chart.summaryField = setup.ReadChart("SummaryField");
    r.chart.summaryKind = setup.ReadChart("SummaryKind");
    for (const auto& [key, member] : kPrintKeys)
        r.print.*member = setup.ReadPrintOption(key);
    for (const TSetup::ShowAsEntry& e : setup.ReadShowValuesAs())
        r.showAs.push_back({e.field, e.kind, e.place, e.mode});
    for (const TSetup::TopEntry& e : setup.ReadTopGroups())
        r.topGroups.push_back({e.level, e.count, e.field, e.kind});
    return r;
}

void WriteReport(TSetup& setup, const Report& r) {
    const ReportSource& s = r.source;
    setup.WriteConnString(s.connectionString);
    setup.WriteCommandText(s.commandText);
    setup.WriteCommandType(s.commandType);
    for (const auto& [name, value] : s.parameters)
        setup.WriteParameterValue(name, value);
    // A file's sections come in the order of their first entry, so the entries keep the
    // order a save has always written them in.
    for (const FieldSetting& f : r.fields)
        if (!f.caption.empty())
            setup.WriteField(f.name, f.caption);
    setup.WriteKeyField(r.keyField);
    for (const SummarySetting& summary : r.footerSummaries)
        setup.WriteSummaryField(summary.field, summary.kind);
    setup.WriteGroupRowSummaries(pairs(r.groupRowSummaries));
    setup.WriteMoreSummaries(pairs(r.moreSummaries));
    setup.WriteGroupColumns(r.grouping);
    setup.WriteColumnOrder(r.columnOrder);
    setup.WriteHiddenColumns(r.hiddenColumns);
    for (const FieldSetting& f : r.fields) {
        if (!f.width.empty())
            setup.WriteColumnWidth(f.name, f.width);
        if (!f.sort.empty())
            setup.WriteSortedColumn(f.name, f.sort);
        if (!f.filter.empty())
            setup.WriteColumnFilter(f.name, f.filter);
        if (!f.interval.empty())
            setup.WriteGroupInterval(f.name, f.interval);
        if (!f.footerFormat.empty())
            setup.WriteFooterFormat(f.name, f.footerFormat);
    }
    setup.WriteFilterText(r.filterText);
    setup.WriteCrossTable({r.cross.field, r.cross.interval, r.cross.kind, r.cross.summaryField});
    if (r.chart.shown) {
        setup.WriteChart("Shown", "1");
        const std::pair<const char*, const std::string*> entries[] = {
            {"Type", &r.chart.type},
            {"SummaryField", &r.chart.summaryField},
            {"SummaryKind", &r.chart.summaryKind}};
        for (const auto& [key, value] : entries)
            if (!value->empty())
                setup.WriteChart(key, *value);
    }
    std::vector<TSetup::ShowAsEntry> showAs;
    for (const ShowAsSetting& e : r.showAs)
        showAs.push_back({e.field, e.kind, e.place, e.mode});
    setup.WriteShowValuesAs(showAs);
    std::vector<TSetup::TopEntry> top;
    for (const TopGroupsSetting& e : r.topGroups)
        top.push_back({e.level, e.count, e.field, e.kind});
    setup.WriteTopGroups(top);
    if (!s.serverSummary.empty())
        setup.WriteServerSummaryEnabled(s.serverSummary);
    if (!s.serverThreshold.empty())
        setup.WriteServerThreshold(s.serverThreshold);
    if (s.procedureMayWrite == "1")
        setup.WriteProcedureMayWrite("1");
    for (const auto& [key, member] : kPrintKeys)
        if (!(r.print.*member).empty())
            setup.WritePrintOption(key, r.print.*member);
    writeParameters(setup, s.sqlParameters);
    std::vector<std::pair<std::string, std::string>> calculated;
    for (const CalculatedField& f : r.calculated)
        calculated.emplace_back(f.name, f.expression);
    setup.WriteCalculatedFields(calculated);
    std::vector<TSetup::FormulaEntry> formulas;
    for (const SummaryFormula& f : r.formulas)
        formulas.push_back({f.name, f.column, f.expression});
    setup.WriteSummaryFormulas(formulas);
}

} // namespace rg
