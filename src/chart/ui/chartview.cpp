#include "chart/ui/chartview.h"

#include "common/error.h"
#include "common/ui/commandguard.h"
#include "export/exportname.h"

#include <QActionGroup>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QImage>
#include <QLineSeries>
#include <QMenu>
#include <QPainter>
#include <QPieSeries>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <QValueAxis>

#include <cmath>

namespace rg {

namespace {

QString qs(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

double shown(double v) {
    return std::isfinite(v) ? v : 0;
}

// Bars or lines over the categories, with a value axis from zero.
void addAxisSeries(QChart* chart, const ChartData& d, ChartType type) {
    QStringList categories;
    for (const std::string& c : d.categories)
        categories << qs(c);
    auto xAxis = new QBarCategoryAxis(chart);
    xAxis->append(categories);
    // Slanted, the names of many groups fit side by side.
    if (categories.size() > 4)
        xAxis->setLabelsAngle(-45);
    auto yAxis = new QValueAxis(chart);
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);
    double low = 0, high = 0;
    if (type == ChartType::Bar) {
        auto bars = new QBarSeries(chart);
        for (const ChartSeries& s : d.series) {
            auto set = new QBarSet(qs(s.name), bars);
            for (double v : s.values) {
                set->append(shown(v));
                low = std::min(low, shown(v));
                high = std::max(high, shown(v));
            }
            bars->append(set);
        }
        chart->addSeries(bars);
        bars->attachAxis(xAxis);
        bars->attachAxis(yAxis);
    } else {
        for (const ChartSeries& s : d.series) {
            auto line = new QLineSeries(chart);
            line->setName(qs(s.name));
            for (size_t i = 0; i < s.values.size(); ++i) {
                // The category axis places category i at i.
                line->append(static_cast<double>(i), shown(s.values[i]));
                low = std::min(low, shown(s.values[i]));
                high = std::max(high, shown(s.values[i]));
            }
            chart->addSeries(line);
            line->attachAxis(xAxis);
            line->attachAxis(yAxis);
        }
    }
    yAxis->setRange(low, high > low ? high : low + 1);
    yAxis->applyNiceNumbers();
}

void addPie(QChart* chart, const ChartData& d) {
    auto pie = new QPieSeries(chart);
    const ChartSeries& s = d.series.front();
    for (size_t i = 0; i < s.values.size(); ++i)
        pie->append(qs(d.categories[i]), std::max(0.0, shown(s.values[i])));
    chart->addSeries(pie);
}

} // namespace

GroupChartView::GroupChartView(GroupChart& chart, QWidget* parent)
    : QWidget(parent), grid_(chart.grid()), chart_(chart) {
    setObjectName(QStringLiteral("chartView"));
    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = new QChartView(new QChart, this);
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QWidget::customContextMenuRequested, this,
            [this](QPoint pos) { contextMenu()->popup(view_->mapToGlobal(pos)); });
    layout->addWidget(view_);
    setVisible(false);
    chart_.OnSettingsChanged = [this] { gridChanged(); };
    grid_.addListener(this);
}

GroupChartView::~GroupChartView() {
    chart_.OnSettingsChanged = nullptr;
    grid_.removeListener(this);
}

void GroupChartView::setShown(bool on) {
    const bool was = chart_.Settings.shown;
    chart_.Settings.shown = on;
    setVisible(on);
    if (on)
        rebuild();
    if (was != on)
        emit shownChanged(on);
}

void GroupChartView::setType(ChartType t) {
    chart_.Settings.type = t;
    rebuild();
}

void GroupChartView::setSummary(int item) {
    chart_.Settings.summary = item;
    rebuild();
}

void GroupChartView::gridChanged() {
    // A loaded setup may have switched the chart on or off.
    if (isHidden() == chart_.Settings.shown) {
        setVisible(chart_.Settings.shown);
        emit shownChanged(chart_.Settings.shown);
    }
    if (chart_.Settings.shown)
        rebuild();
}

void GroupChartView::rebuild() {
    const ChartData d = chart_.data();
    auto chart = new QChart;
    chart->setTitle(qs(d.title));
    chart->setAnimationOptions(QChart::NoAnimation);
    if (!d.empty()) {
        if (chart_.type() == ChartType::Pie)
            addPie(chart, d);
        else
            addAxisSeries(chart, d, chart_.type());
    }
    chart->legend()->setVisible(chart_.type() == ChartType::Pie || d.series.size() > 1);
    // A list beside the plot keeps the names whole; in a row above it they are cut.
    chart->legend()->setAlignment(Qt::AlignRight);
    QChart* old = view_->chart();
    view_->setChart(chart);
    delete old;
}

QMenu* GroupChartView::contextMenu() {
    delete menu_;
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("chartMenu"));
    auto types = new QActionGroup(menu_);
    const std::pair<ChartType, const char*> typeItems[] = {
        {ChartType::Bar, "柱形图"}, {ChartType::Line, "折线图"}, {ChartType::Pie, "饼图"}};
    for (const auto& [t, caption] : typeItems) {
        QAction* a = menu_->addAction(QString::fromUtf8(caption));
        a->setCheckable(true);
        a->setChecked(chart_.type() == t);
        types->addAction(a);
        connect(a, &QAction::triggered, this, [this, t] { guardCommand([&] { setType(t); }); });
    }
    menu_->addSeparator();
    auto summaries = new QActionGroup(menu_);
    const int current = chart_.summaryItem();
    for (const SummaryChoice& c : chart_.summaryChoices()) {
        QAction* a = menu_->addAction(qs(c.label));
        a->setCheckable(true);
        a->setChecked(c.item == current);
        summaries->addAction(a);
        connect(a, &QAction::triggered, this,
                [this, item = c.item] { guardCommand([&] { setSummary(item); }); });
    }
    menu_->addSeparator();
    connect(menu_->addAction(tr("保存为 PNG…")), &QAction::triggered, this,
            [this] { guardCommand([&] { saveAs(false); }); });
    connect(menu_->addAction(tr("保存为 SVG…")), &QAction::triggered, this,
            [this] { guardCommand([&] { saveAs(true); }); });
    return menu_;
}

void GroupChartView::saveAs(bool svg) {
    const QString name = QFileDialog::getSaveFileName(
        this, svg ? tr("保存为 SVG") : tr("保存为 PNG"), QString(),
        svg ? QStringLiteral("SVG (*.svg)") : QStringLiteral("PNG (*.png)"));
    if (name.isEmpty())
        return;
    const QString path = qs(WithDefaultExtension(name.toStdString(), svg ? "svg" : "png"));
    if (svg)
        saveSvg(path);
    else
        savePng(path);
}

void GroupChartView::savePng(const QString& fileName) const {
    QImage image(view_->size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    view_->render(&p);
    p.end();
    if (!image.save(fileName, "PNG"))
        throw Error("无法保存图片“" + fileName.toStdString() + "”");
}

void GroupChartView::saveSvg(const QString& fileName) const {
    QSvgGenerator svg;
    svg.setFileName(fileName);
    svg.setSize(view_->size());
    svg.setViewBox(QRect(QPoint(0, 0), view_->size()));
    svg.setTitle(view_->chart()->title());
    QPainter p;
    if (!p.begin(&svg))
        throw Error("无法保存图片“" + fileName.toStdString() + "”");
    view_->render(&p);
    p.end();
}

} // namespace rg
