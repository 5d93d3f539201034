#pragma once

// A schedule's run without a window (`reportgen --run-schedule NAME`): the report loaded
// once and written in each format into a private folder, then moved into the schedule's
// folder and mailed, so a run that fails anywhere leaves the files of earlier runs as they
// were. A failed attempt is tried again as often as the schedule says; the run's start,
// end, outcome and message go to the log, and a failure is mailed to the recipients.

#include "schedule/schedule.h"
#include "schedule/schedulelog.h"

#include <cstdint>
#include <optional>
#include <string>

namespace rg {

struct ScheduleRunOptions {
    ScheduleFolders folders = ScheduleFolders::user();
    std::optional<int64_t> asOfDay; // none: today
    std::string passwordFile;       // for the report's connection, as --run takes it
};

// The key of a schedule's mail password in the secret store.
std::string mailSecretKey(const MailSettings& mail);

// The {date} of a run: the period of the first range parameter given a period preset
// ("2026年2月"), else the as-of day ("2026-03-01").
std::string scheduleDateText(const Schedule& s, int64_t asOfDay);

// Runs the schedule named and logs it. Returns the exit status: 0 done or skipped, 1
// failed, 2 a report parameter without a value; `message` says what happened.
int runSchedule(const std::string& name, const ScheduleRunOptions& options, std::string& message);

} // namespace rg
