#include "../report/gridstate.h"
#include "answeringchooser.h"
#include "app/runner.h"
#include "app/ui/navbar.h"
#include "app/ui/quorvel.h"
#include "common/ui/commandguard.h"
#include "export/listingexport.h"
#include "qtapp.h"
#include "schedule/ui/scheduledialog.h"
#include "setup/setup.h"
#include "testfiles.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace rg;
namespace fs = std::filesystem;

namespace {

// A setup folder holding copies of the demo reports; their database sits beside the
// test program as it does beside the real one.
struct DemoSetups {
    test::TempFolder folder;
    DemoSetups() {
        for (const char* name : {"地区产品汇总.ini", "销售明细.ini"})
            fs::copy_file(fs::path(RG_BINARY_DIR) / "setup" / name, folder / name);
    }
    QString path() const { return QString::fromStdString(folder.path().string()) + "/"; }
    std::string file(const std::string& name) const { return (folder / name).string(); }
};

// The main window on the demo setups, with the save dialog answered from `answers`.
struct Window {
    std::vector<AnsweringChooser::Seen> seen;
    AnsweringChooser* chooser;
    Tfrmquorvel w;
    explicit Window(const DemoSetups& setups) : w(nullptr, setups.path()) {
        auto c = std::make_unique<AnsweringChooser>(&seen);
        chooser = c.get();
        w.dlgsjsc->setChooser(std::move(c));
        w.show();
    }
    void click(const QString& caption) {
        for (int i = 0; i < w.nvbar->ItemCount(); ++i)
            if (w.nvbar->Item(i)->Caption() == caption) {
                QTest::mouseClick(w.nvbar->Item(i)->linkWidget(), Qt::LeftButton);
                return;
            }
        ADD_FAILURE() << caption.toStdString() << " is not listed";
    }
    // "保存设置" from the grid's menu, answering the dialog with `name`; the messages the
    // command showed.
    QStringList save(const std::string& name) {
        chooser->answers.push_back(QString::fromStdString(name));
        QStringList shown;
        MessageSink previous = setErrorSink([&](const QString& m) { shown << m; });
        w.N8->trigger();
        setErrorSink(previous);
        return shown;
    }
    TdxDBGridColumn& column(const char* field) { return *w.dxDBGrid->ColumnByFieldName(field); }
};

// The one message "保存设置" shows for a file it could not write.
QStringList failure(const std::string& file, const std::string& reason) {
    return {QString::fromStdString("无法保存设置文件“" + file + "”：" + reason)};
}

// The lines of one section of a settings file, as bytes.
std::string sectionBytes(const std::string& file, const std::string& header) {
    const std::string bytes = test::readBytes(file);
    const size_t start = bytes.find(header + "\r\n");
    if (start == std::string::npos)
        return {};
    const size_t body = start + header.size() + 2;
    return bytes.substr(body, bytes.find('[', body) - body);
}

} // namespace

TEST(ReportSetup, DemoReportsOneAfterTheOtherShowAndSaveOnlyTheirOwnSummaries) {
    qtApp();
    DemoSetups setups;
    Window win(setups);
    win.click("地区产品汇总");
    win.click("销售明细");
    TdxDBGrid& grid = *win.w.dxDBGrid;
    EXPECT_EQ(grid.DefaultGroup().SummaryItems.Count(), 2);
    grid.GroupColumn(win.column("region"), 0);
    grid.ExpandAll();
    RowHandle northeast;
    for (int i = 0; i < grid.TopCount(); ++i)
        if (grid.GroupRowText(grid.Top(i)).find("东北") != std::string::npos)
            northeast = grid.Top(i);
    ASSERT_TRUE(northeast.valid());
    const RowHandle last = grid.Child(northeast, grid.ChildCount(northeast) - 1);
    // The 东北 footer: 销售明细's two sums, nothing under 销售员, 产品 or 类别.
    for (const char* field : {"salesperson", "product", "category", "unit_price"})
        EXPECT_FALSE(grid.FooterCellExists(last, win.column(field), 0)) << field;
    for (const char* field : {"quantity", "amount"})
        EXPECT_TRUE(grid.FooterCellExists(last, win.column(field), 0)) << field;

    EXPECT_TRUE(win.save(setups.file("明细副本")).isEmpty());
    const std::string copy = setups.file("明细副本.ini");
    EXPECT_EQ(sectionBytes(copy, "[SummaryField]"), "quantity=" + TSetup::Scramble("cstsum") +
                                                        "\r\namount=" + TSetup::Scramble("cstsum") +
                                                        "\r\n");
    EXPECT_EQ(TSetup(copy).ReadCommandText(), "sales");
    EXPECT_EQ(win.w.nvbar->ItemCount(), 3);
}

