#include "print/reportsettings.h"

#include <QGuiApplication>
#include <QPalette>

namespace rg {

namespace {

ReportFont timesNewRoman(int points, bool bold) {
    QFont f(QStringLiteral("Times New Roman"));
    f.setPointSize(points);
    f.setBold(bold);
    return {f, QGuiApplication::palette().color(QPalette::WindowText)};
}

} // namespace

TdxGridReportSettings TdxGridReportSettings::Defaults() {
    using enum TdxTreeListPaintOption;
    TdxGridReportSettings s;
    s.ReportTitleFont = timesNewRoman(14, true);
    const ReportFont normal = timesNewRoman(8, false);
    s.Font = s.EvenFont = s.OddFont = normal;
    s.BandFont = s.HeaderFont = s.GroupNodeFont = s.FooterFont = s.RowFooterFont = s.PreviewFont =
        normal;

    const QColor buttonFace = QGuiApplication::palette().color(QPalette::Button);
    s.BandColor = s.HeaderColor = s.GroupNodeColor = s.RowFooterColor = buttonFace;
    s.GridLineColor = Qt::black;
    s.Color = s.EvenColor = s.OddColor = s.PreviewColor = Qt::white;
    s.TreeLineColor = QColor(128, 128, 128);

    s.Options = {tlpoBands,   tlpoHeaders,      tlpoFooters, tlpoRowFooters,
                 tlpoPreview, tlpoPreviewGrid,  tlpoGrid,    tlpoFlatCheckMarks,
                 tlpoSoft3D,  tlpoRowFooterGrid};
    return s;
}

} // namespace rg
