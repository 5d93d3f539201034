// The printed report of a large grid grouped two levels deep with every group expanded:
// building the report (rows and page breaks), paginating again, painting pages to PDF, and
// the memory the built report and a long PDF hold.

#include "benchcommon.h"

#include "datasource/dataset.h"
#include "grid/grid.h"
#include "print/reportlink.h"

#include <QGuiApplication>
#include <QImage>
#include <QPdfWriter>

#include <chrono>
#include <stdexcept>
#include <string>

using namespace rg::bench;

namespace {

template <class F> double best(int runs, F&& f) {
    double b = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        f();
        b = std::min(b, secondsSince(start));
    }
    return b;
}

} // namespace

void bench_print(const Args& args) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "reportgen-bench";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);

    const std::string path = benchTable(args, args.rows);
    BenchGrid bench(path, rg::CommandType::cmdTable, "bench");
    rg::TdxDBGrid& grid = bench.grid;
    addSummary(grid, "qty", rg::TdxSummaryType::cstSum);
    addSummary(grid, "amount", rg::TdxSummaryType::cstSum);
    addSummary(grid, "id", rg::TdxSummaryType::cstCount);
    grid.SetKeyField("id");
    grid.GroupColumn(*grid.ColumnByFieldName("region"), 0);
    grid.GroupColumn(*grid.ColumnByFieldName("product"), 1);
    grid.ExpandAll();
    grid.VisibleRows(); // the grid's own list of shown rows is not the report's cost

    rg::TdxDBGridReportLink link(&grid);
    const size_t before = heapInUse();
    const double build = best(3, [&] { link.RebuildReport(); });
    const size_t after = heapInUse();
    const double paginate = best(3, [&] { link.Paginate(); });
    // With the grid's list of shown rows to be made first, as after expanding or collapsing.
    const double withGridRows = best(3, [&] {
        grid.ExpandAll();
        link.RebuildReport();
    });

    const int pages = link.PageCount();
    const double lines = static_cast<double>(link.Layout().lines().size());
    const int sample = std::min(pages, 200);
    const std::string pdf = args.dir + "/rg_print_bench.pdf";
    QPdfWriter writer(QString::fromStdString(pdf));
    std::vector<int> first(static_cast<size_t>(sample));
    for (int i = 0; i < sample; ++i)
        first[static_cast<size_t>(i)] = i;
    auto start = std::chrono::steady_clock::now();
    link.PrintPages(writer, first);
    const double pdfS = secondsSince(start);

    // A longer PDF, as the runner writes a whole report: the time a page and the resident
    // memory after its first tenth and at its end, which stay alike when memory is constant.
    const int longRun = std::min(pages, 2000);
    std::vector<int> all(static_cast<size_t>(longRun));
    for (int i = 0; i < longRun; ++i)
        all[static_cast<size_t>(i)] = i;
    double tenthMb = 0;
    QPdfWriter longWriter(QString::fromStdString(args.dir + "/rg_print_bench_long.pdf"));
    start = std::chrono::steady_clock::now();
    link.PrintPages(longWriter, all, [&](int done, int) {
        if (done == longRun / 10)
            tenthMb = residentMb("VmRSS");
        return true;
    });
    const double longS = secondsSince(start);
    const double endMb = residentMb("VmRSS");

    // One page from the middle on screen, as the preview draws it at 100 %.
    QImage image(link.PaperSize().toSize(), QImage::Format_RGB32);
    const double screenPage = best(5, [&] {
        image.fill(Qt::white);
        QPainter p(&image);
        link.PaintPage(p, pages / 2, QRectF(QPointF(0, 0), link.PaperSize()));
    });

    grid.CollapseAll();
    link.RebuildReport();
    const int collapsedPages = link.PageCount();

    report("print_data_rows", grid.DataRowCount());
    report("print_lines_expanded", lines);
    report("print_pages_expanded", pages);
    report("print_build_s", build);
    report("print_paginate_s", paginate);
    report("print_build_with_grid_rows_s", withGridRows);
    report("print_report_bytes_per_line",
           static_cast<double>(static_cast<int64_t>(after - before)) / lines);
    report("print_pdf_pages", sample);
    report("print_pdf_ms_per_page", pdfS * 1000 / std::max(1, sample));
    report("print_pdf_long_pages", longRun);
    report("print_pdf_long_ms_per_page", longS * 1000 / std::max(1, longRun));
    report("print_pdf_long_rss_mb_after_a_tenth", tenthMb);
    report("print_pdf_long_rss_mb_at_end", endMb);
    report("print_screen_page_ms", screenPage * 1000);
    report("print_pages_collapsed", collapsedPages);
    report("print_pdf_file", pdf);
}
