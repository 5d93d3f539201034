#include "answeringchooser.h"
#include "app/ui/navbar.h"
#include "app/ui/progresswindow.h"
#include "app/ui/quorvel.h"
#include "common/ui/commandguard.h"
#include "datasource/statementrun.h"
#include "freezingproxy.h"
#include "grid/ui/gridview.h"
#include "qtapp.h"
#include "setup/setup.h"
#include "testfiles.h"
#include "testsupport.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

using namespace rg;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// 100,000 sales in seven regions.
const char* const kManySales = R"(
create table t as
with recursive n(x) as (select 1 union all select x + 1 from n where x < 100000)
select x as id, '地区' || (x % 7) as region, 'city' || (x % 101) as city, x * 1.5 as amount from n;
)";

// The main window on a real table of 100,000 rows, its progress window shown at the first
// report, the save dialog answered, the desktop's "open" and the messages noted.
struct Window {
    test::TempFolder folder;
    std::string db = rgtest::makeSqliteFile("commandprogress", kManySales);
    std::vector<AnsweringChooser::Seen> seen;
    AnsweringChooser* chooser;
    QStringList opened, errors, notices;
    MessageSink previousError, previousNotice;
    Tfrmquorvel w;

    Window() : w(nullptr, QString::fromStdString(folder.path().string())) {
        auto c = std::make_unique<AnsweringChooser>(&seen);
        chooser = c.get();
        w.dlgsjsc->setChooser(std::move(c));
        w.setShell(std::make_unique<RecordingShell>(&opened));
        w.setProgressDelay(0ms);
        w.show();
        w.conn()->SetConnectionString(rgtest::builtin(db));
        w.dataset()->SetCommandText("select * from t");
        w.dataset()->Open();
        w.BuildGridColumns();
        w.dxDBGrid->SetKeyField("id");
        previousError = setErrorSink([this](const QString& m) { errors << m; });
        previousNotice = setNoticeSink([this](const QString& m) { notices << m; });
    }
    ~Window() {
        setErrorSink(previousError);
        setNoticeSink(previousNotice);
        fs::remove(db);
    }
    TProgressWindow* progressWindow() const {
        return w.findChild<TProgressWindow*>("ProgressWindow");
    }
    // At the first moment the command lets the event loop run (its progress window has just
    // shown itself): notes the window's text and, when `cancel`, clicks 取消.
    void atFirstPump(bool cancel, QString* shownText) {
        QTimer::singleShot(0, &w, [this, cancel, shownText] {
            TProgressWindow* p = progressWindow();
            if (!p || !p->isVisible())
                return;
            *shownText = p->ProgressText->text();
            if (cancel)
                QTest::mouseClick(p->CancelButton, Qt::LeftButton);
        });
    }
};

} // namespace

// 取消 during an export of each format leaves the file that was there byte for byte and no
// temporary file beside it, says so as a notice and opens nothing; the same export without
// the click replaces the file. Either way the progress window is gone afterwards.
TEST(CommandProgress, CancelledExportKeepsTheOldFile) {
    qtApp();
    Window win;
    const struct {
        QAction* command;
        const char* name;
        int filter;
        const char* shown; // the first report's text
    } exports[] = {
        {win.w.N4, "sales.xlsx", 0, "正在导出……0%"},
        {win.w.N4, "sales.csv", 2, "正在导出……0%"},
        {win.w.XML1, "sales.xml", 0, "正在导出……0%"},
        {win.w.XML1, "sales.html", 1, "正在导出……0%"},
        // The PDF's report is built first: its pages are what the first report counts.
        {win.w.PDF1, "sales.pdf", -1, "正在生成页面……65%"},
    };
    const std::string old = "the report of last month\n";
    for (const auto& e : exports) {
        SCOPED_TRACE(e.name);
        const fs::path file = win.folder / e.name;
        test::writeBytes(file, old);
        win.notices.clear();
        win.chooser->answers.push_back(QString::fromStdString(file.string()));
        win.chooser->filters.push_back(e.filter);
        QString shown;
        win.atFirstPump(true, &shown);
        e.command->trigger();
        EXPECT_EQ(shown, QString::fromUtf8(e.shown));
        EXPECT_EQ(win.notices, QStringList{"操作已取消。"});
        EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
        EXPECT_TRUE(win.opened.isEmpty());
        EXPECT_EQ(test::readBytes(file), old);
        EXPECT_EQ(win.folder.entryCount(), 1u); // no temporary file, no style sheet
        EXPECT_EQ(win.progressWindow(), nullptr);

        win.notices.clear();
        win.chooser->answers.push_back(QString::fromStdString(file.string()));
        win.chooser->filters.push_back(e.filter);
        shown.clear();
        win.atFirstPump(false, &shown);
        e.command->trigger();
        EXPECT_EQ(shown, QString::fromUtf8(e.shown));
        // Opened from its file, Chromium shows an XML document's style sheet as an empty
        // page: the window says so and points to the web page.
        if (fs::path(e.name).extension() == ".xml") {
            ASSERT_EQ(win.notices.size(), 1);
            EXPECT_TRUE(win.notices[0].contains(QStringLiteral("Chromium")));
            EXPECT_TRUE(win.notices[0].contains(QStringLiteral("“网页”")));
        } else {
            EXPECT_TRUE(win.notices.isEmpty()) << win.notices.join('\n').toStdString();
        }
        EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
        EXPECT_EQ(win.opened, QStringList{QString::fromStdString(file.string())});
        EXPECT_GT(fs::file_size(file), 1000000u);
        EXPECT_EQ(win.progressWindow(), nullptr);
        win.opened.clear();
        for (const auto& entry : fs::directory_iterator(win.folder.path()))
            fs::remove(entry.path());
    }
}

