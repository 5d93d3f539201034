#include "print/ui/previewwindow.h"

#include "print/componentprinter.h"
#include "print/reportlink.h"
#include "print/ui/previewpageview.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace rg {

namespace {

const int kZooms[] = {25, 50, 75, 100, 150, 200, 300, 400};

} // namespace

TdxPreviewWindow::TdxPreviewWindow(TdxComponentPrinter& engine, TdxDBGridReportLink& link,
                                   CommandGuard guard, QWidget* parent)
    : QDialog(parent), engine_(engine), link_(link), guard_(std::move(guard)) {
    setObjectName(QStringLiteral("dxPreviewWindow"));
    setWindowTitle(link.WindowTitle(tr("打印预览")));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    resize(900, 700);

    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    PreviewToolBar = new QToolBar(this);
    PreviewToolBar->setObjectName(QStringLiteral("PreviewToolBar"));
    layout->addWidget(PreviewToolBar);

    actPrint =
        addAction("actPrint", tr("打印..."), QKeySequence::Print, &TdxPreviewWindow::printClick);
    actPageSetup =
        addAction("actPageSetup", tr("页面设置..."), {}, &TdxPreviewWindow::pageSetupClick);
    actDesigner = addAction("actDesigner", tr("报表设计..."), {}, &TdxPreviewWindow::designerClick);
    PreviewToolBar->addSeparator();
    actFirstPage = addAction("actFirstPage", tr("首页"), Qt::CTRL | Qt::Key_Home,
                             &TdxPreviewWindow::firstClick);
    actPriorPage =
        addAction("actPriorPage", tr("上一页"), Qt::Key_PageUp, &TdxPreviewWindow::priorClick);
    edPageNumber = new QSpinBox(PreviewToolBar);
    edPageNumber->setObjectName(QStringLiteral("edPageNumber"));
    edPageNumber->setKeyboardTracking(false);
    PreviewToolBar->addWidget(edPageNumber);
    lblPageCount = new QLabel(PreviewToolBar);
    lblPageCount->setObjectName(QStringLiteral("lblPageCount"));
    PreviewToolBar->addWidget(lblPageCount);
    actNextPage =
        addAction("actNextPage", tr("下一页"), Qt::Key_PageDown, &TdxPreviewWindow::nextClick);
    actLastPage =
        addAction("actLastPage", tr("末页"), Qt::CTRL | Qt::Key_End, &TdxPreviewWindow::lastClick);
    PreviewToolBar->addSeparator();
    actZoomOut =
        addAction("actZoomOut", tr("缩小"), QKeySequence::ZoomOut, &TdxPreviewWindow::zoomOutClick);
    cbZoom = new QComboBox(PreviewToolBar);
    cbZoom->setObjectName(QStringLiteral("cbZoom"));
    for (int z : kZooms)
        cbZoom->addItem(QStringLiteral("%1%").arg(z), z);
    cbZoom->addItem(tr("页宽"), 0);
    cbZoom->addItem(tr("整页"), -1);
    PreviewToolBar->addWidget(cbZoom);
    actZoomIn =
        addAction("actZoomIn", tr("放大"), QKeySequence::ZoomIn, &TdxPreviewWindow::zoomInClick);
    PreviewToolBar->addSeparator();
    actClose = addAction("actClose", tr("关闭"), {}, nullptr);
    connect(actClose, &QAction::triggered, this, &QDialog::accept);

    PreviewArea = new QScrollArea(this);
    PreviewArea->setObjectName(QStringLiteral("PreviewArea"));
    PreviewArea->setAlignment(Qt::AlignCenter);
    PreviewArea->setBackgroundRole(QPalette::Dark);
    PreviewPage = new TdxPreviewPageView(link_);
    PreviewArea->setWidget(PreviewPage);
    layout->addWidget(PreviewArea, 1);

    connect(edPageNumber, &QSpinBox::valueChanged, this, [this](int v) { goToPage(v - 1); });
    connect(cbZoom, &QComboBox::activated, this, &TdxPreviewWindow::zoomChosen);
    setZoomPercent(100);
    updateControls();
}

