#include "schedule/schedulelog.h"

#include "common/error.h"

#include <QDir>
#include <QFile>

#include <array>

namespace rg {
namespace {

constexpr std::array<RunOutcome, 3> kOutcomes{RunOutcome::Done, RunOutcome::Skipped,
                                              RunOutcome::Failed};

// A field of the line holds no tab and no line end.
std::string field(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return text;
}

} // namespace

const char* outcomeCaption(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Done:
        return "成功";
    case RunOutcome::Skipped:
        return "跳过";
    case RunOutcome::Failed:
        break;
    }
    return "失败";
}

void appendLog(const ScheduleFolders& folders, const LogEntry& e) {
    const std::string line = field(e.schedule) + "\t" +
                             e.start.toString(Qt::ISODate).toStdString() + "\t" +
                             e.end.toString(Qt::ISODate).toStdString() + "\t" +
                             outcomeCaption(e.outcome) + "\t" + field(e.message) + "\n";
    QDir().mkpath(folders.data);
    QFile log(folders.log());
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered) ||
        log.write(line.data(), static_cast<qint64>(line.size())) !=
            static_cast<qint64>(line.size()))
        throw Error("无法写入定时输出日志“" + folders.log().toStdString() + "”：" +
                    log.errorString().toStdString());
}

std::vector<LogEntry> readLog(const ScheduleFolders& folders, const std::string& schedule) {
    QFile log(folders.log());
    std::vector<LogEntry> out;
    if (!log.open(QIODevice::ReadOnly))
        return out;
    const QString name = QString::fromStdString(schedule);
    while (!log.atEnd()) {
        QString line = QString::fromUtf8(log.readLine());
        if (line.endsWith('\n'))
            line.chop(1);
        const QStringList f = line.split('\t');
        if (f.size() != 5 || f[0] != name)
            continue;
        LogEntry e{schedule, QDateTime::fromString(f[1], Qt::ISODate),
                   QDateTime::fromString(f[2], Qt::ISODate), RunOutcome::Failed,
                   f[4].toStdString()};
        for (RunOutcome o : kOutcomes)
            if (f[3] == QString::fromUtf8(outcomeCaption(o)))
                e.outcome = o;
        out.push_back(std::move(e));
    }
    return out;
}

} // namespace rg
