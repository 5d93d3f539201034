#pragma once

// Everything a user can change about a grid report: page, fonts, colours, print options and
// behaviours. A plain value, so the designer can take a copy and give it back.

#include "print/printerpage.h"
#include "print/printoptions.h"

#include <QColor>
#include <QString>

namespace rg {

struct TdxGridReportSettings {
    TdxPrinterPage PrinterPage;

    ReportFont ReportTitleFont;
    ReportFont Font, EvenFont, OddFont; // cells
    ReportFont BandFont, HeaderFont, GroupNodeFont, FooterFont, RowFooterFont, PreviewFont;

    QColor BandColor, HeaderColor, GroupNodeColor, RowFooterColor;
    QColor GridLineColor, Color, EvenColor, OddColor, PreviewColor, TreeLineColor;

    TdxTreeListPaintOptions Options;

    bool BandsOnEveryPage = true;
    bool HeadersOnEveryPage = true;
    bool FootersOnEveryPage = false;
    bool AutoNodesExpand = false;
    bool OnlySelected = false;
    TdxTreeListDrawMode DrawMode = TdxTreeListDrawMode::tldmStrict;
    bool ShowPageHeader = true, ShowPageFooter = true;
    // Each page ends with its own sum and the sum so far, which heads the next page.
    bool PageSubtotals = false;
    TdxReportTitleMode ReportTitleMode = TdxReportTitleMode::tmOnEveryTopPage;
    QString ReportTitleText;

    bool operator==(const TdxGridReportSettings&) const = default;

    // The settings the main window gives its report link; colours follow the application
    // palette of the moment.
    static TdxGridReportSettings Defaults();
};

} // namespace rg
