#include "print/printerpage.h"

#include <QGuiApplication>
#include <QPalette>
#include <QRegularExpression>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <langinfo.h>
#include <optional>

namespace rg {

namespace {

ReportFont tahoma8() {
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSize(8);
    return {f, QGuiApplication::palette().color(QPalette::WindowText)};
}

// The paper of LC_PAPER in millimetres; none in the C locale, which names no country's
// paper: the program keeps its own there.
std::optional<QSizeF> localePaperMM() {
    const char* name = std::setlocale(LC_PAPER, nullptr);
    if (name == nullptr || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 ||
        std::strncmp(name, "C.", 2) == 0)
        return std::nullopt;
    // glibc hands the numbers out as the pointer's bits.
    const auto number = [](nl_item item) {
        return static_cast<int>(reinterpret_cast<intptr_t>(nl_langinfo(item)));
    };
    const int width = number(_NL_PAPER_WIDTH), height = number(_NL_PAPER_HEIGHT);
    if (width <= 0 || height <= 0)
        return std::nullopt;
    return QSizeF(width, height);
}

} // namespace

TdxPrinterPage::TdxPrinterPage() : PageHeaderFont(tahoma8()), PageFooterFont(tahoma8()) {
    if (const std::optional<QSizeF> mm = localePaperMM())
        setPageSize(QPageSize(*mm, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch));
}

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

QString TdxPrinterPage::paperName() const {
    const QPageSize size = pageSize();
    if (size.id() != QPageSize::Custom)
        return QPageSize::key(size.id());
    return QStringLiteral("%1x%2").arg(PageWidth / 1000.0).arg(PageHeight / 1000.0);
}

bool TdxPrinterPage::setPaperName(const QString& name) {
    for (int id = 0; id <= QPageSize::LastPageSize; ++id) {
        const auto pageId = static_cast<QPageSize::PageSizeId>(id);
        if (pageId != QPageSize::Custom &&
            QPageSize::key(pageId).compare(name, Qt::CaseInsensitive) == 0) {
            setPageSize(QPageSize(pageId));
            return true;
        }
    }
    static const QRegularExpression mm(
        QStringLiteral(R"(^\s*(\d+(?:\.\d+)?)\s*[xX×]\s*(\d+(?:\.\d+)?)\s*$)"));
    const QRegularExpressionMatch m = mm.match(name);
    if (!m.hasMatch())
        return false;
    const double w = m.captured(1).toDouble(), h = m.captured(2).toDouble();
    if (w < 10 || h < 10 || w > 10000 || h > 10000)
        return false;
    setPageSize(QPageSize(QSizeF(w, h), QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch));
    return true;
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
