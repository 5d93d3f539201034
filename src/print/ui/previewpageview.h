#pragma once

#include <QWidget>

namespace rg {

class TdxDBGridReportLink;

// One page of a report on screen, drawn when it is shown: a report of thousands of pages
// costs no more than one.
class TdxPreviewPageView : public QWidget {
    Q_OBJECT
public:
    explicit TdxPreviewPageView(TdxDBGridReportLink& link, QWidget* parent = nullptr);

    int page() const { return page_; }
    void setPage(int page);
    double zoom() const { return zoom_; }
    void setZoom(double zoom);
    // Re-reads the page count and size after the report changed.
    void reportChanged();
    QSize sizeHint() const override;

    static constexpr int kGap = 12; // grey border around the sheet

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    TdxDBGridReportLink& link_;
    int page_ = 0;
    double zoom_ = 1.0;
};

} // namespace rg
