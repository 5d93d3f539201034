#include "chart/chartpainter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>

#include <algorithm>
#include <cmath>

namespace rg {

uint32_t ChartSeriesRgb(size_t i) {
    static const uint32_t colors[] = {0x209FDF, 0x99CA53, 0xF6A625, 0x6D5FD5, 0xBF593E,
                                      0x38AD6B, 0xE04E8A, 0x8C8C8C, 0x3C5A9A, 0xD4C23A};
    return colors[i % std::size(colors)];
}

namespace {

QColor seriesColor(size_t i) {
    return QColor(static_cast<QRgb>(ChartSeriesRgb(i)));
}

double shown(double v) {
    return std::isfinite(v) ? v : 0;
}

QString qs(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Up to four steps between the lowest and highest value, with zero inside the range.
void axisRange(const ChartData& d, double& low, double& high) {
    low = 0;
    high = 0;
    for (const ChartSeries& s : d.series)
        for (double v : s.values) {
            low = std::min(low, shown(v));
            high = std::max(high, shown(v));
        }
    if (high == low)
        high = low + 1;
}

void paintLegend(QPainter& p, const QRectF& area, const std::vector<QString>& names) {
    const QFontMetricsF fm(p.font());
    double y = area.top();
    for (size_t i = 0; i < names.size() && y + fm.height() <= area.bottom(); ++i) {
        p.fillRect(QRectF(area.left(), y + 2, fm.height() - 4, fm.height() - 4), seriesColor(i));
        p.drawText(QPointF(area.left() + fm.height(), y + fm.ascent()), names[i]);
        y += fm.height() * 1.2;
    }
}

void paintPie(QPainter& p, const QRectF& area, const ChartData& d) {
    const ChartSeries& s = d.series.front();
    double total = 0;
    for (double v : s.values)
        total += std::max(0.0, shown(v));
    const double side = std::min(area.width() * 0.6, area.height());
    const QRectF pie(area.left(), area.top() + (area.height() - side) / 2, side, side);
    double start = 90 * 16;
    std::vector<QString> names;
    for (size_t i = 0; i < s.values.size(); ++i) {
        names.push_back(qs(d.categories[i]));
        if (total <= 0)
            continue;
        const double span = -360.0 * 16 * std::max(0.0, shown(s.values[i])) / total;
        p.setBrush(seriesColor(i));
        p.drawPie(pie, static_cast<int>(std::lround(start)), static_cast<int>(std::lround(span)));
        start += span;
    }
    paintLegend(
        p, QRectF(pie.right() + side * 0.1, area.top(), area.right() - pie.right(), area.height()),
        names);
}

constexpr int kTicks = 4;

// A value axis label in plain digits with the places its tick step needs (1225980, 0.25),
// never an exponent that the label's room would cut.
QString tickText(double low, double high, int k) {
    const double step = (high - low) / kTicks;
    const int places = step >= 1 ? 0 : std::min(6, static_cast<int>(std::ceil(-std::log10(step))));
    return QString::number(low + step * k, 'f', places);
}

// The room the value axis labels take left of the plot.
double tickWidth(const QFontMetricsF& fm, double low, double high) {
    double width = 0;
    for (int k = 0; k <= kTicks; ++k)
        width = std::max(width, fm.horizontalAdvance(tickText(low, high, k)));
    return width + 8;
}

void paintAxes(QPainter& p, const QRectF& plot, const ChartData& d, double low, double high) {
    const QFontMetricsF fm(p.font());
    p.setPen(QColor(0x808080));
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    const double width = tickWidth(fm, low, high);
    for (int k = 0; k <= kTicks; ++k) {
        const double y = plot.bottom() - plot.height() * k / kTicks;
        p.drawLine(QPointF(plot.left() - 3, y), QPointF(plot.left(), y));
        p.drawText(QRectF(plot.left() - width, y - fm.height() / 2, width - 5, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, tickText(low, high, k));
    }
    const double zero = plot.bottom() - plot.height() * (0 - low) / (high - low);
    p.drawLine(QPointF(plot.left(), zero), QPointF(plot.right(), zero));
    const double step = plot.width() / static_cast<double>(d.categories.size());
    p.setPen(Qt::black);
    for (size_t i = 0; i < d.categories.size(); ++i) {
        const QRectF cell(plot.left() + step * static_cast<double>(i), plot.bottom() + 2, step,
                          fm.height() * 2);
        p.drawText(cell, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                   fm.elidedText(qs(d.categories[i]), Qt::ElideRight, step * 2));
    }
}

} // namespace

void PaintChart(QPainter& p, const QRectF& area, const ChartData& d, ChartType type) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetricsF fm(p.font());
    const QFont normal = p.font();
    QFont bold = normal;
    bold.setBold(true);
    p.setFont(bold);
    p.drawText(QRectF(area.left(), area.top(), area.width(), fm.height() * 1.5), Qt::AlignCenter,
               qs(d.title));
    p.setFont(normal);
    const QRectF body = area.adjusted(0, fm.height() * 2, 0, 0);
    if (d.empty()) {
        p.restore();
        return;
    }
    if (type == ChartType::Pie) {
        paintPie(p, body, d);
        p.restore();
        return;
    }
    std::vector<QString> names;
    for (const ChartSeries& s : d.series)
        names.push_back(qs(s.name));
    const double legend = d.series.size() > 1 ? body.width() * 0.2 : 0;
    if (legend > 0)
        paintLegend(p, QRectF(body.right() - legend, body.top(), legend, body.height()), names);
    double low = 0, high = 0;
    axisRange(d, low, high);
    const double labels = tickWidth(fm, low, high);
    const QRectF plot(body.left() + labels, body.top(), body.width() - legend - labels,
                      body.height() - fm.height() * 2.5);
    paintAxes(p, plot, d, low, high);
    const double step = plot.width() / static_cast<double>(d.categories.size());
    auto yOf = [&](double v) { return plot.bottom() - plot.height() * (v - low) / (high - low); };
    const double width = step * 0.7 / static_cast<double>(d.series.size());
    for (size_t s = 0; s < d.series.size(); ++s) {
        const std::vector<double>& values = d.series[s].values;
        QPainterPath line;
        for (size_t i = 0; i < values.size(); ++i) {
            const double x = plot.left() + step * static_cast<double>(i);
            if (type == ChartType::Bar) {
                const double left = x + step * 0.15 + width * static_cast<double>(s);
                p.fillRect(
                    QRectF(QPointF(left, yOf(shown(values[i]))), QPointF(left + width, yOf(0)))
                        .normalized(),
                    seriesColor(s));
                continue;
            }
            const QPointF point(x + step / 2, yOf(shown(values[i])));
            if (i == 0)
                line.moveTo(point);
            else
                line.lineTo(point);
        }
        if (type == ChartType::Line) {
            p.setPen(QPen(seriesColor(s), 2));
            p.setBrush(Qt::NoBrush);
            p.drawPath(line);
        }
    }
    p.restore();
}

} // namespace rg
