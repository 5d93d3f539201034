#include "setup/reportdefinition.h"

#include "chart/groupchart.h"
#include "common/asciicase.h"
#include "common/codepage.h"
#include "common/databaseerror.h"
#include "common/error.h"
#include "common/progress.h"
#include "files/targetfile.h"
#include "grid/summaryrules.h"
#include "setup/chartstate.h"
#include "setup/gridstate.h"
#include "setup/parametersettings.h"
#include "setup/procedurewrites.h"
#include "setup/reportfile.h"
#include "setup/setup.h"
#include "setup/setuppasswords.h"
#include "setup/showasstate.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <system_error>
#include <utility>
#include <vector>

namespace rg {
namespace {

// The summaries of the file are to be the only ones: items of an earlier report would
// attach to the new columns by their names and be saved into the new report's file.
void clearSummaries(TdxDBGrid& grid) {
    GridUpdate batch(grid);
    grid.DefaultGroup().SummaryItems.Clear();
    for (int i = 0; i < grid.ColumnCount(); ++i)
        grid.Columns(i).SetSummaryFooterType(TdxSummaryType::cstNone);
}

std::string readReason(std::error_code ec) {
    if (ec == std::errc::is_a_directory)
        return "这是一个文件夹";
    if (ec == specialFileError())
        return "不是普通文件（设备、管道或套接字）";
    if (ec == std::errc::permission_denied)
        return "没有读取权限";
    return reasonText(ec);
}

// The whole file, read once; a setup that is not there or cannot be read says so rather
// than loading an empty report.
void readWholeSetup(TSetup& setup) {
    const std::error_code ec = setup.ReadAll();
    if (ec == std::errc::no_such_file_or_directory)
        throw Error("找不到设置文件：" + setup.FileName());
    if (ec)
        throw Error("无法读取设置文件“" + setup.FileName() + "”：" + readReason(ec));
}

bool isSummaryName(const std::string& name) {
    return name == "cstnone" || SummaryTypeName(SummaryTypeFromName(name)) == name;
}

// One notice for every entry skipped because its field is gone; a long list is cut.
std::string skippedNotice(const std::vector<std::string>& skipped) {
    if (skipped.empty())
        return {};
    constexpr size_t kShown = 10;
    std::string text = "设置文件中以下项目的字段已不存在，已跳过：";
    for (size_t i = 0; i < skipped.size() && i < kShown; ++i)
        text += (i ? "；" : "") + skipped[i];
    if (skipped.size() > kShown)
        text += format("……共 %zu 项", skipped.size());
    return text;
}

// Logical and binary values cannot be read as numbers by any summary but a count.
bool readsAsNumber(FieldKind k) {
    return k != FieldKind::Boolean && k != FieldKind::Blob && k != FieldKind::Graphic;
}

// The saved summaries, each applied to its column or stopping the load naming its entry:
// an unknown kind, or one the field's values cannot give. The values of a field are checked
// once for all its sums and averages.
class SavedSummaries {
public:
    explicit SavedSummaries(TdxDBGrid& grid) : grid_(grid) {}

