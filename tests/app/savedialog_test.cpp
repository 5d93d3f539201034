#include "answeringchooser.h"
#include "app/ui/filechooser.h"
#include "app/ui/quorvel.h"
#include "qtapp.h"

#include <QFileDialog>
#include <QTimer>

#include <gtest/gtest.h>

using namespace rg;

TEST(SaveDialog, OneTitleAndTheLastNameOfferedAgain) {
    qtApp();
    QTemporaryDir setups;
    Tfrmquorvel w(nullptr, setups.path() + "/");
    std::vector<AnsweringChooser::Seen> seen;
    auto chooser = std::make_unique<AnsweringChooser>(&seen);
    const QString report = setups.path() + "/report.xls", ini = setups.path() + "/s.ini";
    chooser->answers = {report, "", ini};
    w.dlgsjsc->setChooser(std::move(chooser));

    w.dlgsjsc->Filter = "电子表格|*.xls";
    ASSERT_TRUE(w.dlgsjsc->Execute());
    EXPECT_EQ(w.dlgsjsc->FileName, report);
    w.dlgsjsc->Filter = "设置|*.ini";
    EXPECT_FALSE(w.dlgsjsc->Execute()); // cancelled: the name stays
    EXPECT_EQ(w.dlgsjsc->FileName, report);
    ASSERT_TRUE(w.dlgsjsc->Execute());
    EXPECT_EQ(w.dlgsjsc->FileName, ini);

    ASSERT_EQ(seen.size(), 3u);
    for (const auto& s : seen)
        EXPECT_EQ(s.title, "保存");
    EXPECT_EQ(seen[0].filter, "电子表格|*.xls");
    EXPECT_EQ(seen[0].initialName, "");
    EXPECT_EQ(seen[1].filter, "设置|*.ini");
    EXPECT_EQ(seen[1].initialName, report);
    EXPECT_EQ(seen[2].initialName, report);

    EXPECT_EQ(qtNameFilters("电子表格|*.xls"), "电子表格 (*.xls)");
    EXPECT_EQ(qtNameFilters("设置|*.ini|全部|*.a;*.b"), "设置 (*.ini);;全部 (*.a *.b)");
}

// The desktop chooser: an existing file is taken as it is, with no question and no
// extension added.
TEST(SaveDialog, DesktopChooserTakesAnExistingFileWithoutAsking) {
    qtApp();
    QTemporaryDir dir;
    const QString existing = dir.path() + "/old";
    touch(existing);
    auto chooser = makeDesktopFileChooser();
    QString title, offered, asked;
    bool overwriteQuestion = true;
    QString suffix = "?";
    QTimer::singleShot(0, [&] {
        auto dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        title = dialog->windowTitle();
        offered = dialog->selectedFiles().value(0);
        overwriteQuestion = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        suffix = dialog->defaultSuffix();
        dialog->selectFile(existing);
        // A question would be a second modal window: note it and answer it. The check goes
        // with the dialog, so that no later event loop runs it on this test's dead locals.
        QTimer::singleShot(200, dialog, [&asked, dialog] {
            if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != dialog) {
                asked = modal->metaObject()->className();
                modal->close();
            }
            if (dialog->isVisible())
                dialog->reject();
        });
        static_cast<QDialog*>(dialog)->accept(); // the file dialog's own accept, as its button does
    });
    QString name = dir.path() + "/first.xls";
    ASSERT_TRUE(chooser->execute(nullptr, "保存", "电子表格|*.xls", name));
    EXPECT_EQ(title, "保存");
    EXPECT_EQ(offered, dir.path() + "/first.xls");
    EXPECT_FALSE(overwriteQuestion);
    EXPECT_TRUE(suffix.isEmpty());
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(name, existing);
}

// The desktop chooser tells which of the offered file types the user picked.
TEST(SaveDialog, DesktopChooserReportsTheChosenFilter) {
    qtApp();
    QTemporaryDir dir;
    auto chooser = makeDesktopFileChooser();
    QTimer::singleShot(0, [&] {
        auto dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->selectNameFilter(QStringLiteral("CSV 文件 (*.csv)"));
        dialog->selectFile(dir.path() + "/r");
        static_cast<QDialog*>(dialog)->accept();
    });
    QString name;
    ASSERT_TRUE(chooser->execute(nullptr, "保存",
                                 "Excel 工作簿|*.xlsx|电子表格|*.xls|CSV 文件|*.csv", name));
    EXPECT_EQ(chooser->chosenFilter(), 2);
}
