#pragma once

// What starts a schedule when the window is closed: a systemd user timer where the user's
// systemd instance runs, else a line of the user's crontab. Both run
// `reportgen --run-schedule NAME` on the schedule's calendar, and both are named by the
// schedule's id, so that they can be listed and removed.

#include "schedule/schedule.h"

#include <QString>

#include <string>
#include <vector>

namespace rg {

struct TimerPlace {
    QString unitFolder;   // the user's systemd units: <config>/systemd/user
    bool systemd = false; // a user instance runs: timers, else crontab lines
    QString systemctl = "systemctl";
    QString crontab = "crontab"; // reads the table with -l and writes it from "-"
    std::string program;         // the reportgen the timer starts

    // This user's: systemd when `systemctl --user` answers, the running program.
    static TimerPlace user();
};

std::string timerUnitName(const Schedule& s); // "reportgen-schedule-<id>.timer"
std::string serviceUnitText(const Schedule& s, const std::string& program);
std::string timerUnitText(const Schedule& s);
// The crontab line, tagged at its end with the schedule's id.
std::string crontabLine(const Schedule& s, const std::string& program);
// `table` without the line of schedule `id`, and with `line` when it is not empty; every
// other line kept as it was.
std::string crontabWith(const std::string& table, const std::string& id, const std::string& line);

// Writes the timer or the crontab line, replacing one the schedule had. Throws rg::Error
// with what systemctl or crontab said.
void installTimer(const TimerPlace& place, const Schedule& s);
// Removes the schedule's timer or line; nothing when there is none.
void removeTimer(const TimerPlace& place, const std::string& id);
// The ids of the schedules that have a timer or a crontab line.
std::vector<std::string> installedTimers(const TimerPlace& place);

} // namespace rg
