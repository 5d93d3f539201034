#pragma once

// Every run of a schedule, appended as one line to the log of the user's schedules: when it
// started and ended, how it ended and what it said. The dialog shows a schedule's lines.

#include "schedule/schedule.h"

#include <QDateTime>

#include <string>
#include <vector>

namespace rg {

enum class RunOutcome { Done, Skipped, Failed };
const char* outcomeCaption(RunOutcome outcome); // "成功", "跳过", "失败"

struct LogEntry {
    std::string schedule;
    QDateTime start, end;
    RunOutcome outcome = RunOutcome::Done;
    std::string message;
};

// Appends one line (one write to a file opened for appending, so runs that end together
// do not mix their lines). Throws rg::Error naming the log when it cannot be written.
void appendLog(const ScheduleFolders& folders, const LogEntry& entry);
// The lines of one schedule, oldest first; lines of another layout are passed over.
std::vector<LogEntry> readLog(const ScheduleFolders& folders, const std::string& schedule);

} // namespace rg
