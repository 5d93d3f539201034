#include "dialogtest.h"

#include <QApplication>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>

namespace rgtest {

namespace {
int argc = 1;
char arg0[] = "test";
char* argv[] = {arg0, nullptr};

void exec(sqlite3* db, const char* sql) {
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
}
} // namespace

QApplication& app() {
    // Never destroyed: tearing it down among the exit handlers crashes inside Qt.
    static QApplication* a = new QApplication(argc, argv);
    return *a;
}

QString makeDatabase(const QTemporaryDir& dir) {
    QString path = dir.filePath("shop.db");
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    exec(db, "CREATE TABLE orders(id INTEGER PRIMARY KEY, item TEXT, qty INTEGER)");
    exec(db, "INSERT INTO orders VALUES(1,'pen',3),(2,'ink',5)");
    exec(db, "CREATE TABLE Customers(id INTEGER PRIMARY KEY, name TEXT)");
    exec(db, "INSERT INTO Customers VALUES(1,'Li'),(2,'Wang'),(3,'Zhao')");
    exec(db, "CREATE TABLE bins(id INTEGER PRIMARY KEY)");
    sqlite3_close(db);
    return path;
}

std::string pgConnectionString() {
    const char* pg = std::getenv("RG_TEST_PG");
    return pg ? pg : "";
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
        QWidget* w = QApplication::activeModalWidget();
        if (w && w != notThis && w->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(w);
        }
    });
    timer->start(20);
}

} // namespace rgtest
