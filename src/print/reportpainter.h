#pragma once

// Paints one page of a built report onto any painter: a printer, a PDF writer, an image or
// the preview window.

#include "print/reportlayout.h"
#include "print/reportsettings.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QPainter>

namespace rg {

class ReportPainter {
public:
    ReportPainter(const TdxDBGrid& grid, const TdxGridReportSettings& settings,
                  const ReportLayout& layout, const QDateTime& printed);

    // `paper` is where the whole sheet lies in the painter's coordinates.
    void paintPage(QPainter& p, int page, const QRectF& paper) const;

private:
    struct Face {
        Face() : metrics(QFont()) {}
        explicit Face(const ReportFont& f);
        QFont font;
        QFontMetricsF metrics;
        QColor color;
    };

    void paintPageTexts(QPainter& p, int page) const;
    void paintTitle(QPainter& p, const ReportStrip& strip, double y) const;
    void paintBandRow(QPainter& p, double y) const;
    void paintHeaderRow(QPainter& p, double y) const;
    void paintLine(QPainter& p, int index, double y) const;
    void paintDataRow(QPainter& p, int index, double y) const;
    void paintGroupRow(QPainter& p, const VisibleRow& line, double y) const;
    void paintFooterRow(QPainter& p, const VisibleRow& line, double y) const;
    void paintSummaryFooter(QPainter& p, double y) const;

    void text(QPainter& p, const QRectF& r, const Face& face, const QString& s,
              Qt::Alignment align) const;
    void fill(QPainter& p, const QRectF& r, const QColor& c) const;
    void outline(QPainter& p, const QRectF& r) const;
    QColor ink(const QColor& c) const;
    bool visible(const ReportColumn& c) const;

    const TdxDBGrid& grid_;
    const TdxGridReportSettings& s_;
    const ReportLayout& layout_;
    QDateTime printed_;
    Face title_, cell_, even_, odd_, band_, header_, group_, footer_, rowFooter_, pageHeader_,
        pageFooter_;
    // The strip being painted: columns outside it are skipped.
    mutable ReportStrip strip_;
};

} // namespace rg
