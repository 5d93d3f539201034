// The schedule dialog offscreen: a schedule set up in the form is saved to the user's file
// and its crontab line installed (a private crontab), runs through the real program and
// shows its log, refuses what cannot run naming it, and is removed with its line.

#include "schedule/ui/scheduledialog.h"

#include "common/ui/commandguard.h"
#include "qtapplication.h"
#include "schedulefixture.h"
#include "testfiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimeEdit>

using namespace rg;

namespace {

struct ScheduleWindow : ScheduleRun {
    std::string crontab;
    QStringList errors;
    MessageSink previous;
    void SetUp() override {
        rgtest::qtApp();
        // No secret store answers in the tests: a password goes into the file.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/reportgen-tests");
        ScheduleRun::SetUp();
        crontab = privateCrontab(db.folder);
        previous = setErrorSink([this](const QString& m) { errors << m; });
    }
    void TearDown() override { setErrorSink(previous); }
    TimerPlace place() const {
        TimerPlace p;
        p.crontab = QString::fromStdString(crontab);
        p.program = RG_BINARY_DIR "/reportgen";
        return p;
    }
    std::string table() { return rg::test::readBytes(db.folder + "/table"); }
    static QStringList listed(const TScheduleDialog& d) {
        QStringList items;
        for (int i = 0; i < d.lstSchedules->count(); ++i)
            items << d.lstSchedules->item(i)->text();
        return items;
    }
    static void setParameter(TScheduleDialog& d, const QString& name, const QString& value) {
        for (int r = 0; r < d.tblParams->rowCount(); ++r)
            if (d.tblParams->item(r, 0)->text() == name)
                d.tblParams->item(r, 1)->setText(value);
    }
};

} // namespace

