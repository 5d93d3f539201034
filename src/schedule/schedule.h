#pragma once

// A schedule (定时输出): which saved report runs when, with which parameter values, in
// which formats, and where the files go. The user's schedules live in one file of the
// user's configuration folder, apart from the report setups, which the Windows program
// shares.

#include "datasource/sqlparameters.h"
#include "schedule/calendar.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace rg {

enum class ScheduleKind { Daily, Weekly, Monthly, Cron };

// How a mail server is spoken to: plain SMTP, STARTTLS on a plain connection, or TLS from
// the first byte (SMTPS).
enum class MailSecurity { None, StartTls, Tls };

struct MailSettings {
    std::string host;
    int port = 587;
    MailSecurity security = MailSecurity::StartTls;
    std::string user; // empty: the server takes mail without a login
    // Where the password is: the desktop's secret store, or this file (then kept for its
    // owner alone).
    bool passwordInStore = false;
    std::string password;
    std::string from;
    std::vector<std::string> to;
    std::string subject, body; // with the placeholders of a name pattern
    bool attach = true;
};

struct Schedule {
    std::string name;
    std::string id; // the timer's and the crontab line's name: ASCII, fixed at creation
    std::string setupFile;
    ScheduleKind kind = ScheduleKind::Daily;
    int hour = 8, minute = 0;
    std::vector<int> isoWeekdays{1}; // Weekly: 1 Monday .. 7 Sunday
    int monthDay = 1;                // Monthly: 1 .. 28, 0 the last day
    std::string cron;                // Cron: "分 时 日 月 周"
    ParameterTexts params;           // as --param takes them: a value or "@" and a preset
    std::vector<std::string> formats{"xlsx"};
    std::string folder;                          // empty: no files kept
    std::string namePattern = "{report}_{date}"; // the format's extension is added
    std::optional<MailSettings> mail;
    bool skipEmpty = false;
    int retries = 0;
    int retrySeconds = 60;

    // The calendar the kind and its settings make; throws rg::Error for a bad one.
    CalendarRule rule() const;
};

// Throws rg::Error naming what is missing or wrong: no name, no report, no format, a
// format that is unknown, neither a folder nor mail, mail without a server or recipient.
void checkSchedule(const Schedule& s);

// The placeholders of names, subjects and bodies: {report}, {date} (the as-of day, or the
// period a range parameter's preset gives: "2026年2月"), {time} (the run's start, "0800").
struct PlaceholderValues {
    std::string report, date, time;
};
std::string expandPlaceholders(const std::string& pattern, const PlaceholderValues& values);
// A name made of a pattern cannot leave its folder: "/" and control characters become "_".
std::string fileNameOf(const std::string& pattern, const PlaceholderValues& values,
                       const std::string& extension);

// The folders of the user's schedules: the file in `config`, the log in `data`. Default:
// reportgen under the XDG configuration and data folders.
struct ScheduleFolders {
    QString config, data;
    static ScheduleFolders user();
    QString file() const { return config + "/schedules.json"; }
    QString log() const { return data + "/schedules.log"; }
};

// The schedules of the file, in its order; none when it does not exist. Throws rg::Error
// naming the file for one that cannot be read.
std::vector<Schedule> readSchedules(const ScheduleFolders& folders);
// Writes the whole list (a temporary file renamed over the old one), readable by its owner
// alone since it may hold a mail password.
void writeSchedules(const ScheduleFolders& folders, const std::vector<Schedule>& schedules);
// The one of that name; throws rg::Error "没有名为“…”的定时输出".
Schedule findSchedule(const ScheduleFolders& folders, const std::string& name);
// A fresh id for a new schedule, unlike those in use.
std::string newScheduleId(const std::vector<Schedule>& schedules);

} // namespace rg