namespace {

// Reports from inside the grid's work once, as the grid's own loads report: the drop is
// already done by then, so this stands for the report, not for the grid restoring itself.
struct ReportingListener : GridListener {
    bool armed = false;
    void gridChanged() override {
        if (!armed)
            return;
        armed = false;
        reportProgress("正在分组", 0, 100000);
    }
};

} // namespace

// A header dragged onto the group panel runs as a command of the main window: the grid's
// reports reach its progress window, and 取消 there ends the drop with the notice and
// takes the window away.
TEST(CommandProgress, CancelledGroupingByDragEndsWithTheNotice) {
    qtApp();
    Window win;
    win.w.resize(900, 600);
    QApplication::processEvents();
    auto view = qobject_cast<TdxDBGridView*>(win.w.gridView());
    ASSERT_TRUE(view);
    ReportingListener listener;
    win.w.dxDBGrid->addListener(&listener);
    QWidget* vp = view->viewport();
    const QPoint header = view->headerRect(*win.w.dxDBGrid->ColumnByFieldName("region")).center();
    const QPoint panel(300, view->groupPanelHeight() / 2);

    listener.armed = true;
    QString shown;
    win.atFirstPump(true, &shown);
    QTest::mousePress(vp, Qt::LeftButton, {}, header);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, panel);
    EXPECT_EQ(shown, "正在分组……0%");
    EXPECT_EQ(win.notices, QStringList{"操作已取消。"});
    EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
    EXPECT_EQ(win.progressWindow(), nullptr);
    win.w.dxDBGrid->removeListener(&listener);
}

// A report whose query never ends, opened by a click in the left bar: the progress window
// tells that data is being read, and 取消 there stops the statement in SQLite. The report
// shown before stays whole, the notice says it was cancelled, and the next report opens.
TEST(CommandProgress, CancelledOpenKeepsTheReportShownAndTheNextReportOpens) {
    qtApp();
    Window win;
    const auto write = [&](const char* name, const std::string& sql) {
        TSetup s((win.folder / name).string());
        s.WriteConnString(rgtest::builtin(win.db));
        s.WriteCommandType("cmdText");
        s.WriteCommandText(sql);
        s.WriteKeyField("id");
    };
    write("a-endless.ini", "with recursive s(n) as (select 1 union all select n + 1 from s) select "
                           "count(*) as id from s");
    write("b-sales.ini", "select * from t where region = '地区3'");
    win.w.ListSavedSetups();
    ASSERT_EQ(win.w.nvbar->ItemCount(), 2);

    const int rowsShown = win.w.dxDBGrid->DataRowCount();
    ASSERT_GT(rowsShown, 0);
    QString shown;
    win.atFirstPump(true, &shown);
    QTest::mouseClick(win.w.nvbar->Item(0)->linkWidget(), Qt::LeftButton);
    EXPECT_TRUE(shown.startsWith("正在读取数据")) << shown.toStdString();
    EXPECT_EQ(win.notices, QStringList{"操作已取消。"});
    EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
    EXPECT_EQ(win.w.dataset()->CommandText(), "select * from t");
    EXPECT_EQ(win.w.dxDBGrid->DataRowCount(), rowsShown);
    EXPECT_EQ(win.progressWindow(), nullptr);

    win.notices.clear();
    QTest::mouseClick(win.w.nvbar->Item(1)->linkWidget(), Qt::LeftButton);
    EXPECT_TRUE(win.notices.isEmpty()) << win.notices.join('\n').toStdString();
    EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
    EXPECT_EQ(win.w.dxDBGrid->DataRowCount(), 14286);
}

// A report whose server goes silent in the middle of its statement, so that the driver's own
// cancel hangs as well: the window keeps answering while the cancel is under way, 取消 ends
// the wait with the notice, the report shown before stays, and the progress window goes.
TEST(CommandProgress, CancelOnASilentServerEndsTheWait) {
    qtApp();
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    rgtest::FreezingProxy proxy(pg);
    Window win;
    {
        TSetup s((win.folder / "frozen.ini").string());
        s.WriteConnString(proxy.connectionString());
        s.WriteCommandType("cmdText");
        s.WriteCommandText("SELECT 1 AS rg_frozen_marker");
    }
    win.w.ListSavedSetups();
    ASSERT_EQ(win.w.nvbar->ItemCount(), 1);
    proxy.freezeOn("rg_frozen_marker");

    // Clicks 取消 once the statement is held back, then counts the timer's rounds the window
    // still runs while the command waits for the driver.
    bool clicked = false;
    int roundsAfterCancel = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (clicked) {
            ++roundsAfterCancel;
            return;
        }
        TProgressWindow* p = win.progressWindow();
        if (p && p->isVisible() && proxy.holdsTraffic()) {
            clicked = true;
            QTest::mouseClick(p->CancelButton, Qt::LeftButton);
        }
    });
    ticker.start();
    QTest::mouseClick(win.w.nvbar->Item(0)->linkWidget(), Qt::LeftButton);
    ticker.stop();
    EXPECT_TRUE(clicked);
    EXPECT_GT(roundsAfterCancel, 0) << "the window stood still while the driver's cancel hung";
    EXPECT_EQ(win.notices, QStringList{"操作已取消。"});
    EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
    EXPECT_EQ(win.w.dataset()->CommandText(), "select * from t");
    EXPECT_GT(win.w.dxDBGrid->DataRowCount(), 0);
    EXPECT_EQ(win.progressWindow(), nullptr);

    // The abandoned statement ends once the server answers again.
    proxy.thaw();
    waitForDriverWork();
}