    void apply(TdxDBGridColumn& c, const std::string& kind, SummaryPlace place, const char* what) {
        const std::string entry = "设置文件中的字段“" + c.FieldName() + "”的" + what + "无法使用：";
        if (!isSummaryName(kind))
            throw Error(entry + "无法识别“" + kind + "”");
        const TdxSummaryType t = SummaryTypeFromName(kind);
        // The load would stop on the first record with a conversion error naming no entry.
        if (const Field* f = c.field(); f && t != TdxSummaryType::cstNone &&
                                        t != TdxSummaryType::cstCount && !readsAsNumber(f->Kind()))
            throw Error(entry + "字段“" + f->DisplayName() + "”的值不是数字，不能计算" +
                        SummaryKindCaption(t));
        try {
            const bool numeric = t == TdxSummaryType::cstSum || t == TdxSummaryType::cstAvg;
            if (numeric && checked_.insert(c.Index()).second)
                CheckSummaryComputable(grid_, c, t);
            DefineCheckedSummary(grid_, c, t, place);
        } catch (const Cancelled&) {
            throw;
        } catch (const Error& e) {
            throw Error(entry + e.what());
        }
    }

private:
    TdxDBGrid& grid_;
    std::set<int> checked_; // columns whose values were found to be numbers
};

void applyCaptionsAndSummaries(ReportObjects r, const Report& report,
                               std::vector<std::string>& skipped) {
    // One recomputation of the summaries for all entries.
    GridUpdate batch(r.grid);
    SavedSummaries summaries(r.grid);
    const FieldLookup fields(report);
    for (int i = 0; i < r.dataset.FieldCount(); ++i) {
        Field& f = r.dataset.Fields(i);
        // A field the report gives no caption shows its name, whatever it showed before.
        f.SetDisplayLabel(fields.captionOf(f.FieldName()));
        const std::string summary = fields.footerKind(f.FieldName());
        if (!summary.empty())
            summaries.apply(r.grid.Columns(i), summary, SummaryPlace::Footer, "汇总方式");
    }
    std::vector<std::string> summarized;
    for (const SummarySetting& s : report.footerSummaries)
        summarized.push_back(s.field);
    NoteGoneFields(r.grid, summarized, "汇总", skipped);
    for (const auto& [field, kind] : report.moreSummaries) {
        if (TdxDBGridColumn* c = r.grid.ColumnByFieldName(field))
            summaries.apply(*c, kind, SummaryPlace::Footer, "汇总方式");
        else
            skipped.push_back("汇总 " + field);
    }
    for (const auto& [field, kind] : report.groupRowSummaries) {
        if (TdxDBGridColumn* c = r.grid.ColumnByFieldName(field))
            summaries.apply(*c, kind, SummaryPlace::GroupRow, "分组行汇总");
        else
            skipped.push_back("分组行汇总 " + field);
    }
}

// Summary items name their column by number, so after a rebuild over other fields an item
// would show under whichever column now has that number. Each item follows its own field
// instead, with the footer of its column; an item whose field is gone is dropped.
void followFields(TdxDBGrid& grid) {
    TdxDBGridSummaryItems& items = grid.DefaultGroup().SummaryItems;
    if (items.Count() == 0)
        return;
    GridUpdate batch(grid);
    items.BeginUpdate();
    for (int i = items.Count() - 1; i >= 0; --i) {
        TdxDBGridSummaryItem& item = items.Items(i);
        if (item.SummaryField().empty())
            continue;
        TdxDBGridColumn* c = grid.ColumnByFieldName(item.SummaryField());
        if (!c)
            items.Delete(i);
        else if (!InGroupRow(item))
            item.SetColumnName(c->Name()); // group row items name no column
    }
    for (int i = 0; i < items.Count(); ++i) {
        const TdxDBGridSummaryItem& item = items.Items(i);
        if (TdxDBGridColumn* c = grid.ColumnByName(item.ColumnName());
            c && !item.SummaryField().empty()) {
            c->SetSummaryFooterField(c->FieldName());
            c->SetSummaryFooterType(item.SummaryType());
        }
    }
    items.EndUpdate();
}

} // namespace

std::string CommandTypeName(CommandType t) {
    switch (t) {
    case CommandType::cmdText:
        return "cmdText";
    case CommandType::cmdTable:
        return "cmdTable";
    case CommandType::cmdStoredProc:
        return "cmdStoredProc";
    default:
        return {};
    }
}

std::optional<CommandType> CommandTypeFromName(const std::string& name) {
    if (name == "cmdText")
        return CommandType::cmdText;
    if (name == "cmdTable")
        return CommandType::cmdTable;
    if (name == "cmdStoredProc")
        return CommandType::cmdStoredProc;
    return std::nullopt;
}

std::string SummaryTypeName(TdxSummaryType t) {
    switch (t) {
    case TdxSummaryType::cstNone:
        return "cstnone";
    case TdxSummaryType::cstSum:
        return "cstsum";
    case TdxSummaryType::cstMin:
        return "cstmin";
    case TdxSummaryType::cstMax:
        return "cstmax";
    case TdxSummaryType::cstCount:
        return "cstcount";
    case TdxSummaryType::cstAvg:
        return "cstavg";
    }
    return "cstnone";
}

TdxSummaryType SummaryTypeFromName(const std::string& name) {
    if (name == "cstsum")
        return TdxSummaryType::cstSum;
    if (name == "cstcount")
        return TdxSummaryType::cstCount;
    if (name == "cstmax")
        return TdxSummaryType::cstMax;
    if (name == "cstmin")
        return TdxSummaryType::cstMin;
    if (name == "cstavg")
        return TdxSummaryType::cstAvg;
    return TdxSummaryType::cstNone;
}

void BuildGridColumns(TdxDBGrid& grid) {
    grid.ClearGrouping();
    grid.SetShowRowFooter(true);
    grid.SetShowGroupPanel(true);
    grid.SetShowSummaryFooter(true);
    if (grid.ColumnCount() > 0) {
        GridUpdate layout(grid);
        GroupingUpdate grouping(grid);
        for (int i = grid.ColumnCount() - 1; i >= 0; --i)
            grid.DestroyColumn(i);
    }
    grid.CreateColumnsForFields(*grid.dataSet());
    for (int i = 0; i < grid.ColumnCount(); ++i)
        grid.Columns(i).SetReadOnly(true);
    followFields(grid);
}

void ApplySummary(TdxDBGrid& grid, int fieldIndex, const std::string& kindName,
                  SummaryPlace place) {
    DefineSummary(grid, grid.Columns(fieldIndex), SummaryTypeFromName(kindName), place);
}

namespace {

bool isUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t more = c < 0x80             ? 0
                            : (c & 0xE0) == 0xC0 ? 1
                            : (c & 0xF0) == 0xE0 ? 2
                            : (c & 0xF8) == 0xF0 ? 3
                                                 : 9;
        if (more > 3 || s.size() - i <= more)
            return false;
        for (size_t k = 1; k <= more; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += more + 1;
    }
    return true;
}

} // namespace

