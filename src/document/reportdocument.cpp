#include "document/reportdocument.h"

#include "chart/groupchart.h"
#include "common/databaseerror.h"
#include "common/progress.h"

#include <QUndoCommand>

#include <utility>

namespace rg {

// An entry of the history. The document applies the reports itself before it moves the
// stack, so that a report that cannot be put back leaves the history where it was.
class ReportDocument::Change : public QUndoCommand {
public:
    Change(Report before, Report after, uint64_t serial)
        : QUndoCommand(QString::fromStdString(describeChange(before, after))),
          before(std::move(before)), after(std::move(after)), serial_(serial) {}

    void undo() override {}
    void redo() override {}
    // Commands that follow each other with the same name, such as the moves of one drag of a
    // column's edge, are one step.
    int id() const override { return 1; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const Change*>(other);
        if (next->serial_ != serial_ + 1 || next->text() != text() || !mergeable())
            return false;
        after = next->after;
        serial_ = next->serial_;
        return true;
    }

    Report before, after;

private:
    // Only a change of widths alone is made of many small commands.
    bool mergeable() const {
        Report widthsAlike = after;
        widthsAlike.fields = before.fields;
        if (widthsAlike != before || after.fields.size() != before.fields.size())
            return false;
        for (size_t i = 0; i < before.fields.size(); ++i) {
            FieldSetting f = after.fields[i];
            f.width = before.fields[i].width;
            if (f != before.fields[i])
                return false;
        }
        return true;
    }

