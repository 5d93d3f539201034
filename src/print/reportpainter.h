#pragma once

// Paints one page of a built report onto any painter: a printer, a PDF writer, an image or
// the preview window.

#include "print/reportlayout.h"
#include "print/reportsettings.h"

#include <QDateTime>
#include <QLineF>
#include <QList>
#include <QPainter>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rg {

class ReportPainter {
public:
    ReportPainter(const TdxDBGrid& grid, const TdxGridReportSettings& settings,
                  const ReportLayout& layout, const QDateTime& printed);

    // `paper` is where the whole sheet lies in the painter's coordinates.
    void paintPage(QPainter& p, int page, const QRectF& paper) const;

private:
    struct Face {
        explicit Face(const ReportFont& f);
        QFont font;
        QColor color;
    };
    // What a page draws, gathered and then drawn a colour, a pen and a font at a time: a
    // state change per cell made most of a PDF page.
    struct Ink {
        struct Fill {
            QColor color;
            std::vector<QRectF> rects;
        };
        struct Segment {
            double at, from, to;
        };
        struct Run {
            QColor color;
            uint16_t font;
            QList<quint32> indexes;
            QList<QPointF> positions;
        };
        struct Wrapped {
            QRectF rect;
            const Face* face;
            QString text;
            Qt::Alignment align;
        };
        std::vector<Fill> fills;
        std::vector<Segment> across, down; // grid lines: horizontal at y, vertical at x
        std::vector<Run> runs;
        std::vector<Wrapped> wrapped;
    };
    // Whole values wrap where they do not fit; other texts end in "…".
    enum class Fit { Elide, Whole };

    void paintPageTexts(int page) const;
    void paintTitle(const ReportStrip& strip, double y) const;
    void paintBandRow(double y) const;
    void paintHeaderRow(double y) const;
    void paintLine(int index, double y) const;
    void paintDataRow(int index, double y) const;
    void paintGroupRow(const VisibleRow& line, double y) const;
    void paintFooterRow(const VisibleRow& line, double y) const;
    void paintSummaryFooter(double y) const;
    // A cell's text by layout column, none for no cell.
    using CellTexts =
        std::function<std::optional<std::string>(size_t column, const TdxDBGridColumn& c)>;
    void paintTotalsRow(double y, const char* label, const CellTexts& cellText) const;
    double paintSubtotalRows(int rowPage, double y, bool above) const;

    void text(const QRectF& r, const Face& face, std::string_view s, Qt::Alignment align,
              Fit fit = Fit::Elide) const;
    void fill(const QRectF& r, const QColor& c) const;
    void outline(const QRectF& r) const;
    void line(double x1, double y, double x2) const;
    void flush(QPainter& p) const;
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
    mutable Ink ink_;
};

} // namespace rg
