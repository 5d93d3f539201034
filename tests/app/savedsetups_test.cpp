#include "app/savedsetups.h"
#include "app/ui/navbar.h"
#include "app/ui/quorvel.h"
#include "common/codepage.h"
#include "common/ui/commandguard.h"
#include "qtapp.h"
#include "setup/setup.h"
#include "testdb.h"

#include <QEvent>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace rg;

namespace {

QStringList captions(const Tfrmquorvel& w) {
    QStringList list;
    for (int i = 0; i < w.nvbar->ItemCount(); ++i)
        list << w.nvbar->Item(i)->Caption();
    return list;
}

} // namespace

TEST(SavedSetups, ListedFromTheSetupFolder) {
    qtApp();
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    for (const char* name : {"b.ini", "a.ini", ".ini", ".h.ini", "B.ini", "A.INI", "c.Ini",
                             "报表.ini", "上海.ini", "北京.ini", "广州.ini", "c.txt", "e.ini.bak"})
        touch(folder + QString::fromUtf8(name));
    // A name copied from the Windows program: GBK bytes, not valid UTF-8.
    const std::string gbkPath = QFile::encodeName(folder).toStdString() + toAnsi("杭州") + ".INI";
    std::ofstream(std::filesystem::path(gbkPath)).put('\n');
    QDir(folder).mkdir("x.ini");
    QDir(folder).mkdir("folder");

    // Code page 936 byte order: ASCII first (upper case before lower case), then Chinese
    // in pinyin order.
    const QStringList expected{"A",    "B",    "a",    "b",    "c",   "x",
                               "报表", "北京", "广州", "杭州", "上海"};
    const std::vector<SavedSetup> setups = savedSetups(folder);
    QStringList listed;
    for (const SavedSetup& s : setups)
        listed << s.caption;
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(setups[9].path, gbkPath);
    EXPECT_EQ(setups[0].path, QFile::encodeName(folder + "A.INI").toStdString());

    Tfrmquorvel w(nullptr, folder);
    EXPECT_EQ(captions(w), expected);
    EXPECT_EQ(w.nvbar->Group()->LinkCount(), 11);
    EXPECT_EQ(w.nvbar->Group()->Link(4), w.nvbar->Item(4));

    // The list shows the folder as it was; a rebuild picks up changes without duplicates.
    touch(folder + "d.ini");
    EXPECT_EQ(captions(w), expected);
    QPointer<TdxNavBarItem> old = w.nvbar->Item(0);
    w.ClearSavedSetups();
    EXPECT_EQ(w.nvbar->ItemCount(), 0);
    EXPECT_EQ(w.nvbar->Group()->LinkCount(), 0);
    EXPECT_TRUE(old.isNull());
    w.ListSavedSetups();
    w.ClearSavedSetups();
    w.ListSavedSetups();
    EXPECT_EQ(w.nvbar->ItemCount(), 12);
    EXPECT_EQ(w.nvbar->Item(5)->Caption(), "d");
    EXPECT_EQ(w.nvbar->Group()->LinkCount(), 12);

    // A missing folder gives an empty list.
    EXPECT_TRUE(savedSetups(folder + "missing/").empty());
    Tfrmquorvel empty(nullptr, folder + "missing/");
    EXPECT_EQ(empty.nvbar->ItemCount(), 0);
}

