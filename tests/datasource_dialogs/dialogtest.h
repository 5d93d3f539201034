#pragma once

#include "common/ui/commandguard.h"
#include "qtapplication.h"
#include "testsupport.h"

// Shared pieces of the data source dialog tests: the application object, a small SQLite
// database, the PostgreSQL test server and a hook on the next modal window.

#include <QString>
#include <QStringList>

#include <functional>
#include <ostream>
#include <string>

class QApplication;
class QListWidget;
class QTemporaryDir;
class QWidget;

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* out) {
    *out << '"' << s.toStdString() << '"';
}

namespace rgtest {

QApplication& app();

// shop.db in `dir`: orders(id, item, qty), Customers(id, name), bins(id).
QString makeDatabase(const QTemporaryDir& dir);

// The texts of a list's entries in order.
QStringList entries(const QListWidget* list);

// Runs `action` on the next modal window that opens (other than `notThis`) once shown and
// active.
void onNextModal(std::function<void(QWidget*)> action, QWidget* notThis = nullptr);

// The messages the data source dialogs show while it lives, noted instead of shown.
struct ShownMessages {
    QStringList errors, notices;
    rg::MessageSink previousErrors, previousNotices;
    ShownMessages()
        : previousErrors(rg::setErrorSink([this](const QString& m) { errors << m; })),
          previousNotices(rg::setNoticeSink([this](const QString& m) { notices << m; })) {}
    ~ShownMessages() {
        rg::setErrorSink(previousErrors);
        rg::setNoticeSink(previousNotices);
    }
};

} // namespace rgtest