// Read as GBK when it is no UTF-8: a name copied from Windows.
std::string ReportName(const std::string& fileName) {
    std::string name = fileName.substr(fileName.find_last_of('/') + 1);
    if (name.size() > 4 && asciiLower(name.substr(name.size() - 4)) == ".ini")
        name.resize(name.size() - 4);
    return isUtf8(name) ? name : fromAnsi(name);
}

namespace {

// A report without the section is placed by its row count against the default threshold.
void applyPlacement(DataSet& dataset, const ReportSource& source,
                    std::optional<RowPlacement> forced) {
    const std::string& enabled = source.serverSummary;
    if (!enabled.empty() && enabled != "0" && enabled != "1")
        throw Error("设置文件中的 [ServerSummary] 无法使用：Enabled 应为 0 或 1，而不是“" +
                    enabled + "”");
    const std::string& threshold = source.serverThreshold;
    int64_t rows = DataSet::kDefaultServerThreshold;
    if (!threshold.empty()) {
        const auto [end, ec] =
            std::from_chars(threshold.data(), threshold.data() + threshold.size(), rows);
        if (ec != std::errc() || end != threshold.data() + threshold.size() || rows < 0)
            throw Error("设置文件中的 [ServerSummary] 无法使用：Threshold 应为行数，而不是“" +
                        threshold + "”");
    }
    dataset.SetServerThreshold(rows);
    dataset.SetRowPlacement(forced           ? *forced
                            : enabled == "1" ? RowPlacement::Server
                                             : RowPlacement::Auto);
}

// A procedure writes only where the report asks for it and the user has allowed it: for the
// settings file it comes from, or on screen, where the user allowed it before.
std::string applyProcedureWrites(Connection& conn, DataSet& dataset, const ReportSource& source,
                                 const std::optional<std::string>& setupFile) {
    const std::string& wanted = source.procedureMayWrite;
    if (!wanted.empty() && wanted != "0" && wanted != "1")
        throw Error("设置文件中的 [StoredProcedure] 无法使用：MayWrite 应为 0 或 1，而不是“" +
                    wanted + "”");
    const bool procedure = dataset.GetCommandType() == CommandType::cmdStoredProc;
    const ProcedureWrite w{setupFile.value_or(std::string()), conn.ConnectionString(),
                           dataset.CommandText()};
    const bool allowed = procedure && wanted == "1" && (!setupFile || ProcedureWritesApproved(w));
    dataset.SetProcedureMayWrite(allowed);
    if (!procedure || wanted != "1" || allowed)
        return {};
    return "设置文件允许存储过程“" + w.procedure + "”修改数据库，但你还没有同意：这次它只读运行。";
}

std::string parameterValue(const ReportSource& source, const std::string& name) {
    for (const auto& [saved, value] : source.parameters)
        if (equalsIgnoringCase(saved, name))
            return value;
    return {};
}

} // namespace

