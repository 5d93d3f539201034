#include "app/program.h"
#include "app/quorvel.h"
#include "app/runner.h"

#include "common/error.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    // `reportgen --run FILE.ini ...` writes a report without a window or a display.
    if (argc > 1 && std::strcmp(argv[1], "--run") == 0) {
        QCoreApplication app(argc, argv);
        std::string errors;
        int status = 1;
        try {
            status = rg::runReport(rg::parseRunOptions(std::vector<std::string>(argv + 1, argv + argc)), errors);
        } catch (const rg::Error& e) {
            errors = e.what();
        }
        if (status != 0) std::fprintf(stderr, "%s\n", errors.c_str());
        return status;
    }
    QApplication app(argc, argv);
    auto windows = rg::createStartWindows();
    windows->main->show();
    return app.exec();
}
