#pragma once

// The report's page: paper, orientation, margins, page header and footer, scaling. Lengths
// are in thousandths of a millimetre.

#include "print/printoptions.h"

#include <QDateTime>
#include <QPageLayout>
#include <QRectF>
#include <QString>

#include <array>

namespace rg {

struct TdxMargins {
    int top = 12700, bottom = 12700, left = 12700, right = 12700;
    bool operator==(const TdxMargins&) const = default;
};

enum class TdxScaleMode : uint8_t { smAdjust, smFit };
enum class TdxPageOrder : uint8_t { poOverThenDown, poDownThenOver };

class TdxPrinterPage {
public:
    // US Letter, 8.5 x 11 in., unless the user's locale names its paper (A4 in most of the
    // world): the constructor takes that.
    int PageWidth = 215900, PageHeight = 279400;
    int PaperCode = 1; // the platform's paper number: 1 is Letter
    QPageLayout::Orientation Orientation = QPageLayout::Portrait;
    TdxMargins Margins;
    TdxMargins MinMargins{0, 0, 0, 0};
    int Header = 6350; // page header's distance from the top edge
    int Footer = 6350; // page footer's distance from the bottom edge
    ReportFont PageHeaderFont, PageFooterFont;
    // Left, centre and right texts; "[Page #]", "[Total Pages]", "[Date Printed]" and
    // "[Time Printed]" are replaced when printed.
    std::array<QString, 3> PageHeaderTexts, PageFooterTexts;
    TdxScaleMode ScaleMode = TdxScaleMode::smAdjust;
    int ScaleFactor = 100; // percent, in adjust mode
    int FitToPagesHorizontally = 1, FitToPagesVertically = 1;
    TdxPageOrder PageOrder = TdxPageOrder::poOverThenDown;
    bool CenterOnPageH = false, CenterOnPageV = false;
    bool GrayShading = false;
    bool AutoPaperSource = true;

    TdxPrinterPage();
    bool operator==(const TdxPrinterPage&) const = default;

    // Paper size as oriented, in millimetres.
    QSizeF paperSizeMM() const;
    // The paper and the part inside the margins (at least 10 pixels each way), in logical
    // pixels.
    QSizeF paperPx() const;
    QRectF bodyPx() const;
    QPageSize pageSize() const;
    void setPageSize(const QPageSize& size);
    // The paper as a setup keeps it: a standard size's name ("A4", "Letter"), else its width
    // and height in millimetres ("200x300"). A text that names no paper is refused (false).
    QString paperName() const;
    bool setPaperName(const QString& name);
    // The whole paper with no margins: the report places everything itself.
    QPageLayout deviceLayout() const;

    static QString expandMacros(const QString& text, int page, int pages, const QDateTime& when);
};

// 96 logical pixels to the inch: the unit of the grid's column widths and of the report's
// layout before it is scaled onto paper.
constexpr double kLogicalDpi = 96.0;
inline double mmToPx(double mm) {
    return mm / 25.4 * kLogicalDpi;
}
inline double milliMmToPx(int thousandths) {
    return mmToPx(thousandths / 1000.0);
}

} // namespace rg