    uint64_t serial_;
};

namespace {

bool hasField(DataSet& ds, const std::string& name) {
    return !name.empty() && ds.FindField(name) != nullptr;
}

std::vector<SummarySetting> present(DataSet& ds, const std::vector<SummarySetting>& list) {
    std::vector<SummarySetting> kept;
    for (const SummarySetting& s : list)
        if (hasField(ds, s.field))
            kept.push_back(s);
    return kept;
}

} // namespace

ReportDocument::ReportDocument()
    : conn_(std::make_unique<Connection>()), dataset_(std::make_unique<DataSet>(conn_.get())),
      grid_(std::make_unique<TdxDBGrid>()), chart_(std::make_unique<GroupChart>(*grid_)) {
    grid_->SetDataSet(dataset_.get());
}

ReportDocument::~ReportDocument() {
    grid_->SetDataSet(nullptr);
}

Report ReportDocument::report() const {
    return CaptureReport(objects());
}

std::string ReportDocument::loadFile(const std::string& fileName, const ParameterTexts& given,
                                     std::optional<int64_t> asOfDay) {
    const std::string notice =
        withDatabaseContext("打开报表“" + ReportName(fileName) + "”失败", [&] {
            return showBeside(ReadReportFile(fileName), fileName, given, asOfDay);
        });
    history_.clear();
    ++historyGeneration_;
    return notice;
}

ReportDocument::Source ReportDocument::copySource() const {
    Source s;
    s.conn = std::make_unique<Connection>();
    s.dataset = std::make_unique<DataSet>(s.conn.get());
    s.dataset->SetParameterTexts(dataset_->GivenParameterTexts(), dataset_->AsOfDay());
    const ReportSource source = CaptureSource(*conn_, *dataset_);
    if (!dataset_->Active()) {
        SetReportSource(*s.conn, *s.dataset, source, std::nullopt);
        return s;
    }
    try {
        OpenReportSource(*s.conn, *s.dataset, source, std::nullopt);
    } catch (const Cancelled&) {
        throw;
    } catch (const std::exception&) {
        // A source that no longer opens is what the dialog is there to mend: it shows it
        // closed, and says why at its own open.
        SetReportSource(*s.conn, *s.dataset, source, std::nullopt);
    }
    return s;
}

namespace {

// The calculated fields that still compute over the fields of `ds`, each over those and the
// ones kept before it.
std::vector<CalculatedField> computable(const DataSet& ds,
                                        const std::vector<CalculatedField>& fields) {
    std::vector<CalcInput> inputs;
    for (int i = 0; i < ds.FieldCount(); ++i)
        inputs.push_back(
            {ds.Fields(i).FieldName(), ds.Fields(i).DisplayLabel(), ds.Fields(i).Kind()});
    std::vector<CalculatedField> kept;
    for (const CalculatedField& f : fields) {
        try {
            const CalcExpression e(f.expression, inputs);
            inputs.push_back({f.name, {}, e.kind()});
            kept.push_back(f);
        } catch (const Error&) {
            // its fields are gone from the new source
        }
    }
    return kept;
}

} // namespace

void ReportDocument::adoptSource(Source source) {
    DataSet& ds = *source.dataset;
    const Report shown = report();
    Report next;
    next.source = shown.source;
    if (hasField(ds, shown.keyField))
        next.keyField = shown.keyField;
    const FieldLookup shownFields(shown);
    for (int i = 0; i < ds.FieldCount(); ++i) {
        const Field& f = ds.Fields(i);
        // A caption given in the dialog, else the one the field had.
        const std::string caption =
            f.DisplayLabel().empty() ? shownFields.captionOf(f.FieldName()) : f.DisplayLabel();
        const FieldSetting* shownField = shownFields.field(f.FieldName());
        const std::string footerFormat = shownField ? shownField->footerFormat : std::string();
        if (caption != f.FieldName() || !footerFormat.empty())
            next.fields.push_back(
                FieldSetting{f.FieldName(), caption, {}, {}, {}, {}, footerFormat});
    }
    next.footerSummaries = present(ds, shown.footerSummaries);
    next.moreSummaries = present(ds, shown.moreSummaries);
    next.groupRowSummaries = present(ds, shown.groupRowSummaries);
    next.calculated = computable(ds, shown.calculated);
    next.chart = shown.chart;
    next.print = shown.print;
    arrangeOrPutBack({*source.conn, ds, *grid_}, next, shown);
    dataset_ = std::move(source.dataset); // before the connection it was opened on
    conn_ = std::move(source.conn);
}

std::string ReportDocument::showBeside(const Report& report,
                                       const std::optional<std::string>& setupFile,
                                       const ParameterTexts& given,
                                       std::optional<int64_t> asOfDay) {
    Source beside = {std::make_unique<Connection>(), nullptr};
    beside.dataset = std::make_unique<DataSet>(beside.conn.get());
    beside.dataset->SetParameterTexts(given, asOfDay);
    const std::string writesNotice =
        OpenReportSource(*beside.conn, *beside.dataset, report.source, setupFile);
    const std::string notice =
        arrangeOrPutBack({*beside.conn, *beside.dataset, *grid_}, report, this->report());
    dataset_ = std::move(beside.dataset);
    conn_ = std::move(beside.conn);
    return JoinNotices(notice, writesNotice);
}

std::string ReportDocument::arrangeOrPutBack(ReportObjects target, const Report& report,
                                             const Report& shown) {
    try {
        return ArrangeReport(target, report);
    } catch (...) {
        ProgressScope quiet(nullptr); // putting back what was shown is not to be cancelled
        ArrangeReport(objects(), shown);
        throw;
    }
}

std::string ReportDocument::setCalculatedFields(std::vector<CalculatedField> fields) {
    const Report shown = report();
    Report changed = shown;
    changed.calculated = std::move(fields);
    return arrangeOrPutBack(objects(), changed, shown);
}

std::string ReportDocument::setSummaryFormulas(std::vector<SummaryFormula> formulas) {
    const Report shown = report();
    Report changed = shown;
    // The report names the column by its field.
    for (SummaryFormula& f : formulas) {
        const TdxDBGridColumn* c = f.column.empty() ? nullptr : grid_->ColumnByName(f.column);
        f.column = c ? c->FieldName() : std::string();
    }
    changed.formulas = std::move(formulas);
    return arrangeOrPutBack(objects(), changed, shown);
}

void ReportDocument::restore(const Report& report) {
    const Report shown = this->report();
    if (report.source == shown.source && dataset_->Active())
        arrangeOrPutBack(objects(), report, shown);
    else
        showBeside(report, std::nullopt, dataset_->GivenParameterTexts(), dataset_->AsOfDay());
}

void ReportDocument::undo() {
    if (!history_.canUndo())
        return;
    restore(static_cast<const Change*>(history_.command(history_.index() - 1))->before);
    ++historyGeneration_;
    history_.undo();
}

void ReportDocument::redo() {
    if (!history_.canRedo())
        return;
    restore(static_cast<const Change*>(history_.command(history_.index()))->after);
    ++historyGeneration_;
    history_.redo();
}

// A report that cannot be taken (no memory) makes no step; the command itself goes on.
void ReportDocument::beginStep() {
    if (stepDepth_++ > 0)
        return;
    ++commandSerial_;
    stepHistory_ = historyGeneration_;
    try {
        stepStart_ = report();
    } catch (...) {
        stepStart_.reset();
    }
}

void ReportDocument::endStep() noexcept {
    if (--stepDepth_ > 0 || !stepStart_)
        return;
    Report start = std::move(*stepStart_);
    stepStart_.reset();
    if (stepHistory_ != historyGeneration_)
        return;
    try {
        Report now = report();
        if (now != start)
            history_.push(new Change(std::move(start), std::move(now), commandSerial_));
    } catch (...) {
    }
}

} // namespace rg
