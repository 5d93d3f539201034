#pragma once

#include <QApplication>

// One QApplication for the whole test program, created by the first test that needs it.
// Never destroyed: tearing it down among the exit handlers crashes inside Qt.
inline QApplication& guiApp() {
    static int argc = 1;
    static char name[] = "grid_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* a = new QApplication(argc, argv);
    return *a;
}
