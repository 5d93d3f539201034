#pragma once

// The report link on the result grid: its settings, the report built from the grid's
// current content, and the painting of its pages.

#include "chart/groupchart.h"
#include "grid/grid.h"
#include "print/crossreport.h"
#include "print/reportlayout.h"
#include "print/reportsettings.h"

#include <QDateTime>
#include <QPagedPaintDevice>
#include <QPainter>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace rg {

class TdxDBGridReportLink : public TdxGridReportSettings {
public:
    explicit TdxDBGridReportLink(TdxDBGrid* grid = nullptr);

    std::string Name = "dxComponentPrinter1Link1";
    QString Caption = QStringLiteral("dxComponentPrinter1Link1");
    // What the user calls the report (the name of its setup), for the titles of the
    // preview and the designer; the component's caption means nothing to the user.
    QString ReportName;
    // The name with the parameter values the grid's rows were read with, taken from its data
    // set: "销售明细（2026年2月）"; the name alone for a report without parameters.
    QString NameWithValues() const;
    // "打印预览 - 销售明细（2026年2月）", or the command alone while the report has no name.
    QString WindowTitle(const QString& command) const {
        const QString name = NameWithValues();
        return name.isEmpty() ? command : command + QStringLiteral(" - ") + name;
    }
    // The title printed above the report: the designer's title, else the report's name; either
    // followed by the parameter values when the report has some. Empty: no title.
    QString PrintedTitle() const;

    TdxDBGrid* Component() const { return grid_; }

    const TdxGridReportSettings& Settings() const { return *this; }
    // Takes new settings; a built report is paginated again.
    void AssignSettings(const TdxGridReportSettings& s);
    void RestoreDefaults() { AssignSettings(TdxGridReportSettings::Defaults()); }
    // The print choices the report keeps live on its grid: the link takes them before it
    // builds or shows its dialogs, and gives back what the user changed there.
    void TakeGridChoices();
    void GiveGridChoices() const;

    // Builds the report from the grid's current rows, or its cross table while it shows one;
    // false when the progress callback cancelled it (the report is then empty).
    bool RebuildReport(const ReportLayout::Progress& progress = {});
    bool Built() const { return built_; }
    // New page breaks after the settings were changed in place.
    void Paginate();

    // The chart shown beside the grid, when there is one, adds a page of its own at the end.
    int PageCount() const { return built_ ? tablePages() + (chart_ ? 1 : 0) : 0; }
    const ReportLayout& Layout() const { return layout_; }
    // The paper size in logical pixels (96 to the inch) as laid out.
    QSizeF PaperSize() const { return cross_ ? cross_->paperSize() : layout_.paperSize(); }
    void PaintPage(QPainter& p, int page, const QRectF& paper) const;

    // Prints pages (0-based, in the order given) onto a printer or PDF writer. The device is
    // given the link's paper with no margins. `progress` hears every page; false cancels.
    using PageProgress = std::function<bool(int done, int total)>;
    void PrintPages(QPagedPaintDevice& device, const std::vector<int>& pages,
                    const PageProgress& progress = {}) const;
    std::vector<int> AllPages() const;
    // A page progress that reports each page to the thread's progress sink as `what`; a
    // cancel there stops the pages and sets `cancelled`, for the caller to throw rg::Cancelled
    // once the device is closed.
    static PageProgress ReportingPages(const char* what, bool& cancelled);

private:
    struct Chart {
        ChartData data;
        ChartType type;
    };
    // The settings as printed: with PrintedTitle for the title.
    TdxGridReportSettings printedSettings() const;
    int tablePages() const { return cross_ ? cross_->pageCount() : layout_.pageCount(); }
    void paintChartPage(QPainter& p, const QRectF& paper) const;

    TdxDBGrid* grid_ = nullptr;
    ReportLayout layout_;
    std::optional<CrossReport> cross_; // instead of the layout's rows
    std::optional<Chart> chart_;       // as the grid's chart was when the report was built
    bool built_ = false;
    QDateTime printed_;
};

} // namespace rg
