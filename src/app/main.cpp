#include "app/program.h"
#include "app/quorvel.h"
#include "app/runner.h"

#include "common/error.h"
#include "datasource/statementrun.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Qt hands the user's locale to the C library as well, and ODBC drivers then write the
// numbers they return as text (exact decimals among them) with that locale's decimal
// comma, which no number parser of the program reads. Numbers keep the point.
void keepDecimalPoint() { std::setlocale(LC_NUMERIC, "C"); }

} // namespace

int main(int argc, char* argv[]) {
    rg::shareOneHeapAcrossThreads();
    // `reportgen --run FILE.ini ...` writes a report without a window or a display.
    if (argc > 1 && std::strcmp(argv[1], "--run") == 0) {
        const std::vector<std::string> args(argv + 1, argv + argc);
        // PDF pages are painted with the system's fonts, which takes a GUI application (but no
        // display); the other formats need neither.
        std::unique_ptr<QCoreApplication> app;
        if (std::find(args.begin(), args.end(), "pdf") != args.end()) {
            if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
            app = std::make_unique<QGuiApplication>(argc, argv);
        } else {
            app = std::make_unique<QCoreApplication>(argc, argv);
        }
        keepDecimalPoint();
        std::string errors;
        int status = 1;
        try {
            status = rg::runReport(rg::parseRunOptions(args), errors);
        } catch (const rg::Error& e) {
            errors = e.what();
        }
        if (!errors.empty()) std::fprintf(stderr, "%s\n", errors.c_str());
        return status;
    }
    QApplication app(argc, argv);
    keepDecimalPoint();
    auto windows = rg::createStartWindows();
    windows->main->show();
    return app.exec();
}
