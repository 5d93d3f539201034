#include "app/setupfolders.h"
#include "app/ui/navbar.h"
#include "app/ui/quorvel.h"
#include "common/error.h"
#include "common/ui/commandguard.h"
#include "qtapp.h"
#include "setup/setup.h"
#include "testdb.h"

#include <QDir>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

using namespace rg;

namespace {

// An installed program under a prefix of its own: bin/ and share/reportgen with the demo
// database and two setups, one on that database by a path from bin/, one on a server.
struct Prefix {
    explicit Prefix(const TestDb& db) {
        root = dir.path();
        QDir().mkpath(root + "/bin");
        QDir().mkpath(root + "/share/reportgen/setup");
        QFile::copy(QString::fromStdString(db.path), root + "/share/reportgen/demo.db");
        write("销售", "Provider=SQLite;Data Source=../share/reportgen/demo.db");
        write("server", "Driver={PostgreSQL Unicode};Server=db.example;Database=sales");
    }
    void write(const QString& name, const std::string& conn) const {
        TSetup s(QFile::encodeName(shared() + name + ".ini").toStdString());
        s.WriteConnString(conn);
        s.WriteCommandType("cmdText");
        s.WriteCommandText("select * from t");
        s.WriteKeyField("id");
    }
    QString bin() const { return root + "/bin"; }
    QString shared() const { return root + "/share/reportgen/setup/"; }
    QString user() const { return root + "/home/reportgen"; }

    QTemporaryDir dir;
    QString root;
};

std::string connOf(const QString& file) {
    TSetup s(QFile::encodeName(file).toStdString());
    return s.ReadConnString();
}

QStringList links(const TdxNavBarGroup& g) {
    QStringList list;
    for (int i = 0; i < g.LinkCount(); ++i)
        list << g.Link(i)->Caption();
    return list;
}

} // namespace

TEST(SetupFolders, BuildTreesKeepTheirFolderAndInstalledProgramsUseTheUsers) {
    QTemporaryDir dir;
    const QString program = dir.path() + "/prefix/bin", user = dir.path() + "/data/reportgen";
    QDir().mkpath(program);

    // Nothing beside the program, nothing installed: the user's folder alone.
    SetupFolders f = setupFoldersFor(program, user);
    EXPECT_EQ(f.own, user + "/setup/");
    EXPECT_TRUE(f.shared.isEmpty());

    // An installed program lists its prefix's setups after the user's.
    QDir().mkpath(dir.path() + "/prefix/share/reportgen/setup");
    f = setupFoldersFor(program, user);
    EXPECT_EQ(f.own, user + "/setup/");
    EXPECT_EQ(f.shared, dir.path() + "/prefix/share/reportgen/setup/");

    // A build tree, or a program copied from Windows: its own folder, saved to, alone.
    QDir().mkpath(program + "/setup");
    f = setupFoldersFor(program, user);
    EXPECT_EQ(f.own, program + "/setup/");
    EXPECT_TRUE(f.shared.isEmpty());
}

