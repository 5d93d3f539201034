#pragma once

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QSettings>
#include <QTimer>
#include <QWidget>

#include <functional>

#include "processfolder.h"

namespace rgtest {

// One QApplication for the whole test program, created by the first test that needs it.
// Never destroyed: tearing it down among the exit handlers crashes inside Qt.
inline QApplication& qtApp() {
    static int argc = 1;
    static char name[] = "reportgen_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        // What a window remembers goes to the test process's own folder, never the user's
        // configuration.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(processFolder()));
        return new QApplication(argc, argv);
    }();
    return *app;
}

// What a widget test saw, as <name>.png in the folder RG_TEST_PICTURES names; nothing is
// written without it, so that runs side by side do not share files. The widget is painted
// either way.
inline void savePicture(const QImage& image, const char* name) {
    const QString folder = qEnvironmentVariable("RG_TEST_PICTURES");
    if (!folder.isEmpty())
        image.save(QDir(folder).filePath(QString::fromUtf8(name) + ".png"));
}
inline void savePicture(QWidget& w, const char* name) {
    savePicture(w.grab().toImage(), name);
}

// Runs `act` once, at the first moment the event loop runs while a modal `T` is shown.
template <class T> void whenModal(const std::function<void(T&)>& act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto* d = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!d || !d->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act(*d);
    });
    timer->start(0);
}

} // namespace rgtest
