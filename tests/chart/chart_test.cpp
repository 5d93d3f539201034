// The chart of the groups on the demo report 地区产品汇总 grouped by region: its values
// against SQL's GROUP BY, the native chart in the .xlsx as openpyxl and LibreOffice read
// it, the setup section, the chart page of the PDF, and the window's chart view.
#include "app/ui/quorvel.h"
#include "chart/ui/chartview.h"
#include "export/crosstableexport.h"
#include "export/xlsxexport.h"
#include "exporttest.h"
#include "print/pdfexport.h"
#include "print/reportlink.h"
#include "qtapplication.h"
#include "setup/reportdefinition.h"
#include "setup/setup.h"
#include "testfiles.h"

#include <QAction>
#include <QApplication>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineSeries>
#include <QMenu>
#include <QPieSeries>
#include <QSplitter>
#include <QTimer>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <set>

using namespace rg;
namespace fs = std::filesystem;

namespace {

const std::string kDemoDb = std::string(RG_BINARY_DIR) + "/demo.db";
const std::string kDemoSetup = std::string(RG_BINARY_DIR) + "/setup/地区产品汇总.ini";

// region -> the value of `aggregate` over the report's rows, as SQLite computes it.
std::map<std::string, double> byRegion(const std::string& aggregate) {
    std::map<std::string, double> out;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(kDemoDb.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    const std::string sql =
        "select region, " + aggregate + " from sales where quantity > 0 group by region";
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK);
    while (sqlite3_step(st) == SQLITE_ROW)
        out[reinterpret_cast<const char*>(sqlite3_column_text(st, 0))] =
            sqlite3_column_double(st, 1);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

// The demo report grouped by region, with a chart made for its grid.
struct Demo {
    Connection conn;
    DataSet ds{&conn};
    TdxDBGrid grid;
    GroupChart chart{grid};
    Demo() {
        grid.SetDataSet(&ds);
        LoadSetup({conn, ds, grid}, kDemoSetup);
        grid.GroupColumn(*grid.ColumnByFieldName("region"), 0);
    }
    ~Demo() { grid.SetDataSet(nullptr); }
    int item(const std::string& label) const {
        for (const SummaryChoice& c : chart.summaryChoices())
            if (c.label == label)
                return c.item;
        ADD_FAILURE() << "no summary " << label;
        return -1;
    }
};

QJsonArray readCharts(const std::string& path) {
    std::string out;
    const int rc = run("PYTHONIOENCODING=utf-8 /usr/bin/python3 " + std::string(RG_SOURCE_DIR) +
                           "/tests/chart/xlsx_chart_dump.py '" + path + "' 2>&1",
                       &out);
    EXPECT_EQ(rc, 0) << out;
    return QJsonDocument::fromJson(QByteArray::fromStdString(out)).array();
}

// openpyxl gives a cached point as a number or as its text.
double number(const QJsonValue& v) {
    return v.isString() ? v.toString().toDouble() : v.toDouble();
}

// The pixels of colour `rgb` on the pages LibreOffice prints of a workbook, the chart's
// among them: a series without a fill draws none.
int64_t renderedPixels(const std::string& xlsx, QRgb rgb) {
    const std::filesystem::path file(xlsx);
    const std::string dir = file.parent_path().string() + "/render";
    std::string out;
    EXPECT_EQ(run("soffice -env:UserInstallation=file://" + dir +
                      "/profile --headless --convert-to pdf --outdir '" + dir + "' '" + xlsx +
                      "' 2>&1",
                  &out),
              0)
        << out;
    const std::string pdf = dir + "/" + file.stem().string() + ".pdf";
    EXPECT_EQ(run("pdftoppm -r 40 -png '" + pdf + "' '" + dir + "/page' 2>&1", &out), 0) << out;
    int64_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".png")
            continue;
        const QImage page(QString::fromStdString(entry.path().string()));
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if ((page.pixel(x, y) & 0xFFFFFF) == (rgb & 0xFFFFFF))
                    ++n;
        std::filesystem::remove(entry.path());
    }
    return n;
}

int pdfPages(const std::string& path) {
    std::string out;
    EXPECT_EQ(run("pdfinfo '" + path + "' 2>&1", &out), 0) << out;
    const size_t at = out.find("Pages:");
    return at == std::string::npos ? -1 : std::stoi(out.substr(at + 6));
}

} // namespace

