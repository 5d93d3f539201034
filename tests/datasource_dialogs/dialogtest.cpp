#include "dialogtest.h"

#include <QApplication>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>

namespace rgtest {

QApplication& app() {
    return qtApp();
}

QString makeDatabase(const QTemporaryDir& dir) {
    const QString path = dir.filePath("shop.db");
    createSqliteFile(path.toStdString(),
                     "CREATE TABLE orders(id INTEGER PRIMARY KEY, item TEXT, qty INTEGER);"
                     "INSERT INTO orders VALUES(1,'pen',3),(2,'ink',5);"
                     "CREATE TABLE Customers(id INTEGER PRIMARY KEY, name TEXT);"
                     "INSERT INTO Customers VALUES(1,'Li'),(2,'Wang'),(3,'Zhao');"
                     "CREATE TABLE bins(id INTEGER PRIMARY KEY);");
    return path;
}

QStringList entries(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

void onNextModal(std::function<void(QWidget*)> action, QWidget* notThis) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, action, notThis] {
        // Active as well as shown: until the window system has activated it, a click
        // elsewhere in it moves no focus, so a box would not write what was typed.
        QWidget* w = QApplication::activeModalWidget();
        if (w && w != notThis && w->isVisible() && w->isActiveWindow()) {
            timer->stop();
            timer->deleteLater();
            action(w);
        }
    });
    timer->start(20);
}

} // namespace rgtest
