#pragma once

// The one way a window tells the user how a command ended. Every command of the main
// window and every handler of a dialog runs inside guardCommand; what it throws ends it
// there and reaches the error sink, work the user cancelled reaches the notice sink, and
// nothing gets past into Qt's event loop. The libraries below never show anything.

#include "common/progress.h"

#include <QString>

#include <exception>
#include <functional>

namespace rg {

// Where messages go. The defaults show a message box over the active window; tests
// install sinks that record the texts.
using MessageSink = std::function<void(const QString& message)>;
// Each returns the sink installed before; an empty sink restores the message box.
MessageSink setErrorSink(MessageSink sink);
MessageSink setNoticeSink(MessageSink sink);

// The application's central error handler: the message of an error that ended a command.
void showCommandError(const QString& message);
// What the user should know after a command that went well (an export that had to change
// texts the format cannot hold), or that the user cancelled.
void showCommandNotice(const QString& message);

// The user's text of what a command threw: a database error that the command did not lead
// with a sentence of its own gets a general one (userMessage).
QString errorText(const std::exception& e);

// Runs one command. A command is never expected to catch its own errors: whatever it
// throws ends it here and what it did before stays done. Returns false when it failed or
// was cancelled.
template <class Command> bool guardCommand(Command&& command) noexcept {
    try {
        command();
        return true;
    } catch (const Cancelled& e) {
        showCommandNotice(QString::fromUtf8(e.what()));
    } catch (const std::exception& e) { // rg::Error included
        showCommandError(errorText(e));
    } catch (...) {
        showCommandError(QStringLiteral("Unknown error"));
    }
    return false;
}

} // namespace rg
