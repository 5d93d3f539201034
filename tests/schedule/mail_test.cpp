// Schedules that mail their files, to a real SMTP server on the loopback (Python's
// aiosmtpd) that asks for a login: recipients, subject, body and attachments as a mail
// program reads them, the workbook opened by openpyxl; a failure mailed without files.

#include "schedulefixture.h"
#include "smtpsink.h"

#include "schedule/schedulelog.h"
#include "testfiles.h"

using namespace rg;

namespace {

struct MailRun : ScheduleRun {
    std::string mailbox = db.folder + "/mailbox";
    std::unique_ptr<SmtpSink> sink;
    void SetUp() override {
        ScheduleRun::SetUp();
        std::filesystem::create_directory(mailbox);
        sink = std::make_unique<SmtpSink>(mailbox, "reporter", "pw'\"%$1");
        ASSERT_GT(sink->port(), 0);
        schedule.folder.clear();
        schedule.mail = MailSettings{"127.0.0.1",
                                     sink->port(),
                                     MailSecurity::None,
                                     "reporter",
                                     false,
                                     "pw'\"%$1",
                                     "reports@example.com",
                                     {"boss@example.com", "王经理 <wang@example.com>"},
                                     "{report}（{date}）",
                                     "各位好：\n附件是 {date} 的销售明细。",
                                     true};
    }
    // What a mail program shows of the n-th message, its recipients first.
    std::string message(int n) {
        char base[8];
        std::snprintf(base, sizeof base, "/%03d", n);
        const std::string eml = mailbox + base + ".eml";
        if (!std::filesystem::exists(eml))
            return "(no message " + std::to_string(n) + ")";
        return rg::test::readBytes(mailbox + base + ".rcpt") +
               shell("PYTHONIOENCODING=utf-8 /usr/bin/python3 " RG_SOURCE_DIR
                     "/tests/schedule/mail_dump.py '" +
                         eml + "'",
                     db.folder)
                   .out;
    }
};

} // namespace

TEST_F(MailRun, TheFilesReachEveryRecipientAndOpenInTheirReaders) {
    save({schedule});
    const RunResult r = run("月报", "2026-03-10");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(message(1), "boss@example.com\n"
                          "wang@example.com\n"
                          "To: boss@example.com, 王经理 <wang@example.com>\n"
                          "Subject: 销售明细（2026年2月）\n"
                          "Body: 各位好：\n附件是 2026年2月 的销售明细。\n"
                          "Attachment: 销售明细_2026年2月.xlsx\n"
                          "   2026年2月，地区：华东||\n"
                          "   id|region|amount\n"
                          "   2|华东|2\n"
                          "   3|华东|4\n"
                          "   总计||=SUBTOTAL(9,C3:C4)\n"
                          "Attachment: 销售明细_2026年2月.csv\n"
                          "   kind,level,id,region,amount\n"
                          "   data,0,2,华东,2\n"
                          "   data,0,3,华东,4\n"
                          "   total,,,,6.00\n");
    EXPECT_EQ(message(2), "(no message 2)");
}

TEST_F(MailRun, AWrongLoginFailsTheRunAndAFailureIsMailedWithoutFiles) {
    // A password the server refuses: the run fails with the server's reason, and so does its
    // notice, which the log says too.
    Schedule wrong = schedule;
    wrong.name = "错误密码";
    wrong.mail->password = "wrong";
    schedule.folder = out;
    save({wrong, schedule});
    RunResult r = run("错误密码", "2026-03-10");
    EXPECT_EQ(r.status, 1);
    const std::string refused =
        "邮件没有发出（127.0.0.1:" + std::to_string(sink->port()) + "）：Login denied";
    EXPECT_EQ(r.err, refused + "\n失败通知没有发出：" + refused + "\n");
    const std::vector<LogEntry> log = readLog(folders, "错误密码");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].message, refused + " 失败通知没有发出：" + refused);
    EXPECT_EQ(message(1), "(no message 1)");
    // A report that cannot open: its recipients hear why, and the earlier files stay.
    ASSERT_EQ(run("月报", "2026-03-10").status, 0);
    dropOrders();
    r = run("月报", "2026-03-10");
    EXPECT_EQ(r.status, 1);
    const std::string notice = message(2);
    EXPECT_EQ(notice, "boss@example.com\n"
                      "wang@example.com\n"
                      "To: boss@example.com, 王经理 <wang@example.com>\n"
                      "Subject: 定时输出“月报”失败（2026年2月）\n"
                      "Body: 报表“销售明细”的定时输出“月报”没有完成：\n\n" +
                          r.err + "\n之前输出的文件没有改动。\n");
    EXPECT_EQ(filesIn(out),
              (std::vector<std::string>{"销售明细_2026年2月.csv", "销售明细_2026年2月.xlsx"}));
}

// STARTTLS asked of a server that does not offer it ends the run: the mail is never sent in
// the clear instead, nor is the failure notice.
TEST_F(MailRun, StartTlsIsNeverDroppedForAPlainConnection) {
    schedule.mail->security = MailSecurity::StartTls;
    save({schedule});
    const RunResult r = run("月报", "2026-03-10");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("邮件没有发出（127.0.0.1:" + std::to_string(sink->port()) + "）：", 0),
              0u)
        << r.err;
    EXPECT_NE(r.err.find("失败通知没有发出"), std::string::npos) << r.err;
    EXPECT_EQ(message(1), "(no message 1)");
}