TEST(ReportSetup, ASaveThatCannotBeWrittenSaysSoAndAFolderTakingNoFileStillSaves) {
    qtApp();
    DemoSetups setups;
    Window win(setups);
    win.click("销售明细");

    const std::string locked = setups.file("locked.ini");
    test::writeBytes(locked, "[Printer]\r\nmargin=10\r\n");
    {
        test::ReadOnly readOnly(locked);
        EXPECT_EQ(win.save(locked), failure(locked, "没有写入权限"));
    }
    EXPECT_EQ(test::readBytes(locked), "[Printer]\r\nmargin=10\r\n");
    EXPECT_EQ(win.w.nvbar->ItemCount(), 3); // listed all the same

    const std::string below = locked + "/x.ini";
    EXPECT_EQ(win.save(below), failure(below, "文件夹不存在"));
    fs::create_directory(setups.folder / "folder.ini");
    const std::string folder = setups.file("folder.ini");
    EXPECT_EQ(win.save(folder), failure(folder, "同名的文件夹已存在"));

    // A folder that takes no new file: the other report's file is rewritten where it is.
    const std::string other = setups.file("地区产品汇总.ini");
    struct stat was {};
    ::stat(other.c_str(), &was);
    test::ReadOnly readOnlyFolder(setups.folder.path());
    if (!readOnlyFolder.bindsEveryone())
        GTEST_SKIP() << "no immutable attribute here, and root writes any folder";
    EXPECT_TRUE(win.save(other).isEmpty());
    struct stat now {};
    ::stat(other.c_str(), &now);
    EXPECT_EQ(now.st_ino, was.st_ino);
    TSetup saved(other);
    EXPECT_EQ(saved.ReadCommandType(), "cmdTable");
    EXPECT_EQ(saved.ReadCommandText(), "sales");
    EXPECT_EQ(saved.ReadSummaryField("product"), ""); // 地区产品汇总's own entries are gone
    EXPECT_EQ(saved.ReadSummaryField("amount"), "cstsum");
    EXPECT_EQ(setups.folder.entryCount(), 4u); // no temporary file left
}

TEST(ReportSetup, AnArrangedReportComesBackAfterARestart) {
    qtApp();
    DemoSetups setups;
    std::string csv;
    GridState arranged;
    {
        Window win(setups);
        win.click("销售明细");
        TdxDBGrid& grid = *win.w.dxDBGrid;
        grid.BeginGroupingUpdate();
        grid.GroupColumn(win.column("region"), 0);
        grid.GroupColumn(win.column("city"), 1);
        grid.EndGroupingUpdate();
        const FilterCondition computers{FilterOperator::Equal, Value::fromText("电脑")};
        const FilterCondition phones{FilterOperator::Equal, Value::fromText("手机")};
        grid.Filter.SetColumnFilter(win.column("category"), ColumnFilter{computers, phones, true});
        grid.SortByClick(win.column("amount"), false);
        grid.SortByClick(win.column("amount"), false);
        grid.SortByClick(win.column("city"), false);
        grid.DropColumn(win.column("remark"), false, TdxDBGrid::DropPlace::Outside, 0, 0);
        grid.DropColumn(win.column("amount"), false, TdxDBGrid::DropPlace::HeaderRow, 0, 1);
        win.column("product").SetWidth(160);
        grid.ExpandAll();
        csv = gridAsCsv(grid);
        arranged = stateOf(grid);
        ASSERT_EQ(arranged.sorted,
                  (std::vector<std::string>{"amount down", "region up", "city down"}));
        EXPECT_TRUE(win.save(setups.file("整理后")).isEmpty());
    }
    Window win(setups);
    win.click("整理后");
    TdxDBGrid& grid = *win.w.dxDBGrid;
    grid.ExpandAll();
    EXPECT_EQ(stateOf(grid), arranged);
    EXPECT_EQ(gridAsCsv(grid), csv);
    EXPECT_EQ(grid.Filter.DisplayText(), "类别 = '电脑' OR 类别 = '手机'");

    const std::string out = setups.file("run.csv");
    std::string errors;
    RunOptions run;
    run.setupFile = setups.file("整理后.ini");
    run.format = "csv";
    run.output = out;
    ASSERT_EQ(runReport(run, errors), 0) << errors;
    EXPECT_EQ(test::readBytes(out), csv);
}