TEST(SavedSetups, ItemsOpenTheirFilesByTheirOwnBytes) {
    qtApp();
    TestDb db(kRegionSales);
    const std::string folder = db.folder + "/setup/";
    std::filesystem::create_directory(folder);
    const std::string gbk = folder + toAnsi("华东") + ".ini";
    const auto write = [&](const std::string& path, const std::string& sql,
                           std::initializer_list<std::pair<const char*, const char*>> summaries) {
        TSetup s(path);
        s.WriteConnString(db.conn.ConnectionString());
        s.WriteCommandType("cmdText");
        s.WriteCommandText(sql);
        s.WriteKeyField("id");
        s.WriteField("region", "地区");
        for (const auto& [field, kind] : summaries)
            s.WriteSummaryField(field, kind);
    };
    write(folder + "ALL.INI", "select * from t", {{"amount", "cstsum"}});
    write(gbk, "select * from t where region = '华东'", {{"city", "cstcount"}});
    // A sum over texts is refused, and the load ends there: no later summary either.
    write(folder + "bad.ini", "select * from t", {{"region", "cstsum"}, {"amount", "cstsum"}});

    QStringList shown;
    MessageSink previous = setErrorSink([&](const QString& m) { shown << m; });
    Tfrmquorvel w(nullptr, QString::fromStdString(folder));
    w.show();
    ASSERT_EQ(captions(w), QStringList({"ALL", "bad", "华东"}));
    const auto click = [&](int item) {
        QTest::mouseClick(w.nvbar->Item(item)->linkWidget(), Qt::LeftButton);
    };
    const TdxDBGridSummaryItems& items = w.dxDBGrid->DefaultGroup().SummaryItems;

    click(0);
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(w.dxDBGrid->DataRowCount(), 5);
    EXPECT_EQ(items.Count(), 1);

    click(2);
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(w.dataset()->CommandText(), "select * from t where region = '华东'");
    EXPECT_EQ(w.dxDBGrid->DataRowCount(), 2);
    EXPECT_EQ(items.Count(), 1); // a load starts clean: only this report's count

    click(1);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0],
              "设置文件中的字段“region”的汇总方式无法使用：字段“地区”的值不是数字，不能求和。");
    // The half-applied report never shows: the earlier one stays whole.
    EXPECT_EQ(items.Count(), 1);
    EXPECT_EQ(w.dataset()->CommandText(), "select * from t where region = '华东'");
    EXPECT_EQ(w.dxDBGrid->DataRowCount(), 2);

    click(0);
    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(w.dxDBGrid->DataRowCount(), 5);

    // A file gone since the list was built is named; nothing is loaded.
    std::filesystem::remove(std::filesystem::path(gbk));
    click(2);
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[1], "找不到设置文件：华东.ini");
    EXPECT_EQ(w.dataset()->CommandText(), "select * from t");
    EXPECT_TRUE(w.dataset()->Active());
    setErrorSink(previous);
}

TEST(SavedSetups, ItemsLookAndClick) {
    qtApp();
    QTemporaryDir dir;
    touch(dir.path() + "/a.ini");
    Tfrmquorvel w(nullptr, dir.path() + "/");
    w.show();
    auto link = qobject_cast<QLabel*>(w.nvbar->Item(0)->linkWidget());
    ASSERT_TRUE(link);
    EXPECT_EQ(link->text(), "a");
    EXPECT_TRUE(link->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(w.nvbar->palette().color(QPalette::Window), w.palette().color(QPalette::Highlight));
    EXPECT_TRUE(w.nvbar->findChild<QWidget*>("nvbarGroupCaption")->font().bold());

    // Underlined under the pointer only.
    EXPECT_FALSE(link->font().underline());
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(link, &enter);
    EXPECT_TRUE(link->font().underline());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    EXPECT_FALSE(link->font().underline());

    TdxNavBarItem* clicked = nullptr;
    QObject::connect(w.nvbar->Item(0), &TdxNavBarItem::clicked,
                     [&](TdxNavBarItem* item) { clicked = item; });
    // The click loads a.ini; being empty, its open fails and the error box gets the message.
    QStringList shown;
    MessageSink previous = setErrorSink([&](const QString& m) { shown << m; });
    QTest::mouseClick(link, Qt::LeftButton);
    setErrorSink(previous);
    EXPECT_EQ(clicked, w.nvbar->Item(0));
    EXPECT_EQ(shown.size(), 1);
}
