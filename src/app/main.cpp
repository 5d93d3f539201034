#include "app/program.h"
#include "app/quorvel.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    auto windows = rg::createStartWindows();
    windows->main->show();
    return app.exec();
}