TEST(SetupFolders, FirstStartCopiesTheDemoReportsOnceAndWhole) {
    TestDb db(kRegionSales);
    Prefix prefix(db);
    SetupFolders f = setupFoldersFor(prefix.bin(), prefix.user());
    ASSERT_EQ(f.shared, prefix.shared());

    // What an earlier start cut short left behind is replaced.
    QDir().mkpath(prefix.user() + "/setup.new");
    touch(prefix.user() + "/setup.new/half.ini");
    ASSERT_TRUE(copyDemoSetups(f, prefix.bin()));
    EXPECT_FALSE(QFileInfo::exists(prefix.user() + "/setup.new"));
    QStringList copied = QDir(f.own).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(copied, QStringList({"server.ini", "销售.ini"}));

    // The copy names the user's database, which is a copy of the program's; a server's
    // setup is copied as it is.
    const QString userDb = prefix.user() + "/demo.db";
    EXPECT_EQ(connOf(f.own + "销售.ini"), "Provider=SQLite;Data Source=" + userDb.toStdString());
    EXPECT_EQ(connOf(f.own + "server.ini"), connOf(prefix.shared() + "server.ini"));
    EXPECT_EQ(QFileInfo(userDb).size(), QFileInfo(prefix.root + "/share/reportgen/demo.db").size());
    EXPECT_EQ(connOf(prefix.shared() + "销售.ini"),
              "Provider=SQLite;Data Source=../share/reportgen/demo.db");

    // A later start leaves the user's folder alone, even a folder the user emptied.
    QFile::remove(f.own + "server.ini");
    TSetup(QFile::encodeName(f.own + "销售.ini").toStdString()).WriteKeyField("city");
    EXPECT_FALSE(copyDemoSetups(f, prefix.bin()));
    EXPECT_EQ(QDir(f.own).entryList(QDir::Files), QStringList({"销售.ini"}));
    EXPECT_EQ(TSetup(QFile::encodeName(f.own + "销售.ini").toStdString()).ReadKeyField(), "city");

    // No program folder: nothing to copy.
    EXPECT_FALSE(copyDemoSetups(SetupFolders(prefix.root + "/elsewhere/"), prefix.bin()));
    EXPECT_FALSE(QFileInfo::exists(prefix.root + "/elsewhere"));

    // A user folder that cannot be made is named, and nothing is left half made.
    touch(prefix.root + "/file");
    SetupFolders blocked = f;
    blocked.own = prefix.root + "/file/reportgen/setup/";
    try {
        copyDemoSetups(blocked, prefix.bin());
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("不能在“" + prefix.root.toStdString() +
                                             "/file/reportgen”中建立报表设置文件夹"),
                  std::string::npos)
            << e.what();
    }
}

TEST(SetupFolders, TheLeftBarListsBothFoldersAndTheUsersCopyFirst) {
    qtApp();
    TestDb db(kRegionSales);
    Prefix prefix(db);
    SetupFolders f = setupFoldersFor(prefix.bin(), prefix.user());
    ASSERT_TRUE(copyDemoSetups(f, prefix.bin()));
    // The program's folder gains a report after the copy; the user removes one.
    prefix.write("新报表", "Provider=SQLite;Data Source=" + db.path);
    QFile::remove(f.own + "server.ini");

    QStringList shown;
    MessageSink previous = setErrorSink([&](const QString& m) { shown << m; });
    Tfrmquorvel w(nullptr, f);
    w.show();
    EXPECT_EQ(links(*w.nvbar->Group()), QStringList({"销售"}));
    // Listed under its own caption: the program's setups the user has no copy of.
    ASSERT_TRUE(w.nvbarShared->Shown());
    EXPECT_EQ(links(*w.nvbarShared), QStringList({"server", "新报表"}));
    EXPECT_EQ(w.nvbar->Group()->Link(0)->linkWidget()->toolTip(),
              QDir::toNativeSeparators(QDir::cleanPath(f.own)));
    EXPECT_EQ(w.nvbarShared->Link(0)->linkWidget()->toolTip(),
              QDir::toNativeSeparators(QDir::cleanPath(prefix.shared())));

    // The user's copy opens the user's database; the program's setup opens where it points.
    QTest::mouseClick(w.nvbar->Group()->Link(0)->linkWidget(), Qt::LeftButton);
    EXPECT_EQ(w.conn()->ConnectionString(),
              "Provider=SQLite;Data Source=" + (prefix.user() + "/demo.db").toStdString());
    EXPECT_EQ(w.dxDBGrid->DataRowCount(), 5);
    QTest::mouseClick(w.nvbarShared->Link(1)->linkWidget(), Qt::LeftButton);
    EXPECT_EQ(w.conn()->ConnectionString(), "Provider=SQLite;Data Source=" + db.path);
    EXPECT_EQ(w.dxDBGrid->DataRowCount(), 5);
    EXPECT_TRUE(shown.isEmpty()) << shown.join("\n").toStdString();
    setErrorSink(previous);
    // Saving goes to the user's folder.
    EXPECT_EQ(w.setupFolder(), f.own);

    // One folder: the second group stays hidden.
    Tfrmquorvel single(nullptr, f.own);
    EXPECT_FALSE(single.nvbarShared->Shown());
    EXPECT_EQ(single.nvbar->ItemCount(), 1);
}
