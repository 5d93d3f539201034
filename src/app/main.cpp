#include "app/program.h"
#include "app/quorvel.h"
#include "app/runner.h"

#include "common/error.h"

#include <QApplication>
#include <QCoreApplication>

#include <clocale>
#include <cstdio>
#include <cstring>

namespace {

// Qt hands the user's locale to the C library as well, and ODBC drivers then write the
// numbers they return as text (exact decimals among them) with that locale's decimal
// comma, which no number parser of the program reads. Numbers keep the point.
void keepDecimalPoint() { std::setlocale(LC_NUMERIC, "C"); }

} // namespace

int main(int argc, char* argv[]) {
    // `reportgen --run FILE.ini ...` writes a report without a window or a display.
    if (argc > 1 && std::strcmp(argv[1], "--run") == 0) {
        QCoreApplication app(argc, argv);
        keepDecimalPoint();
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
    keepDecimalPoint();
    auto windows = rg::createStartWindows();
    windows->main->show();
    return app.exec();
}
