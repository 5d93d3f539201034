#include "app/commandline.h"
#include "app/runner.h"
#include "app/ui/program.h"
#include "app/ui/quorvel.h"

#include "datasource/statementrun.h"
#include "print/reportformats.h"
#include "schedule/schedulerun.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// Qt hands the user's locale to the C library as well, and ODBC drivers then write the
// numbers they return as text (exact decimals among them) with that locale's decimal
// comma, which no number parser of the program reads. Numbers keep the point.
void keepDecimalPoint() {
    std::setlocale(LC_NUMERIC, "C");
}

// A statement abandoned in a driver that never answered may still run on a thread of its
// own: the process then ends without its static destructors, which would unload the driver
// libraries under that thread, after writing out what it has to say.
int leave(int status) {
    if (!rg::driverWorkRunning())
        return status;
    std::fflush(nullptr);
    std::_Exit(status);
}

// `reportgen --run FILE.ini ...` writes a report without a window or a display.
int runFromCommandLine(int& argc, char* argv[], const rg::StartRequest& start) {
    if (!start.run) {
        std::fprintf(stderr, "%s\n", start.problem.c_str());
        return 1;
    }
    const rg::RunOptions& options = *start.run;
    // Paged formats paint their text with the system's fonts, which takes a GUI application
    // (but no display); the other formats need neither.
    std::unique_ptr<QCoreApplication> app;
    if (rg::ReportFormats().find(options.format)->paged) {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    keepDecimalPoint();
    std::string errors;
    const int status = rg::runReport(options, errors);
    if (!errors.empty())
        std::fprintf(stderr, "%s\n", errors.c_str());
    return leave(status);
}

// `reportgen --run-schedule NAME`, as its timer starts it: any of its formats may be paged,
// and the secret store answers through an event loop, so it takes a GUI application
// without a display.
int runScheduleFromCommandLine(int& argc, char* argv[], const rg::ScheduleRequest& request) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    keepDecimalPoint();
    rg::ScheduleRunOptions options;
    options.asOfDay = request.asOfDay;
    options.passwordFile = request.passwordFile;
    std::string message;
    const int status = rg::runSchedule(request.name, options, message);
    std::fprintf(status == 0 ? stdout : stderr, "%s\n", message.c_str());
    return leave(status);
}

} // namespace

int main(int argc, char* argv[]) {
    rg::shareOneHeapAcrossThreads();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const rg::StartRequest start = rg::ReadCommandLine(args);
    switch (start.mode) {
    case rg::StartRequest::Mode::Help:
        std::fputs(rg::UsageText().c_str(), stdout);
        return 0;
    case rg::StartRequest::Mode::Version:
        std::fputs(rg::VersionText().c_str(), stdout);
        return 0;
    case rg::StartRequest::Mode::Misuse:
        std::fprintf(stderr, "reportgen：%s\n%s", start.problem.c_str(), rg::UsageText().c_str());
        return 2;
    case rg::StartRequest::Mode::Run:
        return runFromCommandLine(argc, argv, start);
    case rg::StartRequest::Mode::RunSchedule:
        return runScheduleFromCommandLine(argc, argv, *start.schedule);
    case rg::StartRequest::Mode::Window:
        break;
    }
    QApplication app(argc, argv);
    keepDecimalPoint();
    auto windows = rg::createStartWindows();
    windows->main->restoreWindow();
    windows->main->show();
    windows->main->openLastReport();
    const int status = app.exec();
    windows.reset();
    return leave(status);
}
