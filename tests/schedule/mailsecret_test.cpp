// A schedule's mail password in a real Secret Service (gnome-keyring on a private D-Bus
// session): the run of the real program takes it from there to log in, and fails naming the
// user when the store has none.

#include "schedulefixture.h"
#include "secretsession.h"
#include "smtpsink.h"
#include "testfiles.h"

#include "schedule/schedulerun.h"
#include "setup/setuppasswords.h"

using namespace rg;

namespace {

const auto* const session = ::testing::AddGlobalTestEnvironment(new rgtest::SecretSession);

} // namespace

TEST_F(ScheduleRun, TheMailPasswordComesFromTheSecretStore) {
    const std::string mailbox = db.folder + "/mailbox";
    std::filesystem::create_directory(mailbox);
    SmtpSink sink(mailbox, "reporter", "from the store");
    ASSERT_GT(sink.port(), 0);
    MailSettings mail;
    mail.host = "127.0.0.1";
    mail.port = sink.port();
    mail.security = MailSecurity::None;
    mail.user = "reporter";
    mail.passwordInStore = true;
    mail.from = "reports@example.com";
    mail.to = {"boss@example.com"};
    mail.subject = "{report}";
    schedule.folder.clear();
    schedule.mail = mail;
    save({schedule});
    // Nothing stored yet: the run says whose password is missing.
    RunResult r = run("月报", "2026-03-10");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("密钥库中没有 reporter 的邮件密码"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(mailbox + "/001.eml"));
    ASSERT_EQ(writeSecret(mailSecretKey(mail), "from the store"), "");
    r = run("月报", "2026-03-10");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(mailbox + "/001.eml"));
    // The file never held it.
    EXPECT_EQ(rg::test::readBytes(folders.file().toStdString()).find("from the store"),
              std::string::npos);
}