namespace {

// The fetched fields take their captions first, so that an expression may name a field by
// its caption.
void applyCalculatedFields(ReportObjects r, const Report& report) {
    if (!r.dataset.Active()) {
        r.dataset.SetCalculatedFields(report.calculated);
        return;
    }
    const FieldLookup fields(report);
    for (int i = 0; i < r.dataset.FieldCount(); ++i)
        if (!r.dataset.IsCalculated(i)) {
            Field& f = r.dataset.Fields(i);
            f.SetDisplayLabel(fields.captionOf(f.FieldName()));
        }
    r.dataset.SetCalculatedFields(report.calculated);
}

// Each formula on the column of its field; one whose fields are gone is skipped and named.
void applyFormulas(ReportObjects r, const Report& report, std::vector<std::string>& skipped) {
    std::vector<SummaryFormula> formulas;
    for (SummaryFormula f : report.formulas) {
        if (r.dataset.Active()) {
            try {
                SummaryEngine::compileFormulas(r.dataset, {f});
            } catch (const Error&) {
                skipped.push_back("汇总公式 " + f.name);
                continue;
            }
        }
        const TdxDBGridColumn* c = f.column.empty() ? nullptr : r.grid.ColumnByFieldName(f.column);
        f.column = c ? c->Name() : std::string();
        formulas.push_back(std::move(f));
    }
    r.grid.SetSummaryFormulas(std::move(formulas));
}

} // namespace

std::string JoinNotices(const std::string& a, const std::string& b) {
    return a.empty() || b.empty() ? a + b : a + "\n" + b;
}

std::string SetReportSource(Connection& conn, DataSet& dataset, const ReportSource& source,
                            const std::optional<std::string>& setupFile,
                            std::optional<RowPlacement> placement) {
    if (dataset.Active())
        dataset.Close(); // a closed data set has no fields
    // A filter text or calculated fields of the previous report would filter or extend this
    // one, or fail its open.
    dataset.SetFilter({});
    dataset.SetCalculatedFields({});
    if (conn.Connected())
        conn.Close();
    conn.SetConnectionString(source.connectionString);
    if (const auto kind = CommandTypeFromName(source.commandType))
        dataset.SetCommandType(*kind);
    dataset.SetCommandText(source.commandText);
    dataset.SetSqlParameters(SqlParametersOf(source.sqlParameters));
    applyPlacement(dataset, source, placement);
    return applyProcedureWrites(conn, dataset, source, setupFile);
}

std::string OpenReportSource(Connection& conn, DataSet& dataset, const ReportSource& source,
                             const std::optional<std::string>& setupFile,
                             std::optional<RowPlacement> placement) {
    const std::string writesNotice = SetReportSource(conn, dataset, source, setupFile, placement);
    if (dataset.GetCommandType() == CommandType::cmdStoredProc) {
        dataset.RefreshParameters();
        for (int i = 0; i < dataset.ParameterCount(); ++i) {
            Parameter& p = dataset.Parameters(i);
            p.SetValue(Value::fromText(parameterValue(source, p.Name)));
        }
    }
    dataset.Open();
    return writesNotice;
}

