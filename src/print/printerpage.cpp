#include "print/printerpage.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>

namespace rg {

namespace {

ReportFont tahoma8() {
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSize(8);
    return {f, QGuiApplication::palette().color(QPalette::WindowText)};
}

} // namespace

TdxPrinterPage::TdxPrinterPage() : PageHeaderFont(tahoma8()), PageFooterFont(tahoma8()) {}

QSizeF TdxPrinterPage::paperSizeMM() const {
    const QSizeF portrait(PageWidth / 1000.0, PageHeight / 1000.0);
    return Orientation == QPageLayout::Portrait ? portrait : portrait.transposed();
}

QSizeF TdxPrinterPage::paperPx() const {
    const QSizeF mm = paperSizeMM();
    return QSizeF(mmToPx(mm.width()), mmToPx(mm.height()));
}

QRectF TdxPrinterPage::bodyPx() const {
    const QSizeF paper = paperPx();
    const double left = milliMmToPx(Margins.left), top = milliMmToPx(Margins.top);
    return QRectF(left, top, std::max(10.0, paper.width() - left - milliMmToPx(Margins.right)),
                  std::max(10.0, paper.height() - top - milliMmToPx(Margins.bottom)));
}

QPageSize TdxPrinterPage::pageSize() const {
    return QPageSize(QSizeF(PageWidth / 1000.0, PageHeight / 1000.0), QPageSize::Millimeter,
                     QString(), QPageSize::FuzzyMatch);
}

void TdxPrinterPage::setPageSize(const QPageSize& size) {
    const QSizeF mm = size.size(QPageSize::Millimeter);
    PageWidth = qRound(mm.width() * 1000);
    PageHeight = qRound(mm.height() * 1000);
    PaperCode = size.windowsId();
}

QPageLayout TdxPrinterPage::deviceLayout() const {
    return QPageLayout(pageSize(), Orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter,
                       QMarginsF(0, 0, 0, 0));
}

QString TdxPrinterPage::expandMacros(const QString& text, int page, int pages,
                                     const QDateTime& when) {
    QString s = text;
    s.replace(QStringLiteral("[Page #]"), QString::number(page));
    s.replace(QStringLiteral("[Total Pages]"), QString::number(pages));
    s.replace(QStringLiteral("[Date Printed]"), when.date().toString(QStringLiteral("yyyy-MM-dd")));
    s.replace(QStringLiteral("[Time Printed]"), when.time().toString(QStringLiteral("hh:mm:ss")));
    return s;
}

} // namespace rg