TEST(GroupChart, TopGroupsFollowSummaryChoiceFilterAndCollapse) {
    Demo d;
    // Without a chosen summary the first item with a kind: the count of products.
    ASSERT_EQ(d.chart.summaryChoices().size(), 4u);
    EXPECT_EQ(d.chart.summaryChoices().front().label, "计数");
    EXPECT_EQ(d.chart.type(), ChartType::Bar);
    d.chart.Settings.summary = d.item("数量 合计");
    const std::map<std::string, double> sums = byRegion("sum(quantity)");
    ChartData data = d.chart.data();
    EXPECT_EQ(data.title, "地区 — 数量 合计");
    ASSERT_EQ(data.categories.size(), sums.size());
    ASSERT_EQ(data.series.size(), 1u);
    for (size_t i = 0; i < data.categories.size(); ++i)
        EXPECT_EQ(data.series[0].values[i], sums.at(data.categories[i])) << data.categories[i];

    // Collapsed groups still show at the top level; a filter leaves one region.
    d.grid.CollapseAll();
    EXPECT_EQ(d.chart.data().categories, data.categories);
    d.grid.Filter.SetColumnFilter(*d.grid.ColumnByFieldName("region"),
                                  ColumnFilter::equalTo(Value::fromText("华东")));
    data = d.chart.data();
    ASSERT_EQ(data.categories, std::vector<std::string>{"华东"});
    EXPECT_EQ(data.series[0].values[0], sums.at("华东"));

    // The user's choice of another summary, and none without grouping.
    d.chart.Settings.summary = d.item("金额 最大值");
    EXPECT_EQ(d.chart.data().series[0].values[0], byRegion("max(amount)").at("华东"));
    d.grid.ClearGrouping();
    EXPECT_TRUE(d.chart.data().empty());
}