TEST_F(ScheduleWindow, ASavedScheduleIsInstalledRunsAndShowsItsLog) {
    // Another report's schedule stays in the file and out of this dialog's list.
    Schedule other = schedule;
    other.name = "别的报表";
    other.setupFile = db.folder + "/其他.ini";
    save({other});
    {
        TScheduleDialog d(ini, folders, place());
        d.show();
        EXPECT_EQ(d.objectName(), "ScheduleDialog");
        EXPECT_TRUE(listed(d).isEmpty());
        // A new schedule starts as the report's name, daily at eight.
        EXPECT_EQ(d.edName->text(), "销售明细");
        ASSERT_EQ(d.tblParams->rowCount(), 3);
        EXPECT_EQ(d.tblParams->item(2, 0)->text(), "地区");
        d.edName->setText("周报");
        d.cbKind->setCurrentIndex(1);
        EXPECT_TRUE(d.chkDays[0]->isEnabled());
        EXPECT_FALSE(d.edCron->isEnabled());
        d.chkDays[0]->setChecked(true);
        d.chkDays[4]->setChecked(true);
        d.edTime->setTime(QTime(7, 30));
        EXPECT_TRUE(d.lblNextRun->text().startsWith("下次运行："))
            << d.lblNextRun->text().toStdString();
        setParameter(d, "地区", "华东");
        for (QCheckBox* c : d.chkFormats)
            c->setChecked(c->objectName() == "chkFormat_csv");
        d.edFolder->setText(QString::fromStdString(out));
        d.edPattern->setText("{report}_{date}.csv");
        d.chkSkipEmpty->setChecked(true);
        d.spRetries->setValue(2);
        d.grpMail->setChecked(true);
        d.edHost->setText("mail.example.com");
        d.spPort->setValue(465);
        d.cbSecurity->setCurrentIndex(2);
        d.edUser->setText("reporter");
        d.edPassword->setText("s3cret");
        d.edTo->setText("a@example.com；b@example.com, ");
        d.edSubject->setText("{report}（{date}）");
        d.edBody->setPlainText("见附件。\n");
        QTest::mouseClick(d.btnSave, Qt::LeftButton);
        ASSERT_TRUE(errors.isEmpty()) << errors.join("|").toStdString();
        rgtest::savePicture(d, "schedule_dialog");
        EXPECT_EQ(listed(d), QStringList{"周报（已安装）"});
        EXPECT_TRUE(d.lblStatus->text().contains("密码保存在定时输出文件中"))
            << d.lblStatus->text().toStdString();
        EXPECT_TRUE(d.lblStatus->text().contains("reportgen --run-schedule 周报"));
        EXPECT_TRUE(d.edPassword->text().isEmpty());
    }
    const std::vector<Schedule> stored = readSchedules(folders);
    ASSERT_EQ(stored.size(), 2u);
    const Schedule& s = stored[1];
    EXPECT_EQ(s.name, "周报");
    EXPECT_EQ(s.kind, ScheduleKind::Weekly);
    EXPECT_EQ(s.isoWeekdays, (std::vector<int>{1, 5}));
    EXPECT_EQ(s.params, (ParameterTexts{{"地区", "华东"}}));
    EXPECT_EQ(s.formats, std::vector<std::string>{"csv"});
    EXPECT_TRUE(s.skipEmpty);
    EXPECT_EQ(s.retries, 2);
    ASSERT_TRUE(s.mail);
    EXPECT_EQ(s.mail->security, MailSecurity::Tls);
    EXPECT_EQ(s.mail->to, (std::vector<std::string>{"a@example.com", "b@example.com"}));
    EXPECT_EQ(s.mail->password, "s3cret");
    EXPECT_FALSE(s.mail->passwordInStore);
    EXPECT_EQ(table(), "30 7 * * 1,5 '" RG_BINARY_DIR "/reportgen' --run-schedule '周报'"
                       " # reportgen-schedule:" +
                           s.id + "\n");

    // Without the mail, the schedule runs through the real program as its line runs it.
    Schedule folderOnly = s;
    folderOnly.mail.reset();
    save({other, folderOnly});
    ASSERT_EQ(run("周报", "2026-03-10").status, 0);
    TScheduleDialog d(ini, folders, place());
    d.show();
    EXPECT_EQ(listed(d), QStringList{"周报（已安装）"});
    EXPECT_FALSE(d.grpMail->isChecked());
    ASSERT_EQ(d.tblLog->rowCount(), 1);
    EXPECT_EQ(d.tblLog->item(0, 2)->text(), "成功");
    EXPECT_EQ(d.tblLog->item(0, 3)->text().toStdString(), "2 行，写入 " + out);
    EXPECT_EQ(filesIn(out), std::vector<std::string>{"销售明细_2026年2月.csv"});
    // 立即运行 runs it once more, as of today, and shows its line of the log, the latest
    // first, once it ends.
    QTest::mouseClick(d.btnRunNow, Qt::LeftButton);
    EXPECT_FALSE(d.btnRunNow->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(d.btnRunNow->isEnabled(), 120000);
    ASSERT_EQ(d.tblLog->rowCount(), 2);
    EXPECT_EQ(d.lblStatus->text(),
              "运行结束：" + d.tblLog->item(0, 2)->text() + "，" + d.tblLog->item(0, 3)->text());
    EXPECT_EQ(d.tblLog->item(1, 3)->text().toStdString(), "2 行，写入 " + out);
}

TEST_F(ScheduleWindow, WhatCannotRunIsRefusedAndARemovedScheduleTakesItsLine) {
    TScheduleDialog d(ini, folders, place());
    d.show();
    d.edName->setText("表达式");
    d.cbKind->setCurrentIndex(3);
    d.edCron->setText("0 25 * * *");
    EXPECT_EQ(d.lblNextRun->text(), "定时表达式的小时“25”无法识别（0-23）");
    d.edFolder->setText(QString::fromStdString(out));
    QTest::mouseClick(d.btnSave, Qt::LeftButton);
    EXPECT_EQ(errors, QStringList{"定时表达式的小时“25”无法识别（0-23）"});
    d.edCron->setText("0 8 L * *");
    errors.clear();
    QTest::mouseClick(d.btnSave, Qt::LeftButton);
    EXPECT_EQ(errors, QStringList{"定时表达式的日“L”无法识别（1-31）"});
    d.edCron->setText("0 8 1 * *");
    setParameter(d, "开始", "@下月初");
    errors.clear();
    QTest::mouseClick(d.btnSave, Qt::LeftButton);
    EXPECT_EQ(errors, QStringList{"参数“开始”的预设“下月初”不存在"});
    setParameter(d, "开始", "@上月");
    for (QCheckBox* c : d.chkFormats)
        c->setChecked(false);
    errors.clear();
    QTest::mouseClick(d.btnSave, Qt::LeftButton);
    EXPECT_EQ(errors, QStringList{"定时输出“表达式”没有选输出格式"});
    EXPECT_FALSE(std::filesystem::exists(folders.file().toStdString()));
    d.chkFormats.front()->setChecked(true);
    errors.clear();
    QTest::mouseClick(d.btnSave, Qt::LeftButton);
    ASSERT_TRUE(errors.isEmpty()) << errors.join("|").toStdString();
    // A second schedule of the same name is refused; one of another name is added.
    QTest::mouseClick(d.btnNew, Qt::LeftButton);
    d.edName->setText("表达式");
    d.edFolder->setText(QString::fromStdString(out));
    QTest::mouseClick(d.btnSave, Qt::LeftButton);
    EXPECT_EQ(errors, QStringList{"已经有名为“表达式”的定时输出"});
    d.edName->setText("每天");
    errors.clear();
    QTest::mouseClick(d.btnSave, Qt::LeftButton);
    ASSERT_TRUE(errors.isEmpty()) << errors.join("|").toStdString();
    EXPECT_EQ(listed(d), (QStringList{"表达式（已安装）", "每天（已安装）"}));
    EXPECT_NE(table().find("0 8 1 * * "), std::string::npos) << table();
    d.lstSchedules->setCurrentRow(0);
    EXPECT_EQ(d.edCron->text(), "0 8 1 * *");
    QTest::mouseClick(d.btnRemove, Qt::LeftButton);
    ASSERT_TRUE(errors.isEmpty()) << errors.join("|").toStdString();
    EXPECT_EQ(listed(d), QStringList{"每天（已安装）"});
    EXPECT_EQ(table().find("0 8 1 * * "), std::string::npos) << table();
    ASSERT_EQ(readSchedules(folders).size(), 1u);
    EXPECT_EQ(readSchedules(folders)[0].name, "每天");
}
