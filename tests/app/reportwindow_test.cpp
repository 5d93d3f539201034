// What the main window shows around a report: a load that fails or is cancelled leaves no
// trace of the earlier report and nothing to save, the data source dialog changes the report
// only once its data set opens, 保存设置 opens in the setup folder, a field's several summaries
// survive a save, and the print windows name the report.
#include "answeringchooser.h"
#include "app/ui/navbar.h"
#include "app/ui/progresswindow.h"
#include "app/ui/quorvel.h"
#include "common/ui/commandguard.h"
#include "datasource/ui/dbsetup.h"
#include "datasource/ui/dropdownbox.h"
#include "export/listingexport.h"
#include "print/ui/previewwindow.h"
#include "print/ui/reportdesigner.h"
#include "qtapp.h"
#include "setup/setup.h"
#include "testfiles.h"
#include "testsupport.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace rg;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// A setup folder with a copy of the demo report 销售明细, whose database sits beside the
// test program as it does beside the real one.
struct Setups {
    test::TempFolder folder;
    Setups() {
        fs::copy_file(fs::path(RG_BINARY_DIR) / "setup" / "销售明细.ini", folder / "销售明细.ini");
    }
    QString path() const { return QString::fromStdString(folder.path().string()) + "/"; }
    std::string file(const std::string& name) const { return (folder / name).string(); }
    // A report on the demo database's connection.
    void write(const std::string& name, const char* kind, const std::string& command) const {
        const std::string conn = TSetup(file("销售明细.ini")).ReadConnString();
        TSetup s(file(name + ".ini"));
        s.WriteConnString(conn);
        s.WriteCommandType(kind);
        s.WriteCommandText(command);
        s.WriteKeyField("order_id");
        s.WriteSummaryField("quantity", "cstsum");
    }
};

// The main window on a setup folder, the save dialog answered, the messages noted.
struct Window {
    std::vector<AnsweringChooser::Seen> seen;
    AnsweringChooser* chooser;
    QStringList errors, notices;
    MessageSink previousError, previousNotice;
    Tfrmquorvel w;
    explicit Window(const Setups& setups) : w(nullptr, setups.path()) {
        auto c = std::make_unique<AnsweringChooser>(&seen);
        chooser = c.get();
        w.dlgsjsc->setChooser(std::move(c));
        w.show();
        previousError = setErrorSink([this](const QString& m) { errors << m; });
        previousNotice = setNoticeSink([this](const QString& m) { notices << m; });
    }
    ~Window() {
        setErrorSink(previousError);
        setNoticeSink(previousNotice);
    }
    void click(const QString& caption) {
        for (int i = 0; i < w.nvbar->ItemCount(); ++i)
            if (w.nvbar->Item(i)->Caption() == caption)
                return QTest::mouseClick(w.nvbar->Item(i)->linkWidget(), Qt::LeftButton);
        ADD_FAILURE() << caption.toStdString() << " is not listed";
    }
    // "保存设置" answered with `name` (empty: cancelled).
    void save(const QString& name) {
        chooser->answers.push_back(name);
        w.N8->trigger();
    }
    QString status() const { return w.StatusBar1->currentMessage(); }
    TdxDBGridColumn& column(const char* field) { return *w.dxDBGrid->ColumnByFieldName(field); }
};

// Runs `act` once, at the first moment the event loop runs while `find` finds a shown
// window (a modal window's own loop included); never after it is gone.
class WhenShown {
public:
    WhenShown(std::function<QWidget*()> find, std::function<void(QWidget*)> act) {
        QObject::connect(&timer_, &QTimer::timeout, [this, find, act] {
            QWidget* w = find();
            if (!w || !w->isVisible())
                return;
            timer_.stop();
            act(w);
        });
        timer_.start(0);
    }

private:
    QTimer timer_;
};

template <class T> QWidget* modal() {
    return qobject_cast<T*>(QApplication::activeModalWidget());
}

