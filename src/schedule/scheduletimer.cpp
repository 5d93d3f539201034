#include "schedule/scheduletimer.h"

#include "common/error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <sstream>

namespace rg {
namespace {

const std::string kUnitPrefix = "reportgen-schedule-";
const std::string kCronTag = " # reportgen-schedule:";

struct ToolAnswer {
    bool ok = false;
    std::string out, err;
};

ToolAnswer runTool(const QString& program, const QStringList& args, const std::string& input = {}) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(30000))
        return {false, {}, p.errorString().toStdString()};
    p.write(input.data(), static_cast<qint64>(input.size()));
    p.closeWriteChannel();
    const bool finished = p.waitForFinished(60000);
    return {finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
            p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
}

void mustRun(const QString& program, const QStringList& args, const std::string& input = {}) {
    const ToolAnswer a = runTool(program, args, input);
    if (!a.ok)
        throw Error((program + " " + args.join(' ')).toStdString() + " 失败：" + a.err);
}

// A word of a unit file: percent signs are systemd's specifiers and dollars its variables.
std::string unitWord(const std::string& word) {
    std::string out = "\"";
    for (char c : word) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '%' || c == '$')
            out += c;
        out += c;
    }
    return out + "\"";
}

std::string unitText(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '%' ? std::string("%%") : std::string(1, c);
    return out;
}

// A shell word for cron, where a percent sign ends the command unless escaped.
std::string shellWord(const std::string& word) {
    std::string out = "'";
    for (char c : word)
        out += c == '\''  ? std::string("'\\''")
               : c == '%' ? std::string("'\\%'")
                          : std::string(1, c);
    return out + "'";
}

std::string serviceName(const std::string& id) {
    return kUnitPrefix + id + ".service";
}

void writeUnit(const QString& path, const std::string& text) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) ||
        f.write(text.data(), static_cast<qint64>(text.size())) < 0 || !f.commit())
        throw Error("无法写入“" + path.toStdString() + "”：" + f.errorString().toStdString());
}

std::string readCrontab(const TimerPlace& place) {
    const ToolAnswer a = runTool(place.crontab, {"-l"});
    if (a.ok)
        return a.out;
    if (a.err.find("no crontab") != std::string::npos)
        return {};
    throw Error("crontab -l 失败：" + a.err);
}

} // namespace

TimerPlace TimerPlace::user() {
    TimerPlace p;
    p.unitFolder =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/systemd/user";
    const ToolAnswer a = runTool(p.systemctl, {"--user", "is-system-running"});
    const std::string state = a.out.substr(0, a.out.find('\n'));
    p.systemd = !state.empty() && state != "offline" && state != "unknown";
    p.program = QCoreApplication::applicationFilePath().toStdString();
    return p;
}

std::string timerUnitName(const Schedule& s) {
    return kUnitPrefix + s.id + ".timer";
}

std::string serviceUnitText(const Schedule& s, const std::string& program) {
    return "[Unit]\nDescription=" + unitText("报表生成器定时输出：" + s.name) +
           "\n\n[Service]\nType=oneshot\nExecStart=" + unitWord(program) + " " +
           unitWord("--run-schedule") + " " + unitWord(s.name) + "\n";
}

std::string timerUnitText(const Schedule& s) {
    std::string text =
        "[Unit]\nDescription=" + unitText("报表生成器定时输出：" + s.name) + "\n\n[Timer]\n";
    for (const std::string& calendar : onCalendarTexts(s.rule()))
        text += "OnCalendar=" + calendar + "\n";
    // A run missed while the computer was off is made up at the next start.
    return text + "Persistent=true\nUnit=" + serviceName(s.id) +
           "\n\n[Install]\nWantedBy=timers.target\n";
}

std::string crontabLine(const Schedule& s, const std::string& program) {
    const CronFields f = cronFields(s.rule());
    const std::string command = shellWord(program) + " --run-schedule " + shellWord(s.name);
    return f.fields + " " + (f.lastDayTest.empty() ? "" : f.lastDayTest + " && ") + command +
           kCronTag + s.id;
}

std::string crontabWith(const std::string& table, const std::string& id, const std::string& line) {
    std::istringstream in(table);
    std::string out;
    for (std::string l; std::getline(in, l);)
        if (!l.ends_with(kCronTag + id))
            out += l + "\n";
    if (!line.empty())
        out += line + "\n";
    return out;
}

void installTimer(const TimerPlace& place, const Schedule& s) {
    checkSchedule(s);
    if (!place.systemd) {
        const std::string table = readCrontab(place);
        mustRun(place.crontab, {"-"}, crontabWith(table, s.id, crontabLine(s, place.program)));
        return;
    }
    if (!QDir().mkpath(place.unitFolder))
        throw Error("无法建立文件夹“" + place.unitFolder.toStdString() + "”");
    writeUnit(place.unitFolder + "/" + QString::fromStdString(serviceName(s.id)),
              serviceUnitText(s, place.program));
    writeUnit(place.unitFolder + "/" + QString::fromStdString(timerUnitName(s)), timerUnitText(s));
    mustRun(place.systemctl, {"--user", "daemon-reload"});
    mustRun(place.systemctl,
            {"--user", "enable", "--now", QString::fromStdString(timerUnitName(s))});
}

void removeTimer(const TimerPlace& place, const std::string& id) {
    if (!place.systemd) {
        const std::string table = readCrontab(place);
        if (table != crontabWith(table, id, {}))
            mustRun(place.crontab, {"-"}, crontabWith(table, id, {}));
        return;
    }
    const QString timer = QString::fromStdString(kUnitPrefix + id + ".timer");
    if (!QFile::exists(place.unitFolder + "/" + timer))
        return;
    mustRun(place.systemctl, {"--user", "disable", "--now", timer});
    QFile::remove(place.unitFolder + "/" + timer);
    QFile::remove(place.unitFolder + "/" + QString::fromStdString(serviceName(id)));
    mustRun(place.systemctl, {"--user", "daemon-reload"});
}

std::vector<std::string> installedTimers(const TimerPlace& place) {
    std::vector<std::string> ids;
    if (!place.systemd) {
        std::istringstream in(readCrontab(place));
        for (std::string l; std::getline(in, l);)
            if (const size_t at = l.rfind(kCronTag); at != std::string::npos)
                ids.push_back(l.substr(at + kCronTag.size()));
        return ids;
    }
    const QString prefix = QString::fromStdString(kUnitPrefix);
    for (const QString& f : QDir(place.unitFolder).entryList({prefix + "*.timer"}, QDir::Files))
        ids.push_back(f.mid(prefix.size()).chopped(6).toStdString());
    return ids;
}

} // namespace rg
