#include "schedule/schedule.h"

#include "common/error.h"
#include "print/reportformats.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStandardPaths>

#include <array>

namespace rg {
namespace {

struct KindName {
    ScheduleKind kind;
    const char* key;
};
constexpr std::array<KindName, 4> kKinds{{{ScheduleKind::Daily, "daily"},
                                          {ScheduleKind::Weekly, "weekly"},
                                          {ScheduleKind::Monthly, "monthly"},
                                          {ScheduleKind::Cron, "cron"}}};
struct SecurityName {
    MailSecurity security;
    const char* key;
};
constexpr std::array<SecurityName, 3> kSecurities{{{MailSecurity::None, "none"},
                                                   {MailSecurity::StartTls, "starttls"},
                                                   {MailSecurity::Tls, "tls"}}};

QString q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string text(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toString().toStdString();
}

QJsonArray stringArray(const std::vector<std::string>& list) {
    QJsonArray a;
    for (const std::string& s : list)
        a.append(q(s));
    return a;
}
std::vector<std::string> strings(const QJsonValue& v) {
    std::vector<std::string> out;
    for (const QJsonValue& e : v.toArray())
        out.push_back(e.toString().toStdString());
    return out;
}

QJsonObject mailObject(const MailSettings& m) {
    QJsonObject o{{"host", q(m.host)},       {"port", m.port},
                  {"user", q(m.user)},       {"passwordInStore", m.passwordInStore},
                  {"from", q(m.from)},       {"to", stringArray(m.to)},
                  {"subject", q(m.subject)}, {"body", q(m.body)},
                  {"attach", m.attach}};
    for (const SecurityName& s : kSecurities)
        if (s.security == m.security)
            o["security"] = s.key;
    if (!m.passwordInStore && !m.password.empty())
        o["password"] = q(m.password);
    return o;
}

MailSettings mailOf(const QJsonObject& o) {
    MailSettings m;
    m.host = text(o, "host");
    m.port = o.value("port").toInt(587);
    for (const SecurityName& s : kSecurities)
        if (o.value("security").toString() == QLatin1String(s.key))
            m.security = s.security;
    m.user = text(o, "user");
    m.passwordInStore = o.value("passwordInStore").toBool();
    m.password = text(o, "password");
    m.from = text(o, "from");
    m.to = strings(o.value("to"));
    m.subject = text(o, "subject");
    m.body = text(o, "body");
    m.attach = o.value("attach").toBool(true);
    return m;
}

QJsonObject scheduleObject(const Schedule& s) {
    // Pairs in a list: an object would not keep the parameters' order.
    QJsonArray params;
    for (const auto& [name, value] : s.params)
        params.append(QJsonArray{q(name), q(value)});
    QJsonArray weekdays;
    for (int d : s.isoWeekdays)
        weekdays.append(d);
    QJsonObject o{{"name", q(s.name)},
                  {"id", q(s.id)},
                  {"report", q(s.setupFile)},
                  {"hour", s.hour},
                  {"minute", s.minute},
                  {"weekdays", weekdays},
                  {"monthDay", s.monthDay},
                  {"cron", q(s.cron)},
                  {"params", params},
                  {"formats", stringArray(s.formats)},
                  {"folder", q(s.folder)},
                  {"namePattern", q(s.namePattern)},
                  {"skipEmpty", s.skipEmpty},
                  {"retries", s.retries},
                  {"retrySeconds", s.retrySeconds}};
    for (const KindName& k : kKinds)
        if (k.kind == s.kind)
            o["kind"] = k.key;
    if (s.mail)
        o["mail"] = mailObject(*s.mail);
    return o;
}

Schedule scheduleOf(const QJsonObject& o) {
    Schedule s;
    s.name = text(o, "name");
    s.id = text(o, "id");
    s.setupFile = text(o, "report");
    for (const KindName& k : kKinds)
        if (o.value("kind").toString() == QLatin1String(k.key))
            s.kind = k.kind;
    s.hour = o.value("hour").toInt(8);
    s.minute = o.value("minute").toInt();
    s.isoWeekdays.clear();
    for (const QJsonValue& d : o.value("weekdays").toArray())
        s.isoWeekdays.push_back(d.toInt());
    s.monthDay = o.value("monthDay").toInt(1);
    s.cron = text(o, "cron");
    for (const QJsonValue& pair : o.value("params").toArray())
        s.params.emplace_back(pair[0].toString().toStdString(), pair[1].toString().toStdString());
    s.formats = strings(o.value("formats"));
    s.folder = text(o, "folder");
    s.namePattern = text(o, "namePattern");
    if (o.contains("mail"))
        s.mail = mailOf(o.value("mail").toObject());
    s.skipEmpty = o.value("skipEmpty").toBool();
    s.retries = o.value("retries").toInt();
    s.retrySeconds = o.value("retrySeconds").toInt(60);
    return s;
}

} // namespace

CalendarRule Schedule::rule() const {
    switch (kind) {
    case ScheduleKind::Daily:
        return dailyRule(hour, minute);
    case ScheduleKind::Weekly:
        return weeklyRule(hour, minute, isoWeekdays);
    case ScheduleKind::Monthly:
        return monthlyRule(hour, minute, monthDay);
    case ScheduleKind::Cron:
        break;
    }
    return parseCronExpression(cron);
}

void checkSchedule(const Schedule& s) {
    if (s.name.empty())
        throw Error("定时输出需要一个名称");
    for (unsigned char c : s.name)
        if (c < 0x20 || c == 0x7f)
            throw Error("定时输出的名称不能含控制字符");
    if (s.setupFile.empty())
        throw Error("定时输出“" + s.name + "”没有选报表");
    s.rule();
    if (s.formats.empty())
        throw Error("定时输出“" + s.name + "”没有选输出格式");
    for (const std::string& f : s.formats)
        if (!ReportFormats().find(f))
            throw Error("输出格式“" + f + "”不存在（" + ReportFormats().nameList() + "）");
    if (s.folder.empty() && !s.mail)
        throw Error("定时输出“" + s.name + "”既没有输出文件夹也没有邮件");
    if (s.mail && s.mail->host.empty())
        throw Error("定时输出“" + s.name + "”的邮件没有 SMTP 服务器");
    if (s.mail && s.mail->to.empty())
        throw Error("定时输出“" + s.name + "”的邮件没有收件人");
    if (s.retries < 0 || s.retrySeconds < 0)
        throw Error("重试次数和间隔不能是负数");
}

std::string expandPlaceholders(const std::string& pattern, const PlaceholderValues& values) {
    const std::array<std::pair<std::string_view, const std::string*>, 3> names{
        {{"{report}", &values.report}, {"{date}", &values.date}, {"{time}", &values.time}}};
    std::string out;
    for (size_t i = 0; i < pattern.size();) {
        bool replaced = false;
        for (const auto& [name, value] : names)
            if (pattern.compare(i, name.size(), name) == 0) {
                out += *value;
                i += name.size();
                replaced = true;
                break;
            }
        if (!replaced)
            out += pattern[i++];
    }
    return out;
}

std::string fileNameOf(const std::string& pattern, const PlaceholderValues& values,
                       const std::string& extension) {
    std::string name = expandPlaceholders(pattern, values);
    for (char& c : name)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20)
            c = '_';
    // A pattern written with one format's extension ("销售明细_{date}.xlsx") takes the
    // extension of each format it is written in.
    for (const ExportFormat& f : ReportFormats().formats())
        for (const std::string& e : f.extensions)
            if (name.size() > e.size() + 1 && name.ends_with("." + e)) {
                name.resize(name.size() - e.size() - 1);
                return name + "." + extension;
            }
    if (name.empty() || name == "." || name == "..")
        name = "_";
    return name + "." + extension;
}

