#include "common/databaseerror.h"

namespace rg {

namespace {

std::string codesText(const std::string& state, std::optional<long> native, const char* separator) {
    std::string codes = state.empty() ? std::string() : "SQLSTATE " + state;
    if (native)
        codes +=
            (codes.empty() ? "" : separator) + std::string("错误代码 ") + std::to_string(*native);
    return codes;
}

// The text before anyone says what was being done: the message, or the codes when the
// driver gave no message.
std::string bareText(const std::string& message, const std::string& state,
                     std::optional<long> native) {
    return message.empty() ? codesText(state, native, ", ") : message;
}

} // namespace

DatabaseError::DatabaseError(const std::string& message, std::string sqlState,
                             std::optional<long> nativeCode)
    : Error(bareText(message, sqlState, nativeCode)), message_(message),
      sqlState_(std::move(sqlState)), nativeCode_(nativeCode) {}

DatabaseError::DatabaseError(const std::string& text, const DatabaseError& cause)
    : Error(text), message_(cause.message_), sqlState_(cause.sqlState_),
      nativeCode_(cause.nativeCode_), hasContext_(true) {}

DatabaseError DatabaseError::inContext(const std::string& sentence) const {
    const std::string codes = codesText(sqlState_, nativeCode_, "，");
    std::string text = sentence + "：" + message_;
    if (!codes.empty())
        text += message_.empty() ? codes : "（" + codes + "）";
    return DatabaseError(text, *this);
}

std::string userMessage(const std::exception& e) {
    if (const auto* db = dynamic_cast<const DatabaseError*>(&e); db && !db->hasContext())
        return db->inContext("数据库操作失败").what();
    return e.what();
}

} // namespace rg
