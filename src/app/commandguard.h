#pragma once

#include "common/progress.h"

#include <QString>

#include <exception>
#include <functional>

namespace rg {

// The application's central error handler: every error that ends a window command
// arrives here and is shown to the user in a message box. The program goes on.
void showCommandError(const QString& message);

// Where showCommandError sends its message. The default shows a QMessageBox; tests
// install a sink that records the text. Returns the sink that was installed before.
using ErrorSink = std::function<void(const QString& message)>;
ErrorSink setErrorSink(ErrorSink sink);

// What the user should know after a command that went well (an export that had to change
// texts the format cannot hold): a message box, or the sink a test installed.
void showCommandNotice(const QString& message);
ErrorSink setNoticeSink(ErrorSink sink);

// Runs one window command. A command is never expected to catch its own errors: whatever
// it throws ends it here, what it did before stays done, and the message reaches the
// central error handler. Work the user cancelled is no failure: its message comes as a
// notice. No exception gets past this point into Qt's event loop.
template <class Command>
void guardCommand(Command&& command) noexcept {
    try {
        command();
    } catch (const Cancelled& e) {
        showCommandNotice(QString::fromUtf8(e.what()));
    } catch (const std::exception& e) { // rg::Error included
        showCommandError(QString::fromUtf8(e.what()));
    } catch (...) {
        showCommandError(QStringLiteral("Unknown error"));
    }
}

} // namespace rg