std::string ArrangeReport(ReportObjects r, const Report& report) {
    // The rows are read once, when the whole report is applied.
    GroupingUpdate oneLoad(r.grid);
    r.grid.SetDataSet(&r.dataset);
    if (r.dataset.Active()) {
        r.grid.ReloadStructure(); // every change below waits for the one load at the end
        r.dataset.SetFilter({});
    }
    r.grid.ClearCrossTable();
    applyCalculatedFields(r, report);
    BuildGridColumns(r.grid);
    clearSummaries(r.grid);
    r.grid.SetKeyField(report.keyField);
    std::vector<std::string> skipped;
    // Without its key field the grid shows no rows: the user must hear why the report is empty.
    if (!report.keyField.empty() && !r.dataset.FindField(report.keyField))
        skipped.push_back("关键字 " + report.keyField);
    applyCaptionsAndSummaries(r, report, skipped);
    RestoreGridState(report, r.grid, skipped);
    RestoreShowAs(report, r.grid, skipped);
    applyFormulas(r, report, skipped);
    oneLoad.end();
    if (GroupChart* chart = GroupChart::of(r.grid))
        RestoreChartState(report.chart, *chart);
    return skippedNotice(skipped);
}

std::string BuildReport(ReportObjects r, const Report& report,
                        const std::optional<std::string>& setupFile,
                        std::optional<RowPlacement> placement) {
    GroupingUpdate oneLoad(r.grid);
    // Its cross table would be computed over the new fields at the open.
    r.grid.ClearCrossTable();
    const std::string writesNotice =
        OpenReportSource(r.conn, r.dataset, report.source, setupFile, placement);
    const std::string notice = ArrangeReport(r, report);
    oneLoad.end();
    return JoinNotices(notice, writesNotice);
}

Report ReadReportFile(const std::string& fileName) {
    TSetup setup(fileName);
    readWholeSetup(setup);
    Report report = ReadReport(setup);
    report.source.connectionString = ConnectionForOpen(fileName, report.source.connectionString);
    return report;
}

std::vector<SqlParameter> SetupParameters(const std::string& fileName) {
    TSetup setup(fileName);
    readWholeSetup(setup);
    const ReportSource source = ReadReport(setup).source;
    if (!source.commandType.empty() && source.commandType != CommandTypeName(CommandType::cmdText))
        return {};
    return parametersOfSql(source.commandText, SqlParametersOf(source.sqlParameters));
}

std::string LoadSetup(ReportObjects r, const std::string& fileName,
                      std::optional<RowPlacement> placement,
                      const std::vector<CalculatedField>& calculated,
                      const std::vector<SummaryFormula>& formulas) {
    return withDatabaseContext("打开报表“" + ReportName(fileName) + "”失败", [&] {
        Report report = ReadReportFile(fileName);
        for (const SummaryFormula& f : formulas) {
            auto same = [&](const SummaryFormula& g) { return equalsIgnoringCase(g.name, f.name); };
            const auto it = std::find_if(report.formulas.begin(), report.formulas.end(), same);
            if (it != report.formulas.end())
                *it = f;
            else
                report.formulas.push_back(f);
        }
        for (const CalculatedField& f : calculated) {
            auto same = [&](const CalculatedField& g) {
                return equalsIgnoringCase(g.name, f.name);
            };
            const auto it = std::find_if(report.calculated.begin(), report.calculated.end(), same);
            if (it != report.calculated.end())
                *it = f; // in its place, before the fields that may name it
            else
                report.calculated.push_back(f);
        }
        return BuildReport(r, report, fileName, placement);
    });
}

std::optional<ProcedureWrite> UnapprovedProcedureWrite(const std::string& fileName) {
    TSetup setup(fileName);
    if (setup.ReadAll() || setup.ReadProcedureMayWrite() != "1" ||
        CommandTypeFromName(setup.ReadCommandType()) != CommandType::cmdStoredProc)
        return std::nullopt;
    ProcedureWrite w{fileName, setup.ReadConnString(), setup.ReadCommandText()};
    if (ProcedureWritesApproved(w))
        return std::nullopt;
    return w;
}

