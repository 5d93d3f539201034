#include "print/reportlink.h"

#include "chart/chartpainter.h"
#include "common/error.h"
#include "common/progress.h"
#include "datasource/dataset.h"
#include "print/reportpainter.h"

#include <algorithm>
#include <numeric>

namespace rg {

TdxDBGridReportLink::TdxDBGridReportLink(TdxDBGrid* grid)
    : TdxGridReportSettings(TdxGridReportSettings::Defaults()), grid_(grid) {}

namespace {

std::string parameterCaption(const TdxDBGrid* grid) {
    return grid && grid->dataSet() ? grid->dataSet()->ParameterCaption() : std::string();
}

QString withValues(const QString& name, const std::string& caption) {
    if (caption.empty())
        return name;
    const QString values = QString::fromStdString(caption);
    return name.isEmpty() ? values : name + QStringLiteral("（") + values + QStringLiteral("）");
}

} // namespace

QString TdxDBGridReportLink::NameWithValues() const {
    return ReportName.isEmpty() ? ReportName : withValues(ReportName, parameterCaption(grid_));
}

// Without parameters the title is the designer's alone, as it always was.
QString TdxDBGridReportLink::PrintedTitle() const {
    const std::string caption = parameterCaption(grid_);
    if (caption.empty())
        return ReportTitleText;
    return withValues(ReportTitleText.isEmpty() ? ReportName : ReportTitleText, caption);
}

TdxGridReportSettings TdxDBGridReportLink::printedSettings() const {
    TdxGridReportSettings s = Settings();
    s.ReportTitleText = PrintedTitle();
    return s;
}

void TdxDBGridReportLink::AssignSettings(const TdxGridReportSettings& s) {
    static_cast<TdxGridReportSettings&>(*this) = s;
    Paginate();
}

void TdxDBGridReportLink::TakeGridChoices() {
    if (grid_ == nullptr)
        return;
    const TdxDBGrid::PrintChoices& c = grid_->ReportPrintChoices();
    TdxGridReportSettings s = Settings();
    s.PageSubtotals = c.pageSubtotals;
    s.HeadersOnEveryPage = c.headersOnEveryPage;
    // A paper the setup names but this program does not know keeps the one chosen.
    const TdxPrinterPage defaults;
    if (!s.PrinterPage.setPaperName(QString::fromStdString(c.paper)))
        s.PrinterPage.setPaperName(defaults.paperName());
    s.PrinterPage.Orientation = c.orientation == "Landscape"  ? QPageLayout::Landscape
                                : c.orientation == "Portrait" ? QPageLayout::Portrait
                                                              : defaults.Orientation;
    if (!(s == Settings()))
        AssignSettings(s);
}

void TdxDBGridReportLink::GiveGridChoices() const {
    if (grid_ == nullptr)
        return;
    const TdxPrinterPage defaults;
    const QString paper = PrinterPage.paperName();
    const bool landscape = PrinterPage.Orientation == QPageLayout::Landscape;
    grid_->SetReportPrintChoices(
        {PageSubtotals, HeadersOnEveryPage,
         paper == defaults.paperName() ? std::string() : paper.toStdString(),
         PrinterPage.Orientation == defaults.Orientation ? std::string()
         : landscape                                     ? "Landscape"
                                                         : "Portrait"});
}

bool TdxDBGridReportLink::RebuildReport(const ReportLayout::Progress& progress) {
    built_ = false;
    chart_.reset();
    cross_.reset();
    printed_ = QDateTime::currentDateTime();
    if (grid_ == nullptr) {
        layout_.clear();
        return true;
    }
    if (grid_->ShownCrossTable() != nullptr) {
        layout_.clear();
        cross_.emplace();
        cross_->build(*grid_, printedSettings());
        built_ = true;
    } else {
        built_ = layout_.build(*grid_, printedSettings(), progress);
    }
    if (const GroupChart* chart = GroupChart::shownFor(*grid_); built_ && chart) {
        ChartData data = chart->data();
        if (!data.empty())
            chart_ = Chart{std::move(data), chart->type()};
    }
    return built_;
}

void TdxDBGridReportLink::Paginate() {
    if (built_ && cross_)
        cross_->paginate(printedSettings());
    else if (built_)
        layout_.paginate(printedSettings());
}

void TdxDBGridReportLink::PaintPage(QPainter& p, int page, const QRectF& paper) const {
    if (!built_ || grid_ == nullptr)
        return;
    const TdxGridReportSettings s = printedSettings();
    if (page == tablePages())
        paintChartPage(p, paper);
    else if (cross_)
        cross_->paintPage(p, page, paper, s, printed_, tablePages());
    else
        ReportPainter(*grid_, s, layout_, printed_).paintPage(p, page, paper);
}

// The chart in the report's logical pixels, inside a margin of a twelfth of the paper.
void TdxDBGridReportLink::paintChartPage(QPainter& p, const QRectF& paper) const {
    if (!chart_)
        return;
    const QSizeF size = PaperSize();
    if (size.width() <= 0)
        return;
    p.save();
    p.translate(paper.topLeft());
    const double scale = paper.width() / size.width();
    p.scale(scale, scale);
    QFont font = Font.font;
    font.setPixelSize(13);
    p.setFont(font);
    const double margin = std::min(size.width(), size.height()) / 12;
    const double height = std::min(size.height() - 2 * margin, size.width() * 0.75);
    PaintChart(p, QRectF(margin, margin, size.width() - 2 * margin, height), chart_->data,
               chart_->type);
    p.restore();
}

std::vector<int> TdxDBGridReportLink::AllPages() const {
    std::vector<int> pages(static_cast<size_t>(PageCount()));
    std::iota(pages.begin(), pages.end(), 0);
    return pages;
}

TdxDBGridReportLink::PageProgress TdxDBGridReportLink::ReportingPages(const char* what,
                                                                      bool& cancelled) {
    return [what, &cancelled](int done, int total) {
        try {
            reportProgress(what, done, total);
        } catch (const Cancelled&) {
            cancelled = true;
            return false;
        }
        return true;
    };
}

void TdxDBGridReportLink::PrintPages(QPagedPaintDevice& device, const std::vector<int>& pages,
                                     const PageProgress& progress) const {
    if (!built_ || grid_ == nullptr || pages.empty())
        return;
    // A printer that cannot go to the paper's edge keeps its own margins: the paper size and
    // orientation still apply, and the report keeps its place on the sheet.
    if (!device.setPageLayout(PrinterPage.deviceLayout())) {
        device.setPageSize(PrinterPage.pageSize());
        device.setPageOrientation(PrinterPage.Orientation);
    }
    QPainter p;
    if (!p.begin(&device))
        throw Error("Cannot start printing");
    const TdxGridReportSettings s = printedSettings();
    const ReportPainter painter(*grid_, s, layout_, printed_);
    const QRectF paper(0, 0, device.width(), device.height());
    for (size_t i = 0; i < pages.size(); ++i) {
        if (progress && !progress(static_cast<int>(i), static_cast<int>(pages.size())))
            break;
        if (i > 0)
            device.newPage();
        if (pages[i] == tablePages())
            paintChartPage(p, paper);
        else if (cross_)
            cross_->paintPage(p, pages[i], paper, s, printed_, tablePages());
        else
            painter.paintPage(p, pages[i], paper);
    }
    p.end();
}

} // namespace rg
