#include "print/ui/previewpageview.h"

#include "print/reportlink.h"

#include <QPainter>

#include <algorithm>

namespace rg {

TdxPreviewPageView::TdxPreviewPageView(TdxDBGridReportLink& link, QWidget* parent)
    : QWidget(parent), link_(link) {
    setObjectName(QStringLiteral("PreviewPage"));
    reportChanged();
}

void TdxPreviewPageView::setPage(int page) {
    page = std::clamp(page, 0, std::max(0, link_.PageCount() - 1));
    if (page == page_)
        return;
    page_ = page;
    update();
}

void TdxPreviewPageView::setZoom(double zoom) {
    zoom_ = std::clamp(zoom, 0.1, 5.0);
    resize(sizeHint());
    update();
}

void TdxPreviewPageView::reportChanged() {
    page_ = std::clamp(page_, 0, std::max(0, link_.PageCount() - 1));
    resize(sizeHint());
    update();
}

QSize TdxPreviewPageView::sizeHint() const {
    const QSizeF paper = link_.PaperSize().isEmpty() ? QSizeF(816, 1056) : link_.PaperSize();
    return (paper * zoom_).toSize() + QSize(2 * kGap, 2 * kGap);
}

void TdxPreviewPageView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Dark));
    const QRectF sheet(kGap, kGap, width() - 2 * kGap, height() - 2 * kGap);
    p.fillRect(sheet.translated(3, 3), Qt::black); // shadow
    p.fillRect(sheet, Qt::white);
    if (link_.PageCount() > 0)
        link_.PaintPage(p, page_, sheet);
}

} // namespace rg
