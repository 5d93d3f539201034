#include "app/runner.h"

#include "chart/groupchart.h"
#include "common/databaseerror.h"
#include "common/error.h"
#include "common/progress.h"
#include "grid/grid.h"
#include "print/reportformats.h"
#include "setup/reportdefinition.h"

#include <charconv>
#include <chrono>

namespace rg {
namespace {

std::vector<std::string> splitFields(const std::string& list) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = list.find(',', start);
        const std::string part =
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!part.empty())
            out.push_back(part);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return out;
}

int parseSeconds(const std::string& text) {
    int seconds = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (ec != std::errc() || end != text.data() + text.size() || seconds <= 0)
        throw Error("--timeout 需要一个正整数秒数，而不是“" + text + "”");
    return seconds;
}

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

RunOptions parseRunOptions(const std::vector<std::string>& args) {
    RunOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto next = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw Error(format("Option %s needs a value", a.c_str()));
            return args[++i];
        };
        if (a == "--run")
            o.setupFile = next();
        else if (a == "--group-by")
            o.groupBy = splitFields(next());
        else if (a == "--filter")
            o.filter = next();
        else if (a == "--format")
            o.format = next();
        else if (a == "--output")
            o.output = next();
        else if (a == "--save-as")
            o.saveAs = next();
        else if (a == "--timeout")
            o.timeoutSeconds = parseSeconds(next());
        else if (a == "--server" || a == "--memory") {
            const RowPlacement p = a == "--server" ? RowPlacement::Server : RowPlacement::Memory;
            if (o.placement && *o.placement != p)
                throw OptionConflict("选项 --server 和 --memory 不能同时使用");
            o.placement = p;
        } else
            throw Error(format("Unknown option %s", a.c_str()));
    }
    if (o.setupFile.empty())
        throw Error("Option --run needs a settings file");
    const ExportFormat* f = ReportFormats().find(o.format);
    if (!f)
        throw Error(
            format("Unknown format %s (%s)", o.format.c_str(), ReportFormats().nameList().c_str()));
    if (!f->toStandardOutput && o.output.empty())
        throw Error(format("Format %s needs --output PATH", o.format.c_str()));
    return o;
}

int runReport(const RunOptions& o, std::string& errors) {
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
        // The rows are read once, with the command line's filter and grouping.
        GroupingUpdate oneLoad(grid);
        const std::string skipped = LoadSetup(report, o.setupFile, o.placement);
        // What the open left out, the entries skipped and what the export changed: written
        // after the report, which is written whole.
        std::string notices;
        auto addNotice = [&notices](const std::string& n) {
            notices += (notices.empty() || n.empty() ? "" : "\n") + n;
        };
        addNotice(dataset.OpenNotice());
        addNotice(skipped);
        // The command line's filter and grouping take the place of the saved ones.
        if (!o.filter.empty())
            SetFilterExpression(grid, o.filter);
        if (!o.groupBy.empty())
            grid.ClearGrouping();
        for (size_t level = 0; level < o.groupBy.size(); ++level)
            groupByEntry(grid, o.groupBy[level], static_cast<int>(level));
        oneLoad.end();
        // The paged format prints what is expanded; the others write every row anyway.
        grid.ExpandAll();
        // Saved first, so that a setup that cannot be saved ends the run before any output.
        if (!o.saveAs.empty())
            SaveSetup(report, o.saveAs);
        // Files look the same whatever desktop the runner starts on: the default colours.
        ExportJob job{&grid, o.output, GridAppearance()};
        job.listing = true;
        addNotice(ReportFormats().find(o.format)->write(job).notice);
        errors = notices;
        return 0;
    } catch (const Cancelled&) {
        errors = "超过时限：" + std::to_string(deadline.seconds()) + " 秒内没有完成，已停止。";
        return 1;
    } catch (const std::exception& e) {
        errors = userMessage(e);
        return 1;
    }
}

} // namespace rg
