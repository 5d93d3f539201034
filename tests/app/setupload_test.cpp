// Loading setups in the main window: a saved entry that cannot be applied stops the load
// with a message naming it, one whose field is gone is skipped with a notice, and a setup
// file that is no file says so.
#include "answeringchooser.h"
#include "app/ui/navbar.h"
#include "app/ui/quorvel.h"
#include "common/ui/commandguard.h"
#include "qtapp.h"
#include "setup/setup.h"
#include "testdb.h"
#include "testfiles.h"

#include <QAction>
#include <QTest>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace rg;

namespace {

// What one command showed: its error messages and its notices.
struct Shown {
    QStringList errors, notices;
};

struct Window {
    std::vector<AnsweringChooser::Seen> seen;
    AnsweringChooser* chooser;
    Tfrmquorvel w;
    explicit Window(const std::string& folder) : w(nullptr, QString::fromStdString(folder) + "/") {
        auto c = std::make_unique<AnsweringChooser>(&seen);
        chooser = c.get();
        w.dlgsjsc->setChooser(std::move(c));
        w.show();
    }
    template <class Command> Shown run(Command&& command) {
        Shown shown;
        MessageSink errors = setErrorSink([&](const QString& m) { shown.errors << m; });
        MessageSink notices = setNoticeSink([&](const QString& m) { shown.notices << m; });
        command();
        setErrorSink(errors);
        setNoticeSink(notices);
        return shown;
    }
    Shown click(const QString& caption) {
        return run([&] {
            for (int i = 0; i < w.nvbar->ItemCount(); ++i)
                if (w.nvbar->Item(i)->Caption() == caption)
                    return QTest::mouseClick(w.nvbar->Item(i)->linkWidget(), Qt::LeftButton);
            ADD_FAILURE() << caption.toStdString() << " is not listed";
        });
    }
    // "读取设置" from the grid's menu, answering the dialog with `file`.
    Shown load(const std::string& file) {
        chooser->answers.push_back(QString::fromStdString(file));
        return run([&] { w.N9->trigger(); });
    }
};

} // namespace

TEST(SetupLoad, EntriesThatCannotBeAppliedStopTheLoadAndGoneFieldsAreNoticed) {
    qtApp();
    TestDb db(kRegionSales);
    const test::TempFolder setups;
    auto setup = [&](const std::string& name, const std::function<void(TSetup&)>& extra) {
        TSetup s((setups / (name + ".ini")).string());
        s.WriteConnString(db.conn.ConnectionString());
        s.WriteCommandType("cmdTable");
        s.WriteCommandText("t");
        s.WriteKeyField("id");
        extra(s);
    };
    setup("分组", [](TSetup& s) { s.WriteValue("GroupColumns", "Count", "many"); });
    setup("排序", [](TSetup& s) { s.WriteSortedColumn("city", "upwards"); });
    setup("筛选", [](TSetup& s) { s.WriteFilterText("id = 100 )"); });
    setup("多汇总", [](TSetup& s) {
        s.WriteMoreSummaries({{"amount", "cstsum"}, {"amount", "cstmean"}});
    });
    setup("旧字段", [](TSetup& s) {
        s.WriteMoreSummaries({{"district", "cstavg"}});
        s.WriteGroupColumns({"region", "district"});
        s.WriteSortedColumn("district", "csDown");
    });
    Window win(setups.path().string());

    const Shown grouping = win.click("分组");
    EXPECT_EQ(grouping.errors,
              QStringList{"设置文件中的列表 [GroupColumns] 无法使用：项目数“many”不是数目"});
    const Shown sort = win.click("排序");
    EXPECT_EQ(sort.errors, QStringList{"设置文件中的字段“city”的排序无法使用：无法识别“upwards”"});
    const Shown filter = win.click("筛选");
    EXPECT_EQ(
        filter.errors,
        QStringList{
            "设置文件中的筛选条件“id = 100 )”无法使用：Invalid filter expression: id = 100 )"});
    // The broken filter was not dropped in silence: the grid shows no filtered report.
    EXPECT_EQ(win.w.dataset()->Filter(), "");
    EXPECT_TRUE(filter.notices.isEmpty());

    const Shown more = win.click("多汇总");
    EXPECT_EQ(more.errors,
              QStringList{"设置文件中的字段“amount”的汇总方式无法使用：无法识别“cstmean”"});

    const Shown gone = win.click("旧字段");
    EXPECT_TRUE(gone.errors.isEmpty()) << gone.errors.join("\n").toStdString();
    EXPECT_EQ(gone.notices, QStringList{"设置文件中以下项目的字段已不存在，已跳过：汇总 "
                                        "district；分组 district；排序 district"});
    ASSERT_EQ(win.w.dxDBGrid->GroupColumnCount(), 1);
    EXPECT_EQ(win.w.dxDBGrid->GroupColumns(0).FieldName(), "region");

    // Files that are no setup file, through "读取设置".
    const std::string missing = (setups / "none.ini").string(),
                      fifo = (setups / "pipe.ini").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(win.load(missing).errors,
              QStringList{QString::fromStdString("找不到设置文件：" + missing)});
    EXPECT_EQ(win.load(fifo).errors,
              QStringList{QString::fromStdString("无法读取设置文件“" + fifo +
                                                 "”：不是普通文件（设备、管道或套接字）")});
    EXPECT_EQ(win.load("/dev/null").errors,
              QStringList{"无法读取设置文件“/dev/null”：不是普通文件（设备、管道或套接字）"});
    // The report of the last good load stays.
    EXPECT_EQ(win.w.dxDBGrid->GroupColumnCount(), 1);
}