// The title of the modal window `T` that `start` opens; the window is closed at once.
template <class T> QString titleOfModal(const std::function<void()>& start) {
    QString title;
    WhenShown close(modal<T>, [&](QWidget* w) {
        title = w->windowTitle();
        static_cast<QDialog*>(w)->reject();
    });
    start();
    return title;
}

} // namespace

// What a failed command must leave as it was: the report, its rows and footers, and the
// file a save writes.
struct Shown {
    Report report;
    int rows;
    std::string footer, saved;
    static Shown of(Window& win, const Setups& setups) {
        const std::string file = setups.file("shown.ini");
        fs::remove(file);
        win.w.SaveSetup(QString::fromStdString(file));
        const TdxDBGridColumn* amount = win.w.dxDBGrid->ColumnByFieldName("amount");
        return {win.w.document->report(), win.w.dxDBGrid->DataRowCount(),
                amount ? win.w.dxDBGrid->SummaryFooterText(*amount) : "(no amount column)",
                test::readBytes(file)};
    }
    void expectSame(Window& win, const Setups& setups, const std::string& after) const {
        const Shown now = of(win, setups);
        EXPECT_TRUE(now.report == report) << after;
        EXPECT_EQ(now.rows, rows) << after;
        EXPECT_EQ(now.footer, footer) << after;
        EXPECT_EQ(now.saved, saved) << after;
    }
};

// 销售明细, then reports that fail in each way a load can: the message comes, the status bar
// names the report that failed and the one still shown, and 销售明细 stays whole: rows,
// footers and what a save writes.
TEST(ReportWindow, AFailedLoadOfEachKindLeavesTheReportShownWhole) {
    qtApp();
    Setups setups;
    setups.write("去年销售", "cmdTable", "sales_2019");
    setups.write("语法错误", "cmdText", "selec * from sales");
    {
        TSetup refused(setups.file("拒绝连接.ini"));
        refused.WriteConnString(rgtest::builtin(setups.folder.path().string())); // a folder
        refused.WriteCommandType("cmdTable");
        refused.WriteCommandText("sales");
    }
    setups.write("坏条目", "cmdTable", "sales");
    TSetup(setups.file("坏条目.ini")).WriteSortedColumn("region", "upwards");
    Window win(setups);
    win.click("销售明细");
    ASSERT_GT(win.w.dxDBGrid->ColumnCount(), 0);
    EXPECT_EQ(win.w.dxDBGrid->SummaryFooterText(win.column("amount")), "80617705.90");
    const Shown before = Shown::of(win, setups);

    const std::pair<QString, const char*> failures[] = {
        {"去年销售", "sales_2019"}, {"语法错误", "selec"}, {"拒绝连接", ""}, {"坏条目", "upwards"}};
    for (const auto& [name, named] : failures) {
        win.errors.clear();
        win.click(name);
        ASSERT_EQ(win.errors.size(), 1) << name.toStdString();
        EXPECT_TRUE(win.errors[0].contains(named)) << win.errors[0].toStdString();
        EXPECT_TRUE(win.status().startsWith("打开报表“" + name + "”失败："))
            << win.status().toStdString();
        EXPECT_TRUE(win.status().endsWith("（仍显示报表“销售明细”）"))
            << win.status().toStdString();
        EXPECT_EQ(win.w.reportName(), "销售明细");
        before.expectSame(win, setups, name.toStdString());
    }

    // A file that is not there fails before anything changes.
    win.errors.clear();
    win.chooser->answers.push_back(QString::fromStdString(setups.file("none.ini")));
    win.w.N9->trigger();
    EXPECT_EQ(win.errors.size(), 1);
    before.expectSame(win, setups, "none.ini");
    EXPECT_EQ(win.status(), "打开报表“none”失败：找不到设置文件：" +
                                QString::fromStdString(setups.file("none.ini")) +
                                "（仍显示报表“销售明细”）");
}

