#pragma once

// The program's command line, read before any application object exists: --help, --version
// and a wrong option need no display.

#include <string>
#include <vector>

namespace rg {

struct StartRequest {
    enum class Mode { Window, Run, Help, Version, Misuse };
    Mode mode = Mode::Window;
    std::string problem; // Misuse: what was wrong
};

// `args` without the program's name. "--run" first runs a report (its options are read by
// parseRunOptions); otherwise the window starts, with the options Qt takes for it.
StartRequest ReadCommandLine(const std::vector<std::string>& args);

// The options, the formats the runner writes and the exit statuses.
std::string UsageText();
std::string VersionText();

} // namespace rg
