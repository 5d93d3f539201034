#include "app/runner.h"

#include "chart/groupchart.h"
#include "common/asciicase.h"
#include "common/databaseerror.h"
#include "common/error.h"
#include "common/progress.h"
#include "datasource/connstring.h"
#include "datasource/dataset.h"
#include "grid/grid.h"
#include "grid/summaryrules.h"
#include "print/reportformats.h"
#include "setup/reportdefinition.h"
#include "setup/setuppasswords.h"

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <fstream>

namespace rg {
namespace {

// Answers every progress report with "go on" until the time limit has passed.
class Deadline : public ProgressSink {
public:
    explicit Deadline(int seconds)
        : seconds_(seconds),
          end_(std::chrono::steady_clock::now() + std::chrono::seconds(seconds)) {}
    bool progress(const char*, int64_t, int64_t) override {
        passed_ = passed_ || (seconds_ > 0 && std::chrono::steady_clock::now() >= end_);
        return !passed_;
    }
    int seconds() const { return seconds_; }

private:
    int seconds_;
    std::chrono::steady_clock::time_point end_;
    bool passed_ = false;
};

} // namespace

void groupByEntry(TdxDBGrid& grid, const std::string& entry, int level) {
    TdxDBGridColumn* c = grid.ColumnByFieldName(entry);
    IntervalSpec interval;
    std::string field = entry;
    if (const size_t colon = entry.rfind(':'); !c && colon != std::string::npos) {
        field = entry.substr(0, colon);
        interval = parseInterval(entry.substr(colon + 1));
        c = grid.ColumnByFieldName(field);
    }
    if (!c)
        throw Error(format("Field '%s' not found", field.c_str()));
    // The grid refuses an interval that cannot group the field, naming both.
    c->SetGroupInterval(interval);
    if (!grid.GroupColumn(*c, level))
        throw Error(format("Cannot group by field '%s'", field.c_str()));
}

namespace {

std::vector<std::string> splitColons(const std::string& entry) {
    std::vector<std::string> parts(1);
    for (char ch : entry)
        if (ch == ':')
            parts.emplace_back();
        else
            parts.back() += ch;
    return parts;
}

// "sum", "cstsum" or "合计", and so on for every kind.
TdxSummaryType summaryKindOf(const std::string& token, const std::string& entry) {
    for (TdxSummaryType k :
         {TdxSummaryType::cstSum, TdxSummaryType::cstCount, TdxSummaryType::cstAvg,
          TdxSummaryType::cstMin, TdxSummaryType::cstMax})
        if (token == SummaryTypeName(k) || "cst" + token == SummaryTypeName(k) ||
            token == SummaryKindCaption(k))
            return k;
    throw Error("“" + entry + "”中的汇总方式“" + token + "”无法识别（sum count avg min max）");
}

} // namespace

void showAsEntry(TdxDBGrid& grid, const std::string& entry) {
    const std::vector<std::string> p = splitColons(entry);
    if (p.size() != 3)
        throw Error("--show-as 需要“字段:汇总:显示方式”，而不是“" + entry + "”");
    const TdxSummaryType kind = summaryKindOf(p[1], entry);
    const ShowValuesAs mode = ShowAsFromName(p[2]);
    TdxDBGridSummaryItems& items = grid.DefaultGroup().SummaryItems;
    for (int i = 0; i < items.Count(); ++i) {
        TdxDBGridSummaryItem& item = items.Items(i);
        if (item.SummaryType() == kind && equalsIgnoringCase(item.SummaryField(), p[0])) {
            CheckShowAsFits(mode, kind, p[0]);
            item.SetShowAs(mode);
            return;
        }
    }
    throw Error("报表中没有“" + p[0] + "”的" + SummaryKindCaption(kind) + "汇总（--show-as " +
                entry + "）");
}

void topEntry(TdxDBGrid& grid, const std::string& entry) {
    const std::vector<std::string> p = splitColons(entry);
    int count = 0;
    if (p.size() == 4) {
        const auto [end, ec] = std::from_chars(p[1].data(), p[1].data() + p[1].size(), count);
        if (ec != std::errc() || end != p[1].data() + p[1].size())
            count = 0;
    }
    if (count <= 0)
        throw Error("--top 需要“分组字段:N:汇总:字段”（N 是正整数），而不是“" + entry + "”");
    TdxDBGridColumn* c = grid.ColumnByFieldName(p[0]);
    if (!c || c->GroupIndex() < 0)
        throw Error("--top " + entry + "：报表没有按“" + p[0] + "”分组");
    c->SetGroupTop({count, p[3], summaryKindOf(p[2], entry)});
}

// A run has no one to ask: the password comes from the file named, or the environment.
void usePasswordFromOptions(const RunOptions& o) {
    setPasswordPrompt(
        [file = o.passwordFile](const PasswordRequest& r) -> std::optional<std::string> {
            std::string password;
            if (!file.empty()) {
                std::ifstream in(file);
                if (!in || !std::getline(in, password))
                    throw Error("无法读取密码文件“" + file + "”");
                if (!password.empty() && password.back() == '\r')
                    password.pop_back();
            } else if (const char* env = std::getenv("REPORTGEN_PASSWORD")) {
                password = env;
            } else {
                throw Error("设置文件“" + r.setupFile + "”的连接需要密码" +
                            (r.why.empty() ? std::string() : "（密钥库：" + r.why + "）") +
                            "：用 --password-file 文件 或环境变量 REPORTGEN_PASSWORD 给出");
            }
            return "PWD=" + quoteConnValue(password);
        });
}

namespace {

// The report's parameters that neither the command line nor the setup give a value, as
// "开始日期、地区"; empty when none.
std::string missingParameterList(const RunOptions& o) {
    std::string list;
    for (const std::string& name : missingParameters(SetupParameters(o.setupFile), o.params))
        list += (list.empty() ? "" : "、") + name;
    return list;
}

} // namespace

int runReport(const RunOptions& o, std::string& errors) {
    RunResult r = runReportOutputs(o, {{o.format, o.output}}, false);
    errors = std::move(r.message);
    return r.status;
}

RunResult runReportOutputs(const RunOptions& o, const std::vector<RunOutput>& outputs,
                           bool skipEmpty) {
    usePasswordFromOptions(o);
    Deadline deadline(o.timeoutSeconds);
    ProgressScope scope(&deadline);
    try {
        Connection conn;
        DataSet dataset(&conn);
        TdxDBGrid grid;
        // A chart the setup shows goes into the .xlsx and the PDF as from the window.
        GroupChart chart(grid);
        grid.SetDataSet(&dataset);
        ReportObjects report{conn, dataset, grid};
        // A parameter without a value and without a default ends the run before anything
        // opens, naming every such parameter.
        if (const std::string missing = missingParameterList(o); !missing.empty())
            return {2, "报表参数没有值：" + missing + "（用 --param 名称=值 给出）"};
        dataset.SetParameterTexts(o.params, o.asOfDay);
        // The rows are read once, with the command line's filter and grouping.
        GroupingUpdate oneLoad(grid);
        const std::string skipped =
            LoadSetup(report, o.setupFile, o.placement, o.calculated, o.formulas);
        // A formula of the command line that does not compute ends the run with its fault,
        // where a saved one whose fields are gone is only skipped.
        if (dataset.Active())
            SummaryEngine::compileFormulas(dataset, o.formulas);
        // What the open left out, the entries skipped and what the export changed: written
        // after the report, which is written whole.
        std::string notices = JoinNotices(dataset.OpenNotice(), skipped);
        // The command line's filter and grouping take the place of the saved ones.
        if (!o.filter.empty())
            SetFilterExpression(grid, o.filter);
        if (!o.groupBy.empty())
            grid.ClearGrouping();
        for (size_t level = 0; level < o.groupBy.size(); ++level)
            groupByEntry(grid, o.groupBy[level], static_cast<int>(level));
        for (const std::string& entry : o.showAs)
            showAsEntry(grid, entry);
        for (const std::string& entry : o.top)
            topEntry(grid, entry);
        oneLoad.end();
        // The paged format prints what is expanded; the others write every row anyway.
        grid.ExpandAll();
        // Saved first, so that a setup that cannot be saved ends the run before any output.
        if (!o.saveAs.empty())
            SaveSetup(report, o.saveAs);
        const int rows = grid.DataRowCount();
        if (skipEmpty && rows == 0)
            return {0, notices, 0};
        for (const RunOutput& out : outputs) {
            // Files look the same whatever desktop the runner starts on: the default colours.
            ExportJob job{&grid, out.path, GridAppearance()};
            job.listing = true;
            job.reportName = ReportName(o.setupFile);
            notices = JoinNotices(notices, ReportFormats().find(out.format)->write(job).notice);
        }
        return {0, notices, rows};
    } catch (const Cancelled&) {
        return {1, "超过时限：" + std::to_string(deadline.seconds()) + " 秒内没有完成，已停止。"};
    } catch (const std::exception& e) {
        return {1, userMessage(e)};
    }
}

} // namespace rg
