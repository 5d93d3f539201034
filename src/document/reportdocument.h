#pragma once

// The report on screen: the connection, data set and grid it is built on, the one way to
// replace it (a new report is built beside the one shown and takes its place only when
// complete) and its history of changes for undo and redo.
//
// The grid, its cross table and chart hold the report's arrangement; Report values are taken
// from them (CaptureReport), never kept beside them. Every command that runs inside a
// ReportStep and changes the report becomes one entry of the history, named by what changed.

#include "datasource/dataset.h"
#include "document/report.h"
#include "grid/grid.h"
#include "setup/reportdefinition.h"

#include <QUndoStack>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace rg {

class GroupChart;

class ReportDocument {
public:
    ReportDocument();
    ~ReportDocument();
    ReportDocument(const ReportDocument&) = delete;
    ReportDocument& operator=(const ReportDocument&) = delete;

    Connection& connection() const { return *conn_; }
    DataSet& dataSet() const { return *dataset_; }
    // The grid stays for the document's life: the views are bound to it.
    TdxDBGrid& grid() const { return *grid_; }
    ReportObjects objects() const { return {*conn_, *dataset_, *grid_}; }
    // The chart of the grid's groups, shown or not.
    GroupChart& chart() const { return *chart_; }

    // The report shown, as a save writes it.
    Report report() const;

    // Shows the report of a settings file, built beside the one shown: when anything fails
    // or is cancelled the earlier report stays as it was and the error tells why. Starts a
    // new history. Returns the notices of the load (entries skipped, a procedure kept
    // read-only, what the open left out).
    // `given` and `asOfDay` are the values of its named parameters for this run (the
    // prompt's); the report's undo steps and new sources keep them.
    std::string loadFile(const std::string& fileName, const ParameterTexts& given = {},
                         std::optional<int64_t> asOfDay = std::nullopt);

    // A connection and data set on the report's source for the data source dialog to change:
    // open when the report's data set is and the source still opens, else closed.
    struct Source {
        std::unique_ptr<Connection> conn;
        std::unique_ptr<DataSet> dataset;
    };
    Source copySource() const;
    // Shows the open data set of `source` in place of the report's own. The columns follow
    // its fields; the key field, captions, summaries and calculated fields stay where their
    // fields are still there, the grouping, sort and filter do not. A failure leaves the report as
    // it was.
    void adoptSource(Source source);

    // The report with these calculated fields in place of its own, arranged in place with
    // everything else it holds; entries whose field is gone are skipped and named in the
    // notice returned. A failure leaves the report as it was.
    std::string setCalculatedFields(std::vector<CalculatedField> fields);
    // The same with these summary formulas, each `column` a column name of the grid.
    std::string setSummaryFormulas(std::vector<SummaryFormula> formulas);

    // The history. Entries name their step ("按“地区”分组"); undo and redo put the report
    // back as it was before or after it, and throw (changing nothing) when that cannot be
    // done, such as a source that no longer opens.
    const QUndoStack& history() const { return history_; }
    QUndoStack& history() { return history_; }
    void undo();
    void redo();

private:
    friend class ReportStep;
    class Change;
    void beginStep();
    void endStep() noexcept;
    // Builds `report` beside the one shown and swaps it in; the earlier one stays on failure.
    std::string showBeside(const Report& report, const std::optional<std::string>& setupFile,
                           const ParameterTexts& given, std::optional<int64_t> asOfDay);
    // Puts back a report of the history: arranged in place over the same source, else built
    // beside.
    void restore(const Report& report);
    // Arranges the grid over `target` as `report` says; on failure the grid goes back to the
    // document's own objects arranged as `shown`, and the error goes on.
    std::string arrangeOrPutBack(ReportObjects target, const Report& report, const Report& shown);

    std::unique_ptr<Connection> conn_;
    std::unique_ptr<DataSet> dataset_;
    std::unique_ptr<TdxDBGrid> grid_;
    std::unique_ptr<GroupChart> chart_;
    QUndoStack history_;
    // Outermost step: the report at its start and which history it belongs to.
    int stepDepth_ = 0;
    std::optional<Report> stepStart_;
    uint64_t stepHistory_ = 0;
    // Counts the replacements of the whole report and the moves in the history: a step that
    // saw one is no change of its own.
    uint64_t historyGeneration_ = 0;
    uint64_t commandSerial_ = 0; // counts outermost steps, changed or not
};

// One command of the user: the report's change from the start to the end of its outermost
// step is one entry in the history. Steps nest; a dialog session is one step.
class ReportStep {
public:
    explicit ReportStep(ReportDocument& d) : d_(d) { d_.beginStep(); }
    ~ReportStep() { d_.endStep(); }
    ReportStep(const ReportStep&) = delete;
    ReportStep& operator=(const ReportStep&) = delete;

private:
    ReportDocument& d_;
};

// The name of the step that turned `before` into `after` ("按“地区”分组", "设置汇总方式").
std::string describeChange(const Report& before, const Report& after);

} // namespace rg