// 取消 in the progress window while a report's query runs: told as cancelled, and the report
// shown before stays whole.
TEST(ReportWindow, ACancelledLoadLeavesTheReportShownWhole) {
    qtApp();
    Setups setups;
    setups.write("无尽", "cmdText",
                 "with recursive s(n) as (select 1 union all select n + 1 from s) select count(*) "
                 "as order_id from s");
    Window win(setups);
    win.w.setProgressDelay(0ms);
    win.click("销售明细");
    ASSERT_GT(win.w.dxDBGrid->ColumnCount(), 0);
    const Shown before = Shown::of(win, setups);

    // At the first moment the load lets the event loop run, its progress window is shown.
    bool clicked = false;
    WhenShown cancel(
        [&]() -> QWidget* { return win.w.findChild<TProgressWindow*>("ProgressWindow"); },
        [&](QWidget* p) {
            clicked = true;
            QTest::mouseClick(static_cast<TProgressWindow*>(p)->CancelButton, Qt::LeftButton);
        });
    win.click("无尽");
    EXPECT_TRUE(clicked);
    EXPECT_EQ(win.notices, QStringList{"操作已取消。"});
    EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
    EXPECT_EQ(win.status(), "打开报表“无尽”已取消（仍显示报表“销售明细”）");
    before.expectSame(win, setups, "cancelled");
}

// The data source dialog on 销售明细: typed SQL that does not run, a typed table that is gone
// and a typed connection that is refused each say why while the dialog stays open, Enter in
// the connection box included; 取消 then leaves the report whole: its rows, footers, status
// and saved setup. Typed SQL and "确认" make the new report's source, keeping the summaries
// whose fields are still there; Ctrl+Z brings the earlier source back, arranged as it was.
TEST(ReportWindow, TheDataSourceDialogChangesTheReportOnlyWhenItOpens) {
    qtApp();
    Setups setups;
    Window win(setups);
    win.click("销售明细");
    const Shown before = Shown::of(win, setups);
    const QString status = win.status();
    const auto type = [](QWidget* box, const QString& text) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, text);
    };
    const QString refused =
        QString::fromStdString("Provider=SQLite;Data Source=" + setups.file("none/x.db"));
    bool stayedOpen = true;
    {
        WhenShown fail(modal<TFRMDBSETUP>, [&](QWidget* w) {
            auto* d = static_cast<TFRMDBSETUP*>(w);
            type(d->MasterSQL, "selec * from sales");
            QTest::mouseClick(d->btnok, Qt::LeftButton);
            stayedOpen = stayedOpen && d->isVisible();
            type(d->MasterTableName, "sales_2019");
            QTest::mouseClick(d->btnok, Qt::LeftButton);
            stayedOpen = stayedOpen && d->isVisible();
            type(d->ConnectionString, refused);
            QTest::keyClick(d->ConnectionString, Qt::Key_Return);
            stayedOpen = stayedOpen && d->isVisible();
            QTest::mouseClick(d->btncancel, Qt::LeftButton);
        });
        win.w.ToolButton1->click();
    }
    EXPECT_TRUE(stayedOpen);
    ASSERT_EQ(win.errors.size(), 3) << win.errors.join('\n').toStdString();
    EXPECT_TRUE(win.errors[0].startsWith("执行 SQL 失败：")) << win.errors[0].toStdString();
    EXPECT_TRUE(win.errors[1].startsWith("打开表“sales_2019”失败："))
        << win.errors[1].toStdString();
    EXPECT_TRUE(win.errors[2].startsWith("连接数据库失败：")) << win.errors[2].toStdString();
    before.expectSame(win, setups, "取消");
    EXPECT_EQ(win.status(), status);
    EXPECT_FALSE(win.w.document->history().canUndo());

    {
        WhenShown open(modal<TFRMDBSETUP>, [&](QWidget* w) {
            auto* d = static_cast<TFRMDBSETUP*>(w);
            type(d->MasterSQL, "select order_id, quantity from sales");
            QTest::mouseClick(d->btnok, Qt::LeftButton);
        });
        win.w.ToolButton1->click();
    }
    EXPECT_EQ(win.errors.size(), 3) << win.errors.join('\n').toStdString();
    EXPECT_EQ(win.w.dataset()->CommandText(), "select order_id, quantity from sales");
    EXPECT_EQ(win.w.dxDBGrid->ColumnCount(), 2);
    EXPECT_TRUE(win.w.dxDBGrid->ShowGroupPanel());
    const TdxDBGridSummaryItems& items = win.w.dxDBGrid->DefaultGroup().SummaryItems;
    ASSERT_EQ(items.Count(), 1);
    EXPECT_EQ(items.Items(0).SummaryField(), "quantity");
    EXPECT_EQ(win.w.Undo->text(), "撤销：设置数据源");

    win.w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&win.w));
    QTest::keyClick(&win.w, Qt::Key_Z, Qt::ControlModifier);
    before.expectSame(win, setups, "undone");
    EXPECT_EQ(win.w.Redo->text(), "重做：设置数据源");
}

