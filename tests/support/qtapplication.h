#pragma once

#include <QApplication>

namespace rgtest {

// One QApplication for the whole test program, created by the first test that needs it.
// Never destroyed: tearing it down among the exit handlers crashes inside Qt.
inline QApplication& qtApp() {
    static int argc = 1;
    static char name[] = "reportgen_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

} // namespace rgtest
