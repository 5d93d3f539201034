// What an open leaves out reaches the window's user: a MariaDB procedure returning three
// results (RG_TEST_MARIADB) shows the first, and says once, after the open, how many more
// there were.

#include "app/ui/navbar.h"
#include "app/ui/quorvel.h"
#include "common/ui/commandguard.h"
#include "datasource/odbcprovider.h"
#include "qtapp.h"
#include "setup/setup.h"
#include "testfiles.h"
#include "testsupport.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace rg;

TEST(OpenNotice, ResultsAProcedureLeftOutAreToldAfterTheOpen) {
    qtApp();
    const std::string maria = rgtest::mariadbConnectionString();
    ASSERT_FALSE(maria.empty())
        << "RG_TEST_MARIADB is not set: run the tests through scripts/test.sh";
    test::TempFolder folder;
    {
        TSetup s((folder / "三个结果.ini").string());
        s.WriteConnString(maria);
        s.WriteCommandType("cmdStoredProc");
        s.WriteCommandText("edge_fetch_three");
        s.WriteKeyField("id");
    }
    Tfrmquorvel w(nullptr, QString::fromStdString(folder.path().string()) + "/");
    w.show();
    QStringList notices, errors;
    MessageSink previousNotice = setNoticeSink([&](const QString& m) { notices << m; });
    MessageSink previousError = setErrorSink([&](const QString& m) { errors << m; });
    ASSERT_EQ(w.nvbar->ItemCount(), 1);
    QTest::mouseClick(w.nvbar->Item(0)->linkWidget(), Qt::LeftButton);
    setErrorSink(previousError);
    setNoticeSink(previousNotice);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    EXPECT_EQ(notices, QStringList{QString::fromStdString(skippedResultsNotice(2))});
    EXPECT_EQ(w.dataset()->RecordCount(), 3);
}