// 保存设置 offers the report's own file in the setup folder; a bare name is saved there and
// listed at once. The desktop's file dialog opens in that folder.
TEST(ReportWindow, SaveDialogOpensInTheSetupFolder) {
    qtApp();
    Setups setups;
    Window win(setups);
    win.click("销售明细");
    win.save("月报");
    ASSERT_EQ(win.seen.size(), 1u);
    EXPECT_EQ(win.seen[0].initialName, setups.path() + "销售明细.ini");
    EXPECT_TRUE(fs::exists(setups.file("月报.ini")));
    EXPECT_EQ(win.w.nvbar->ItemCount(), 2);
    EXPECT_EQ(win.w.reportName(), "月报");
    win.save("");
    EXPECT_EQ(win.seen[1].initialName, setups.path() + "月报.ini");
    EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();

    // The desktop's dialog: in the setup folder on the report's file, whether or not that
    // file is there yet (a report read from elsewhere).
    const test::TempFolder elsewhere;
    fs::copy_file(setups.folder / "销售明细.ini", elsewhere / "外部.ini");
    win.chooser->answers.push_back(QString::fromStdString((elsewhere / "外部.ini").string()));
    win.w.N9->trigger();
    ASSERT_EQ(win.w.reportName(), "外部");
    win.w.dlgsjsc->setChooser(makeDesktopFileChooser());
    QString folder, name;
    WhenShown look(modal<QFileDialog>, [&](QWidget* w) {
        auto* dialog = static_cast<QFileDialog*>(w);
        folder = dialog->directory().absolutePath();
        name = dialog->selectedFiles().value(0);
        dialog->reject();
    });
    win.w.N8->trigger();
    EXPECT_EQ(folder, QString::fromStdString(setups.folder.path().string()));
    EXPECT_EQ(name, setups.path() + "外部.ini");
    EXPECT_FALSE(fs::exists(setups.file("外部.ini")));
}

// Sum and average of 数量: the first kind in the original program's section, the second in
// a section of its own; a restart brings back both, with the same footer.
TEST(ReportWindow, SeveralSummariesOfOneFieldAreSavedAndRestored) {
    qtApp();
    Setups setups;
    QString footer;
    {
        Window win(setups);
        win.click("销售明细");
        win.w.ApplySummary(win.column("quantity").Index(), "cstavg");
        win.w.dxDBGrid->ReloadRows();
        footer = QString::fromStdString(win.w.dxDBGrid->SummaryFooterText(win.column("quantity")));
        win.save("两种汇总");
        EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
    }
    TSetup saved(setups.file("两种汇总.ini"));
    EXPECT_EQ(saved.ReadSummaryField("quantity"), "cstsum");
    EXPECT_EQ(saved.ReadSummaryField("amount"), "cstsum");
    EXPECT_EQ(saved.ReadValue("MoreSummaries", "Count"), "1");
    EXPECT_EQ(saved.ReadValue("MoreSummaries", "1"), "cstavg quantity");

    Window win(setups);
    win.click("两种汇总");
    EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
    const TdxDBGridSummaryItems& items = win.w.dxDBGrid->DefaultGroup().SummaryItems;
    ASSERT_EQ(items.Count(), 3);
    const std::pair<const char*, TdxSummaryType> expected[] = {
        {"quantity", TdxSummaryType::cstSum},
        {"amount", TdxSummaryType::cstSum},
        {"quantity", TdxSummaryType::cstAvg}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(items.Items(i).SummaryField(), expected[i].first) << i;
        EXPECT_EQ(items.Items(i).SummaryType(), expected[i].second) << i;
    }
    win.w.dxDBGrid->ReloadRows();
    EXPECT_EQ(QString::fromStdString(win.w.dxDBGrid->SummaryFooterText(win.column("quantity"))),
              footer);
}