// The export commands write what the chosen filter or the typed extension asks for, and
// hand that file to the desktop; the PDF command prints the report without a dialog.
TEST(ReportSetup, ExportCommandsWriteTheChosenFormat) {
    qtApp();
    DemoSetups setups;
    Window win(setups);
    QStringList opened;
    win.w.setShell(std::make_unique<RecordingShell>(&opened));
    win.click("销售明细");
    QStringList shown;
    MessageSink previous = setErrorSink([&](const QString& m) { shown << m; });
    QStringList notices;
    MessageSink previousNotice = setNoticeSink([&](const QString& m) { notices << m; });
    auto exportAs = [&](QAction* command, const std::string& name, int filter) {
        win.chooser->answers.push_back(QString::fromStdString(setups.file(name)));
        win.chooser->filters.push_back(filter);
        command->trigger();
        return opened.isEmpty() ? std::string() : test::readBytes(opened.takeLast().toStdString());
    };
    EXPECT_EQ(exportAs(win.w.N4, "a", 0).substr(0, 4), "PK\x03\x04");
    EXPECT_EQ(exportAs(win.w.N4, "b", 1).substr(0, 2), "\x09\x04");
    EXPECT_EQ(exportAs(win.w.N4, "c", 2).substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(exportAs(win.w.N4, "d.csv", 0).substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(exportAs(win.w.XML1, "e", 1).substr(0, 15), "<!DOCTYPE html>");
    EXPECT_EQ(exportAs(win.w.XML1, "f", 0).substr(0, 5), "<?xml");
    // Only the XML document comes with a word on opening it (Chromium shows it empty).
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].startsWith("Chromium")) << notices[0].toStdString();
    notices.clear();
    EXPECT_EQ(exportAs(win.w.PDF1, "g", -1).substr(0, 5), "%PDF-");
    // A caption GBK cannot hold: the .xls says so once, after the export; the .xlsx keeps it.
    win.w.dxDBGrid->Columns(0).field()->SetDisplayLabel("订单号 😀");
    EXPECT_EQ(exportAs(win.w.N4, "h", 1).substr(0, 2), "\x09\x04");
    EXPECT_EQ(exportAs(win.w.N4, "i", 0).substr(0, 4), "PK\x03\x04");
    setNoticeSink(previousNotice);
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].startsWith("有 1 个单元格")) << notices[0].toStdString();
    setErrorSink(previous);
    EXPECT_TRUE(shown.isEmpty()) << shown.join("\n").toStdString();
    for (const char* name : {"a.xlsx", "b.xls", "c.csv", "d.csv", "e.html", "f.xml", "g.pdf"})
        EXPECT_TRUE(fs::exists(setups.file(name))) << name;
    EXPECT_EQ(win.seen[0].filter, "Excel 工作簿|*.xlsx|电子表格|*.xls|CSV 文件|*.csv");
    EXPECT_EQ(win.seen[4].filter, "XML文档|*.xml|网页|*.html");
    EXPECT_EQ(win.seen[6].filter, "PDF 文档|*.pdf");
}

// "定时输出" opens the schedules of the saved report on screen, in the user's folders; a
// report not saved yet has none.
TEST(ReportSetup, TheMenuOpensTheSchedulesOfTheSavedReportShown) {
    qtApp();
    const test::TempFolder user;
    const QByteArray config = qgetenv("XDG_CONFIG_HOME"), data = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((user / "config").string()));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString((user / "data").string()));
    DemoSetups setups;
    Window win(setups);
    QStringList errors;
    MessageSink previous = setErrorSink([&](const QString& m) { errors << m; });
    win.w.Schedules->trigger();
    EXPECT_EQ(errors, QStringList{"请先保存报表，再为它设置定时输出"});
    win.click("销售明细");
    QString title, name;
    rgtest::whenModal<TScheduleDialog>([&](TScheduleDialog& d) {
        title = d.windowTitle();
        name = d.edName->text();
        d.reject();
    });
    win.w.Schedules->trigger();
    setErrorSink(previous);
    EXPECT_EQ(title, "定时输出：销售明细");
    EXPECT_EQ(name, "销售明细");
    // The left bar's context menu opens those of any saved setup, shown or not.
    QAction* entry = nullptr;
    for (int i = 0; i < win.w.nvbar->ItemCount(); ++i)
        if (win.w.nvbar->Item(i)->Caption() == "地区产品汇总")
            entry = win.w.nvbar->Item(i)->linkWidget()->findChild<QAction*>("ItemSchedules");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->text(), "定时输出");
    rgtest::whenModal<TScheduleDialog>([&](TScheduleDialog& d) {
        title = d.windowTitle();
        d.reject();
    });
    entry->trigger();
    EXPECT_EQ(title, "定时输出：地区产品汇总");
    EXPECT_FALSE(fs::exists(user / "config/reportgen/schedules.json"));
    for (const auto& [key, value] : {std::pair{"XDG_CONFIG_HOME", config}, {"XDG_DATA_HOME", data}})
        value.isNull() ? qunsetenv(key) : qputenv(key, value);
}