QAction* TdxPreviewWindow::addAction(const char* name, const QString& text, QKeySequence key,
                                     void (TdxPreviewWindow::*slot)()) {
    QAction* a = PreviewToolBar->addAction(text);
    a->setObjectName(QLatin1String(name));
    if (!key.isEmpty())
        a->setShortcut(key);
    if (slot)
        connect(a, &QAction::triggered, this, [this, slot] { guard_([&] { (this->*slot)(); }); });
    return a;
}

int TdxPreviewWindow::currentPage() const {
    return PreviewPage->page();
}

void TdxPreviewWindow::goToPage(int page) {
    PreviewPage->setPage(page);
    PreviewArea->verticalScrollBar()->setValue(0);
    updateControls();
}

void TdxPreviewWindow::lastClick() {
    goToPage(link_.PageCount() - 1);
}

double TdxPreviewWindow::zoom() const {
    return PreviewPage->zoom();
}

void TdxPreviewWindow::setZoomPercent(int percent) {
    fitMode_ = percent == 0 ? 1 : percent < 0 ? 2 : 0;
    if (fitMode_)
        applyFitZoom();
    else
        PreviewPage->setZoom(percent / 100.0);
    const int index = cbZoom->findData(percent);
    if (index >= 0)
        cbZoom->setCurrentIndex(index);
}

void TdxPreviewWindow::applyFitZoom() {
    const QSizeF paper = link_.PaperSize().isEmpty() ? QSizeF(816, 1056) : link_.PaperSize();
    const QSize room = PreviewArea->viewport()->size() -
                       QSize(2 * TdxPreviewPageView::kGap + 4, 2 * TdxPreviewPageView::kGap + 4);
    const double byWidth = room.width() / paper.width();
    PreviewPage->setZoom(fitMode_ == 1 ? byWidth
                                       : std::min(byWidth, room.height() / paper.height()));
}

void TdxPreviewWindow::zoomChosen(int index) {
    setZoomPercent(cbZoom->itemData(index).toInt());
}

void TdxPreviewWindow::zoomInClick() {
    const int now = qRound(zoom() * 100);
    for (int z : kZooms)
        if (z > now)
            return setZoomPercent(z);
}

void TdxPreviewWindow::zoomOutClick() {
    const int now = qRound(zoom() * 100);
    for (auto it = std::rbegin(kZooms); it != std::rend(kZooms); ++it)
        if (*it < now)
            return setZoomPercent(*it);
}

void TdxPreviewWindow::updateControls() {
    const int pages = link_.PageCount();
    const QSignalBlocker block(edPageNumber);
    edPageNumber->setRange(pages > 0 ? 1 : 0, pages);
    edPageNumber->setValue(pages > 0 ? currentPage() + 1 : 0);
    lblPageCount->setText(tr(" / %1 页 ").arg(pages));
    actFirstPage->setEnabled(currentPage() > 0);
    actPriorPage->setEnabled(currentPage() > 0);
    actNextPage->setEnabled(currentPage() + 1 < pages);
    actLastPage->setEnabled(currentPage() + 1 < pages);
}

void TdxPreviewWindow::reportChanged() {
    PreviewPage->reportChanged();
    if (fitMode_)
        applyFitZoom();
    updateControls();
}

void TdxPreviewWindow::printClick() {
    engine_.Print(true, nullptr, &link_);
    reportChanged();
}

void TdxPreviewWindow::pageSetupClick() {
    engine_.PageSetup(&link_);
    reportChanged();
}

void TdxPreviewWindow::designerClick() {
    engine_.DesignReport(&link_);
    reportChanged();
}

void TdxPreviewWindow::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Home:
        goToPage(0);
        break;
    case Qt::Key_End:
        lastClick();
        break;
    default:
        QDialog::keyPressEvent(e);
    }
}

void TdxPreviewWindow::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    if (fitMode_)
        applyFitZoom();
}

} // namespace rg