ReportSource CaptureSource(const Connection& conn, DataSet& dataset) {
    ReportSource s;
    s.connectionString = conn.ConnectionString();
    s.commandText = dataset.CommandText();
    s.commandType = CommandTypeName(dataset.GetCommandType());
    const bool procedure = dataset.GetCommandType() == CommandType::cmdStoredProc;
    if (procedure)
        for (int i = 0; i < dataset.ParameterCount(); ++i) {
            const Parameter& p = dataset.Parameters(i);
            // A null value is kept as the empty text.
            s.parameters.emplace_back(p.Name, p.Value().displayText());
        }
    // Only a report that asks for server summaries or another threshold says so.
    const bool onServer = dataset.GetRowPlacement() == RowPlacement::Server;
    if (onServer || dataset.ServerThreshold() != DataSet::kDefaultServerThreshold) {
        s.serverSummary = onServer ? "1" : "0";
        s.serverThreshold = std::to_string(dataset.ServerThreshold());
    }
    if (procedure && dataset.ProcedureMayWrite())
        s.procedureMayWrite = "1";
    s.sqlParameters = ParameterSettingsOf(dataset.SqlParameters());
    return s;
}

Report CaptureReport(ReportObjects r) {
    Report report;
    report.source = CaptureSource(r.conn, r.dataset);
    report.calculated = r.dataset.CalculatedFields();
    for (SummaryFormula f : r.grid.SummaryFormulas()) {
        const TdxDBGridColumn* c = f.column.empty() ? nullptr : r.grid.ColumnByName(f.column);
        f.column = c ? c->FieldName() : std::string();
        report.formulas.push_back(std::move(f));
    }
    // One field entry per column, captions beside the grid's own entries.
    CaptureGridState(r.grid, report);
    for (int i = 0; i < r.grid.ColumnCount(); ++i) {
        const Field* field = r.grid.Columns(i).field();
        if (field && field->DisplayName() != field->FieldName())
            report.fields[static_cast<size_t>(i)].caption = field->DisplayName();
    }
    report.keyField = r.grid.KeyField();
    // Group row items are listed apart, which the original program skips; among its footer
    // summaries they would come back as footers. So are a field's footer items after its
    // first: that section holds one kind per field.
    const TdxDBGridSummaryItems& items = r.grid.DefaultGroup().SummaryItems;
    std::set<std::string> summarized;
    for (int i = 0; i < items.Count(); ++i) {
        const TdxDBGridSummaryItem& item = items.Items(i);
        const SummarySetting setting{item.SummaryField(), SummaryTypeName(item.SummaryType())};
        if (InGroupRow(item))
            report.groupRowSummaries.push_back(setting);
        else if (!summarized.insert(item.SummaryField()).second)
            report.moreSummaries.push_back(setting);
        else
            report.footerSummaries.push_back(setting);
    }
    CaptureShowAs(r.grid, report);
    if (const GroupChart* chart = GroupChart::of(r.grid))
        report.chart = CaptureChartState(*chart);
    return report;
}

void SaveSetup(ReportObjects r, const std::string& fileName) {
    Report report = CaptureReport(r);
    const ConnectionToSave connection = ConnectionForSave(fileName, report.source.connectionString);
    report.source.connectionString = connection.connectionString;
    TSetup setup(fileName);
    setup.SetOwnerOnly(connection.holdsPassword);
    setup.BeginReport();
    WriteReport(setup, report);
    if (const std::error_code ec = setup.EndReport())
        throw Error(format("无法保存设置文件“%s”：%s", fileName.c_str(), reasonText(ec).c_str()));
    // The user who saves the box ticked allows it for the file saved.
    if (report.source.procedureMayWrite == "1")
        ApproveProcedureWrites({fileName, r.conn.ConnectionString(), r.dataset.CommandText()});
}

} // namespace rg
