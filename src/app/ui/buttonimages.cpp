#include "app/ui/buttonimages.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace rg {

namespace {

const QColor outline(40, 40, 40);

void openBook(QPainter& p) {
    p.setPen(QPen(outline, 1));
    p.setBrush(QColor(250, 250, 240));
    QPolygonF left({{1.5, 3.5}, {7.5, 4.5}, {7.5, 13.5}, {1.5, 12.5}});
    QPolygonF right({{14.5, 3.5}, {8.5, 4.5}, {8.5, 13.5}, {14.5, 12.5}});
    p.drawPolygon(left);
    p.drawPolygon(right);
    p.setPen(QColor(120, 120, 160));
    for (int y = 6; y <= 11; y += 2) {
        p.drawLine(QPointF(3, y), QPointF(6, y + 0.5));
        p.drawLine(QPointF(10, y + 0.5), QPointF(13, y));
    }
    p.setPen(QPen(QColor(150, 40, 40), 1));
    p.drawLine(QPointF(1.5, 13.5), QPointF(14.5, 13.5));
}

void page(QPainter& p, QRectF r) {
    p.setPen(outline);
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(QColor(90, 90, 200));
    for (qreal y = r.top() + 2.5; y < r.bottom() - 1; y += 2)
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

void twoPages(QPainter& p) {
    page(p, QRectF(1.5, 0.5, 9, 11));
    page(p, QRectF(5.5, 4.5, 9, 11));
}

void printer(QPainter& p) {
    p.setPen(outline);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 0.5, 7, 6)); // paper in
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(QRectF(0.5, 6.5, 15, 6)); // body
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 10.5, 9, 5)); // paper out
    p.setPen(QColor(0, 170, 0));
    p.drawPoint(QPointF(13, 8));
}

void gear(QPainter& p) {
    QPainterPath teeth;
    const QPointF c(8, 8);
    for (int i = 0; i < 8; ++i) {
        const qreal a = qDegreesToRadians(i * 45.0);
        const QPointF d(qCos(a), qSin(a));
        const QPointF n(-d.y(), d.x());
        QPolygonF tooth({c + d * 4 + n * 1.6, c + d * 7.5 + n * 1.3, c + d * 7.5 - n * 1.3,
                         c + d * 4 - n * 1.6});
        teeth.addPolygon(tooth);
        teeth.closeSubpath();
    }
    teeth.addEllipse(c, 5.5, 5.5);
    QPainterPath hole;
    hole.addEllipse(c, 2, 2);
    p.setPen(QPen(outline, 0.8));
    p.setBrush(QColor(150, 150, 165));
    p.drawPath(teeth.simplified().subtracted(hole));
}

void unused(QPainter& p) {
    p.setPen(QColor(160, 160, 160));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(2.5, 2.5, 11, 11));
}

void doorWithArrow(QPainter& p) {
    p.setPen(outline);
    p.setBrush(QColor(160, 100, 50));
    p.drawRect(QRectF(1.5, 0.5, 8, 15));
    p.setBrush(QColor(230, 200, 60));
    p.drawEllipse(QPointF(7.5, 8.5), 0.9, 0.9);
    QPolygonF arrow(
        {{8, 6.5}, {11.5, 6.5}, {11.5, 4}, {15.5, 8.5}, {11.5, 13}, {11.5, 10.5}, {8, 10.5}});
    p.setPen(QColor(0, 90, 0));
    p.setBrush(QColor(30, 180, 40));
    p.drawPolygon(arrow);
}

void openFolder(QPainter& p) {
    p.setPen(outline);
    p.setBrush(QColor(220, 180, 60));
    p.drawPolygon(
        QPolygonF({{0.5, 3.5}, {5.5, 3.5}, {6.5, 5}, {13.5, 5}, {13.5, 13.5}, {0.5, 13.5}}));
    p.setBrush(QColor(250, 220, 110));
    p.drawPolygon(QPolygonF({{3, 7.5}, {15.5, 7.5}, {13.5, 13.5}, {0.5, 13.5}}));
}

void questionOnGreenDisc(QPainter& p) {
    p.setPen(QColor(0, 100, 0));
    p.setBrush(QColor(40, 170, 60));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QFont f = p.font();
    f.setFamily(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(12);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
}

QPixmap draw(void (*subject)(QPainter&)) {
    QPixmap pixmap(TImageList::Width, TImageList::Height);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    subject(p);
    return pixmap;
}

} // namespace

TImageList::TImageList(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("ilButtons"));
    for (auto subject : {openBook, twoPages, printer, gear, unused, doorWithArrow, openFolder,
                         questionOnGreenDisc})
        images_.push_back(draw(subject));
}

} // namespace rg