// The preview and the designer are titled with the report's name, never a component name.
TEST(ReportWindow, PrintWindowsNameTheReport) {
    qtApp();
    Setups setups;
    Window win(setups);
    EXPECT_EQ(titleOfModal<TdxPreviewWindow>([&] { win.w.tbPreview->click(); }), "打印预览");
    win.click("销售明细");
    EXPECT_EQ(titleOfModal<TdxPreviewWindow>([&] { win.w.tbPreview->click(); }),
              "打印预览 - 销售明细");
    EXPECT_EQ(titleOfModal<TdxReportDesigner>([&] { win.w.tbDesigner->click(); }),
              "报表设计 - 销售明细");
    EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
    EXPECT_TRUE(win.notices.isEmpty()) << win.notices.join('\n').toStdString();
}

// "在服务器上汇总" ticked in the data source dialog opens the report again with its rows on
// the server; the status bar says so beside its message, a save keeps the box and a load of
// that file ticks it again. Unticked, the section leaves the file. A stored procedure's rows
// are always read whole, so the box is off for it.
TEST(ReportWindow, ServerSummaryBoxIsSavedLoadedAndShown) {
    qtApp();
    Setups setups;
    const auto serverMode = [](Window& win) {
        auto* sign = win.w.StatusBar1->findChild<QLabel*>("ServerMode");
        return sign && sign->isVisible() && sign->text() == "服务器汇总";
    };
    // Clicks the box in the data source dialog, answered with "确认"; whether it was ticked.
    const auto clickBox = [](Window& win) {
        bool ticked = false;
        WhenShown click(modal<TFRMDBSETUP>, [&](QWidget* w) {
            auto* d = static_cast<TFRMDBSETUP*>(w);
            ticked = d->chkserversummary->isChecked();
            EXPECT_TRUE(d->chkserversummary->isEnabled());
            QTest::mouseClick(d->chkserversummary, Qt::LeftButton);
            if (!ticked)
                rgtest::savePicture(*d, "dbsetup-server-summary");
            QTest::mouseClick(d->btnok, Qt::LeftButton);
        });
        win.w.ToolButton1->click();
        return ticked;
    };
    std::string serverCsv;
    {
        Window win(setups);
        win.click("销售明细");
        EXPECT_FALSE(serverMode(win));
        EXPECT_FALSE(clickBox(win));
        EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
        EXPECT_TRUE(win.w.dataset()->ServerSide());
        EXPECT_TRUE(serverMode(win));
        EXPECT_EQ(win.status(), "报表“销售明细”");
        serverCsv = gridAsCsv(*win.w.dxDBGrid);
        win.save("服务器");
    }
    EXPECT_EQ(TSetup(setups.file("服务器.ini")).ReadServerSummaryEnabled(), "1");
    {
        Window win(setups);
        win.click("服务器");
        EXPECT_TRUE(serverMode(win));
        EXPECT_TRUE(clickBox(win));
        EXPECT_FALSE(win.w.dataset()->ServerSide());
        EXPECT_FALSE(serverMode(win));
        EXPECT_EQ(gridAsCsv(*win.w.dxDBGrid), serverCsv);
        win.save("内存");
    }
    EXPECT_EQ(test::readBytes(setups.file("内存.ini")).find("[ServerSummary]"), std::string::npos);

    Connection conn;
    DataSet procedure(&conn);
    procedure.SetCommandType(CommandType::cmdStoredProc);
    procedure.SetRowPlacement(RowPlacement::Server);
    TFRMDBSETUP dialog;
    dialog.AssignDataSet(procedure);
    dialog.AssignConnection(conn);
    EXPECT_TRUE(dialog.chkserversummary->isChecked());
    EXPECT_FALSE(dialog.chkserversummary->isEnabled());
}