ScheduleFolders ScheduleFolders::user() {
    return {QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/reportgen",
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/reportgen"};
}

std::vector<Schedule> readSchedules(const ScheduleFolders& folders) {
    QFile file(folders.file());
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        throw Error("无法读取定时输出文件“" + folders.file().toStdString() + "”：" +
                    file.errorString().toStdString());
    QJsonParseError fault;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &fault);
    if (fault.error != QJsonParseError::NoError)
        throw Error("定时输出文件“" + folders.file().toStdString() + "”已损坏：" +
                    fault.errorString().toStdString());
    std::vector<Schedule> out;
    for (const QJsonValue& v : doc.object().value("schedules").toArray())
        out.push_back(scheduleOf(v.toObject()));
    return out;
}

void writeSchedules(const ScheduleFolders& folders, const std::vector<Schedule>& schedules) {
    QJsonArray list;
    for (const Schedule& s : schedules)
        list.append(scheduleObject(s));
    QDir().mkpath(folders.config);
    QSaveFile file(folders.file());
    const bool ok = file.open(QIODevice::WriteOnly) &&
                    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                    file.write(QJsonDocument(QJsonObject{{"schedules", list}}).toJson()) >= 0 &&
                    file.commit();
    if (!ok)
        throw Error("无法写入定时输出文件“" + folders.file().toStdString() + "”：" +
                    file.errorString().toStdString());
}

Schedule findSchedule(const ScheduleFolders& folders, const std::string& name) {
    for (Schedule& s : readSchedules(folders))
        if (s.name == name)
            return s;
    throw Error("没有名为“" + name + "”的定时输出（" + folders.file().toStdString() + "）");
}

std::string newScheduleId(const std::vector<Schedule>& schedules) {
    for (;;) {
        const std::string id =
            QString::number(QRandomGenerator::global()->generate(), 16).toStdString();
        bool used = false;
        for (const Schedule& s : schedules)
            used = used || s.id == id;
        if (!used)
            return id;
    }
}

} // namespace rg
