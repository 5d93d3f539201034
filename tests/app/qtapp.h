#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <QFile>
#include <QDir>

// One QApplication for the whole test program, created by the first test that needs it.
inline QApplication* qtApp() {
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

inline void touch(const QString& path) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
}
