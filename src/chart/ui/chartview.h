#pragma once

// The chart of the grid's groups on screen, beside the grid: redrawn whenever the grid or
// the chart's settings change. The chart itself belongs to the report. Its context menu switches
// the type and the summary and saves the picture.

#include "chart/groupchart.h"

#include <QWidget>

class QChartView;
class QMenu;

namespace rg {

class GroupChartView : public QWidget, private GridListener {
    Q_OBJECT
public:
    explicit GroupChartView(GroupChart& chart, QWidget* parent = nullptr);
    ~GroupChartView() override;

    GroupChart& chart() { return chart_; }
    // Shows or hides the chart and remembers it in the chart's settings.
    void setShown(bool on);
    void setType(ChartType t);
    void setSummary(int item);
    // The picture as it is shown, at the view's size. Throw rg::Error when the file cannot
    // be written.
    void savePng(const QString& fileName) const;
    void saveSvg(const QString& fileName) const;

    QChartView* chartView() const { return view_; }
    // The context menu as it is built for the chart's current state.
    QMenu* contextMenu();

signals:
    // The chart was shown or hidden, also by a loaded setup.
    void shownChanged(bool on);

private:
    void gridChanged() override;
    void rebuild();
    void saveAs(bool svg);

    TdxDBGrid& grid_;
    GroupChart& chart_;
    QChartView* view_;
    QMenu* menu_ = nullptr;
};

} // namespace rg