TEST(GroupChart, LineOverMonthsAndOneSeriesPerCrossColumn) {
    Demo d;
    d.chart.Settings.summary = d.item("数量 合计");
    d.grid.SetCrossTable({"category", {}, TdxSummaryType::cstSum, "quantity"});
    ChartData data = d.chart.data();
    std::map<std::pair<std::string, std::string>, double> cells;
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(kDemoDb.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db,
                           "select region, category, sum(quantity) from sales where quantity > 0 "
                           "group by region, category",
                           -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            cells[{reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                   reinterpret_cast<const char*>(sqlite3_column_text(st, 1))}] =
                sqlite3_column_double(st, 2);
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    std::set<std::string> categories;
    for (const auto& [key, sum] : cells)
        categories.insert(key.second);
    ASSERT_EQ(data.series.size(), categories.size());
    for (const ChartSeries& s : data.series)
        for (size_t i = 0; i < data.categories.size(); ++i) {
            const auto at = cells.find({data.categories[i], s.name});
            if (at == cells.end())
                EXPECT_TRUE(std::isnan(s.values[i])) << s.name;
            else
                EXPECT_EQ(s.values[i], at->second) << data.categories[i] << " " << s.name;
        }
    d.grid.ClearCrossTable();
    EXPECT_EQ(d.chart.data().series.size(), 1u);

    // Months of the order dates: a line unless the user chose another type.
    Connection conn;
    DataSet ds{&conn};
    TdxDBGrid grid;
    GroupChart chart{grid};
    grid.SetDataSet(&ds);
    LoadSetup({conn, ds, grid}, std::string(RG_BINARY_DIR) + "/setup/订单日期统计.ini");
    TdxDBGridColumn& date = *grid.ColumnByFieldName("order_date");
    date.SetGroupInterval({GroupInterval::Month, 0});
    grid.GroupColumn(date, 0);
    EXPECT_EQ(chart.type(), ChartType::Line);
    for (const SummaryChoice& c : chart.summaryChoices())
        if (c.label == "计数")
            chart.Settings.summary = c.item;
    data = chart.data();
    std::map<std::string, double> months;
    sqlite3* db = nullptr;
    sqlite3_open_v2(kDemoDb.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "select cast(strftime('%Y', order_date) as int) || '年' || "
                       "cast(strftime('%m', order_date) as int) || '月', count(*) from sales "
                       "group by 1",
                       -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        months[reinterpret_cast<const char*>(sqlite3_column_text(st, 0))] =
            sqlite3_column_double(st, 1);
    sqlite3_finalize(st);
    sqlite3_close(db);
    ASSERT_EQ(data.categories.size(), months.size());
    for (size_t i = 0; i < data.categories.size(); ++i)
        EXPECT_EQ(data.series[0].values[i], months.at(data.categories[i])) << data.categories[i];
    chart.Settings.type = ChartType::Bar;
    EXPECT_EQ(chart.type(), ChartType::Bar);
    grid.SetDataSet(nullptr);
}

TEST(GroupChart, XlsxChartOverFooterCellsReadByOpenpyxlAndLibreOffice) {
    Demo d;
    test::TempFolder folder;
    const std::string plain = (folder / "plain.xlsx").string();
    ExportToXlsx(d.grid, plain, true, GridAppearance());
    EXPECT_EQ(readCharts(plain).size(), 0u); // no chart shown, none written

    d.chart.Settings = {true, std::nullopt, d.item("数量 合计")};
    const std::string path = (folder / "chart.xlsx").string();
    ExportToXlsx(d.grid, path, true, GridAppearance());
    const QJsonArray charts = readCharts(path);
    ASSERT_EQ(charts.size(), 1);
    EXPECT_EQ(charts[0]["kind"].toString(), "barChart");
    const QJsonArray series = charts[0]["series"].toArray();
    ASSERT_EQ(series.size(), 1);
    const QJsonObject cat = series[0]["cat"].toObject(), val = series[0]["val"].toObject();
    const std::map<std::string, double> sums = byRegion("sum(quantity)");
    const QJsonArray names = cat["cache"].toArray(), values = val["cache"].toArray();
    ASSERT_EQ(names.size(), static_cast<int>(sums.size()));
    ASSERT_EQ(values.size(), names.size());
    // The references name the group rows' texts and the footer cells of the quantity.
    ASSERT_FALSE(cat["ref"].isNull());
    ASSERT_FALSE(val["ref"].isNull());
    // The categories in the grid's order, cached as their cells read.
    const std::vector<std::string> regions = d.chart.data().categories;
    for (int i = 0; i < names.size(); ++i) {
        const std::string& region = regions[static_cast<size_t>(i)];
        EXPECT_EQ(names[i].toString(), cat["cells"][i].toString());
        EXPECT_TRUE(names[i].toString().startsWith(QString::fromStdString("地区 : " + region)))
            << names[i].toString().toStdString();
        EXPECT_EQ(number(values[i]), sums.at(region)) << region;
        EXPECT_EQ(val["cells"][i].toDouble(), sums.at(region)) << region;
    }

    // A pie of the counts; without group footer rows its values are written as values.
    d.chart.Settings = {true, ChartType::Pie, d.item("计数")};
    d.grid.SetShowRowFooter(false);
    const std::string piePath = (folder / "pie.xlsx").string();
    ExportToXlsx(d.grid, piePath, true, GridAppearance());
    const QJsonArray pie = readCharts(piePath);
    ASSERT_EQ(pie.size(), 1);
    EXPECT_EQ(pie[0]["kind"].toString(), "pieChart");
    const QJsonObject counts = pie[0]["series"][0]["val"].toObject();
    EXPECT_TRUE(counts["ref"].isNull());
    const std::map<std::string, double> rows = byRegion("count(*)");
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(number(counts["cache"][i]), rows.at(regions[static_cast<size_t>(i)]));

    // LibreOffice opens the workbook with the chart over several cell areas.
    std::string err;
    readWithLibreOffice(path, &err);
    EXPECT_TRUE(err.empty()) << err;

    // Bars and slices in the window's colours, drawn where LibreOffice shows the chart.
    EXPECT_EQ(series[0]["fill"].toString(), "209FDF");
    const QJsonArray slices = pie[0]["series"][0]["points"].toArray();
    ASSERT_EQ(slices.size(), names.size());
    EXPECT_EQ(slices[1].toString(), "99CA53");
    EXPECT_GT(renderedPixels(path, 0x209FDF), 100);

    // A cross table's workbook has the chart too: one series per cross column.
    d.grid.SetShowRowFooter(true);
    d.chart.Settings = {true, ChartType::Bar, d.item("数量 合计")};
    d.grid.SetCrossTable({"category", {}, TdxSummaryType::cstSum, "quantity"});
    const std::string crossPath = (folder / "cross.xlsx").string();
    ExportCrossTableXlsx(d.grid, crossPath);
    const QJsonArray cross = readCharts(crossPath);
    ASSERT_EQ(cross.size(), 1);
    const QJsonArray crossSeries = cross[0]["series"].toArray();
    ASSERT_EQ(crossSeries.size(), static_cast<int>(d.chart.data().series.size()));
    EXPECT_EQ(crossSeries[1]["fill"].toString(), "99CA53");
    EXPECT_GT(renderedPixels(crossPath, 0x99CA53), 100);
}

TEST(GroupChart, SetupSectionRoundTripAndOnlyWhileShown) {
    test::TempFolder folder;
    const std::string file = (folder / "r.ini").string();
    {
        Demo d;
        d.chart.Settings = {true, ChartType::Line, d.item("金额 最大值")};
        SaveSetup({d.conn, d.ds, d.grid}, file);
    }
    {
        Demo d;
        LoadSetup({d.conn, d.ds, d.grid}, file);
        EXPECT_TRUE(d.chart.Settings.shown);
        EXPECT_EQ(d.chart.Settings.type, ChartType::Line);
        EXPECT_EQ(d.chart.summaryItem(), d.item("金额 最大值"));
        // Hidden, the chart writes nothing, and loading that hides a shown chart.
        d.chart.Settings.shown = false;
        SaveSetup({d.conn, d.ds, d.grid}, file);
        EXPECT_EQ(TSetup(file).ReadChart("Shown"), "");
        EXPECT_EQ(TSetup(file).ReadChart("Type"), "");
        d.chart.Settings.shown = true;
        LoadSetup({d.conn, d.ds, d.grid}, file);
        EXPECT_FALSE(d.chart.Settings.shown);
    }
}

TEST(GroupChart, PdfGetsOneMorePageWithTheChart) {
    rgtest::qtApp(); // the PDF writer's fonts
    Demo d;
    d.chart.Settings.summary = d.item("数量 合计");
    test::TempFolder folder;
    TdxDBGridReportLink link(&d.grid);
    ASSERT_TRUE(link.RebuildReport());
    const int pages = link.PageCount();
    const std::string plain = (folder / "plain.pdf").string();
    WriteReportPdf(link, plain);
    EXPECT_EQ(pdfPages(plain), pages);

    d.chart.Settings.shown = true;
    ASSERT_TRUE(link.RebuildReport());
    EXPECT_EQ(link.PageCount(), pages + 1);
    const std::string path = (folder / "chart.pdf").string();
    WriteReportPdf(link, path);
    EXPECT_EQ(pdfPages(path), pages + 1);
    std::string text;
    const std::string last = std::to_string(pages + 1);
    ASSERT_EQ(run("pdftotext -f " + last + " -l " + last + " '" + path + "' - 2>&1", &text), 0);
    EXPECT_NE(text.find("地区 — 数量 合计"), std::string::npos) << text;
    for (const auto& [region, sum] : byRegion("sum(quantity)"))
        EXPECT_NE(text.find(region), std::string::npos) << region;

    // Sums of millions: the value axis ends at the largest, its label in plain digits, whole.
    addSummary(d.grid, *d.grid.ColumnByFieldName("amount"), TdxSummaryType::cstSum);
    d.grid.ReloadRows();
    d.chart.Settings.summary = d.item("金额 合计");
    ASSERT_TRUE(link.RebuildReport());
    WriteReportPdf(link, path);
    const std::string amountsPage = std::to_string(pdfPages(path));
    ASSERT_EQ(
        run("pdftotext -f " + amountsPage + " -l " + amountsPage + " '" + path + "' - 2>&1", &text),
        0);
    double largest = 0;
    for (const auto& [region, sum] : byRegion("sum(amount)"))
        largest = std::max(largest, sum);
    ASSERT_GT(largest, 1e6);
    EXPECT_NE(text.find(std::to_string(std::llround(largest))), std::string::npos) << text;
    EXPECT_EQ(text.find("e+"), std::string::npos) << text;
}

TEST(GroupChartView, MenuEntryShowsChartBesideGridAndSavesPictures) {
    rgtest::qtApp();
    test::TempFolder folder;
    Tfrmquorvel w(nullptr, QString::fromStdString(folder.path().string()) + "/");
    w.resize(1200, 700);
    w.show();
    LoadSetup(w.document->objects(), kDemoSetup);
    w.dxDBGrid->GroupColumn(*w.dxDBGrid->ColumnByFieldName("region"), 0);
    GroupChartView& view = *w.chartView;
    EXPECT_TRUE(view.isHidden());
    EXPECT_EQ(w.ShowChart->text(), "显示图表");
    w.ShowChart->trigger();
    ASSERT_TRUE(view.isVisible());
    EXPECT_EQ(view.parentWidget(), w.ChartSplitter);
    EXPECT_GT(view.width(), w.ChartSplitter->width() / 3);
    EXPECT_EQ(w.ChartSplitter->widget(0), w.gridView());
    view.setSummary(view.chart().summaryChoices()[1].item); // 数量 合计

    auto bars = [&] {
        const QList<QAbstractSeries*> all = view.chartView()->chart()->series();
        auto b = all.size() == 1 ? qobject_cast<QBarSeries*>(all[0]) : nullptr;
        return b && b->count() == 1 ? b->barSets()[0] : nullptr;
    };
    const std::map<std::string, double> sums = byRegion("sum(quantity)");
    ASSERT_TRUE(bars());
    ASSERT_EQ(bars()->count(), static_cast<int>(sums.size()));
    // The grid changed: the chart follows its filter.
    w.dxDBGrid->Filter.SetColumnFilter(*w.dxDBGrid->ColumnByFieldName("region"),
                                       ColumnFilter::equalTo(Value::fromText("华东")));
    ASSERT_TRUE(bars());
    ASSERT_EQ(bars()->count(), 1);
    EXPECT_EQ(bars()->at(0), sums.at("华东"));
    w.dxDBGrid->Filter.SetColumnFilter(*w.dxDBGrid->ColumnByFieldName("region"), std::nullopt);

    QStringList captions;
    for (QAction* a : view.contextMenu()->actions())
        captions << a->text();
    for (const char* c :
         {"柱形图", "折线图", "饼图", "计数", "数量 合计", "保存为 PNG…", "保存为 SVG…"})
        EXPECT_TRUE(captions.contains(QString::fromUtf8(c))) << c;
    view.setType(ChartType::Line);
    ASSERT_EQ(view.chartView()->chart()->series().size(), 1);
    EXPECT_TRUE(qobject_cast<QLineSeries*>(view.chartView()->chart()->series()[0]));
    view.setType(ChartType::Pie);
    auto pie = qobject_cast<QPieSeries*>(view.chartView()->chart()->series()[0]);
    ASSERT_TRUE(pie);
    EXPECT_EQ(pie->count(), static_cast<int>(sums.size()));
    rgtest::savePicture(w, "chart-window");

    const QString png = QString::fromStdString((folder / "c.png").string());
    const QString svg = QString::fromStdString((folder / "c.svg").string());
    view.savePng(png);
    view.saveSvg(svg);
    const QImage image(png);
    EXPECT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), view.chartView()->size());
    std::string out;
    EXPECT_EQ(run("xmllint --noout '" + svg.toStdString() + "' 2>&1", &out), 0) << out;
    EXPECT_NE(readFile(svg.toStdString()).find("<svg"), std::string::npos);

    // Saved through the menu under a name typed without an extension: the file gets the
    // format's.
    auto saveThroughMenu = [&](const char* caption, const QString& typed) {
        QTimer::singleShot(0, [typed] {
            auto dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            dialog->selectFile(typed);
            static_cast<QDialog*>(dialog)->accept();
        });
        for (QAction* a : view.contextMenu()->actions())
            if (a->text() == QString::fromUtf8(caption))
                a->trigger();
    };
    const fs::path typed = folder / "图表";
    saveThroughMenu("保存为 PNG…", QString::fromStdString(typed.string()));
    EXPECT_FALSE(fs::exists(typed));
    const QImage typedImage(QString::fromStdString(typed.string() + ".png"));
    EXPECT_FALSE(typedImage.isNull());
    EXPECT_EQ(typedImage.size(), view.chartView()->size());
    saveThroughMenu("保存为 SVG…", QString::fromStdString(typed.string()));
    EXPECT_FALSE(fs::exists(typed));
    EXPECT_NE(readFile(typed.string() + ".svg").find("<svg"), std::string::npos);

    w.ShowChart->trigger();
    EXPECT_TRUE(view.isHidden());
    EXPECT_FALSE(view.chart().Settings.shown);

    // A setup saved with the chart shows it again when loaded, the menu entry checked.
    const QString file = QString::fromStdString((folder / "c.ini").string());
    w.ShowChart->trigger();
    w.SaveSetup(file);
    w.ShowChart->trigger();
    ASSERT_TRUE(view.isHidden());
    w.LoadSetup(file);
    EXPECT_TRUE(view.isVisible());
    EXPECT_TRUE(w.ShowChart->isChecked());
    EXPECT_EQ(view.chart().type(), ChartType::Pie);
}
