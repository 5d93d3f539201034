#pragma once

#include "common/error.h"

#include <exception>
#include <optional>
#include <string>

namespace rg {

// What the database refused: a server's, driver's or SQLite's message, with the SQLSTATE
// and native error code where the driver gave them. Its text is the message alone until
// the place that knows what was being done leads it with a sentence of its own
// ("执行 SQL 失败"); from then on the text names the codes too.
class DatabaseError : public Error {
public:
    explicit DatabaseError(const std::string& message, std::string sqlState = {},
                           std::optional<long> nativeCode = {});

    const std::string& message() const { return message_; }
    const std::string& sqlState() const { return sqlState_; }
    std::optional<long> nativeCode() const { return nativeCode_; }
    bool hasContext() const { return hasContext_; }

    // The same error led by `sentence`: "<sentence>：<message>（SQLSTATE <state>，错误代码
    // <code>）", the codes that are not known left out.
    DatabaseError inContext(const std::string& sentence) const;

private:
    DatabaseError(const std::string& text, const DatabaseError& cause);

    std::string message_;
    std::string sqlState_;
    std::optional<long> nativeCode_;
    bool hasContext_ = false;
};

// Runs `work`; a database error it throws that has no sentence yet gets `sentence`.
template <class Work> decltype(auto) withDatabaseContext(const std::string& sentence, Work&& work) {
    try {
        return work();
    } catch (const DatabaseError& e) {
        if (e.hasContext())
            throw;
        throw e.inContext(sentence);
    }
}

// The user's text of what ended a command: a database error that nobody led with a
// sentence gets a general one, so that a driver's bare text never stands alone.
std::string userMessage(const std::exception& e);

} // namespace rg
