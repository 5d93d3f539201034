#include "schedule/schedulerun.h"

#include "app/runner.h"
#include "common/datepresets.h"
#include "common/error.h"
#include "files/targetfile.h"
#include "print/reportformats.h"
#include "schedule/mail.h"
#include "setup/reportdefinition.h"
#include "setup/setuppasswords.h"

#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <filesystem>
#include <thread>

namespace rg {
namespace {

namespace fs = std::filesystem;

// What an attempt ended with; a fault is thrown.
struct Attempt {
    RunOutcome outcome = RunOutcome::Done;
    std::string message;
};

// A fault that another attempt will not mend.
class FinalFault : public Error {
public:
    using Error::Error;
};

std::string mailPassword(const MailSettings& mail) {
    if (mail.user.empty() || !mail.passwordInStore)
        return mail.password;
    const SecretAnswer answer = readSecret(mailSecretKey(mail));
    if (!answer.answered)
        throw Error("密钥库没有给出邮件密码（" + answer.why + "）");
    if (!answer.secret)
        throw Error("密钥库中没有 " + mail.user + " 的邮件密码");
    return *answer.secret;
}

// Moves the staged files into the folder, each over the file of its name.
void deliverToFolder(const fs::path& folder, const std::vector<fs::path>& staged) {
    for (const fs::path& file : staged) {
        WriteTarget target;
        std::error_code ec = resolveWriteTarget(folder / file.filename(), target);
        if (!ec)
            fs::rename(file, target.path, ec);
        if (ec)
            throw Error("无法写入“" + (folder / file.filename()).string() + "”：" + reasonText(ec));
    }
}

Attempt attempt(const Schedule& s, const ScheduleRunOptions& options,
                const PlaceholderValues& values, int64_t asOfDay) {
    // The files are written beside their folder, so that moving them in is a rename.
    if (!s.folder.empty() && !QDir().mkpath(QString::fromStdString(s.folder)))
        throw Error("无法建立文件夹“" + s.folder + "”");
    QTemporaryDir staging(s.folder.empty()
                              ? QDir::tempPath() + "/reportgen-XXXXXX"
                              : QString::fromStdString(s.folder) + "/.reportgen-XXXXXX");
    if (!staging.isValid())
        throw Error("无法建立临时文件夹：" + staging.errorString().toStdString());
    std::vector<RunOutput> outputs;
    std::vector<fs::path> staged;
    for (const std::string& format : s.formats) {
        const std::string ext = ReportFormats().find(format)->extensions.front();
        staged.push_back(fs::path(staging.path().toStdString()) /
                         fileNameOf(s.namePattern, values, ext));
        outputs.push_back({format, staged.back().string()});
    }
    RunOptions run;
    run.setupFile = s.setupFile;
    run.params = s.params;
    run.asOfDay = asOfDay;
    run.passwordFile = options.passwordFile;
    const RunResult r = runReportOutputs(run, outputs, s.skipEmpty);
    if (r.status == 2)
        throw FinalFault(r.message);
    if (r.status != 0)
        throw Error(r.message);
    if (s.skipEmpty && r.rows == 0)
        return {RunOutcome::Skipped, JoinNotices("报表没有行，没有输出", r.message)};
    std::string said = std::to_string(r.rows) + " 行";
    if (!s.folder.empty()) {
        deliverToFolder(s.folder, staged);
        said += "，写入 " + s.folder;
    }
    if (s.mail) {
        MailMessage m{expandPlaceholders(s.mail->subject, values),
                      expandPlaceholders(s.mail->body, values),
                      {}};
        if (s.mail->attach)
            for (const fs::path& file : staged)
                m.attachments.push_back(s.folder.empty()
                                            ? file.string()
                                            : (fs::path(s.folder) / file.filename()).string());
        sendMail(*s.mail, mailPassword(*s.mail), m);
        said += "，邮件发给 " + std::to_string(s.mail->to.size()) + " 人";
    }
    return {RunOutcome::Done, JoinNotices(said, r.message)};
}

// A failure is mailed, without files, to the recipients of the report; what the notice
// itself meets is added to the message.
void mailFailure(const Schedule& s, const PlaceholderValues& values, std::string& message) {
    if (!s.mail)
        return;
    try {
        const std::string when = values.date.empty() ? "" : "（" + values.date + "）";
        MailMessage m{"定时输出“" + s.name + "”失败" + when,
                      "报表“" + ReportName(s.setupFile) + "”的定时输出“" + s.name +
                          "”没有完成：\n\n" + message + "\n\n之前输出的文件没有改动。\n",
                      {}};
        sendMail(*s.mail, mailPassword(*s.mail), m);
    } catch (const std::exception& e) {
        message = JoinNotices(message, std::string("失败通知没有发出：") + e.what());
    }
}

} // namespace

std::string mailSecretKey(const MailSettings& mail) {
    return "smtp:" + mail.user + "@" + mail.host + ":" + std::to_string(mail.port);
}

std::string scheduleDateText(const Schedule& s, int64_t asOfDay) {
    for (const SqlParameter& p : SetupParameters(s.setupFile)) {
        if (p.rangeEnd.empty())
            continue;
        std::string text = p.defaultValue;
        for (const auto& [name, value] : s.params)
            if (name == p.name)
                text = value;
        if (!text.starts_with('@'))
            continue;
        if (const std::optional<DatePreset> preset = DatePreset::parse(text.substr(1));
            preset && preset->range())
            return periodCaption(preset->periodAsOf(asOfDay));
    }
    return isoDayText(asOfDay);
}

int runSchedule(const std::string& name, const ScheduleRunOptions& options, std::string& message) {
    LogEntry entry{name, QDateTime::currentDateTime(), {}, RunOutcome::Failed, {}};
    int status = 1;
    std::optional<Schedule> s;
    PlaceholderValues values;
    try {
        s = findSchedule(options.folders, name);
        checkSchedule(*s);
        const int64_t asOf = options.asOfDay.value_or(localToday());
        values = {ReportName(s->setupFile), scheduleDateText(*s, asOf),
                  entry.start.toString("HHmm").toStdString()};
        int attempts = 0;
        for (int tries = 0;; ++tries) {
            attempts = tries + 1;
            try {
                const Attempt done = attempt(*s, options, values, asOf);
                entry.outcome = done.outcome;
                entry.message = done.message;
                status = 0;
                break;
            } catch (const FinalFault& e) {
                entry.message = e.what();
                status = 2;
                break;
            } catch (const std::exception& e) {
                entry.message = e.what();
                if (tries >= s->retries)
                    break;
                std::this_thread::sleep_for(std::chrono::seconds(s->retrySeconds));
            }
        }
        if (status != 0 && attempts > 1)
            entry.message += "（共试 " + std::to_string(attempts) + " 次）";
    } catch (const std::exception& e) {
        entry.message = e.what();
    }
    if (status != 0 && s)
        mailFailure(*s, values, entry.message);
    entry.end = QDateTime::currentDateTime();
    message = entry.message;
    try {
        appendLog(options.folders, entry);
    } catch (const std::exception& e) {
        message = JoinNotices(message, e.what());
        return status == 0 ? 1 : status;
    }
    return status;
}

} // namespace rg
