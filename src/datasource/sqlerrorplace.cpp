#include "datasource/sqlerrorplace.h"

#include <cctype>
#include <regex>
#include <vector>

namespace rg {

namespace {

bool isWordByte(unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80;
}

bool sameIgnoringCase(const std::string& text, size_t at, const std::string& word) {
    if (at + word.size() > text.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[at + i])) !=
            std::tolower(static_cast<unsigned char>(word[i])))
            return false;
    return true;
}

// The first occurrence of `token` from `from` on, ignoring case; a token that starts or ends
// with a word character must stand as a whole word there.
std::optional<size_t> findToken(const std::string& sql, const std::string& token, size_t from) {
    if (token.empty())
        return std::nullopt;
    const bool wordStart = isWordByte(static_cast<unsigned char>(token.front()));
    const bool wordEnd = isWordByte(static_cast<unsigned char>(token.back()));
    for (size_t at = from; at + token.size() <= sql.size(); ++at) {
        if (!sameIgnoringCase(sql, at, token))
            continue;
        if (wordStart && at > 0 && isWordByte(static_cast<unsigned char>(sql[at - 1])))
            continue;
        const size_t end = at + token.size();
        if (wordEnd && end < sql.size() && isWordByte(static_cast<unsigned char>(sql[end])))
            continue;
        return at;
    }
    return std::nullopt;
}

// The byte where line `line` (from 1) starts.
size_t lineStart(const std::string& sql, long line) {
    size_t at = 0;
    for (long l = 1; l < line; ++l) {
        const size_t nl = sql.find('\n', at);
        if (nl == std::string::npos)
            return at;
        at = nl + 1;
    }
    return at;
}

// The first token of MariaDB's rest of the text: a word, or one character.
size_t firstTokenLength(const std::string& rest) {
    size_t n = 0;
    while (n < rest.size() && isWordByte(static_cast<unsigned char>(rest[n])))
        ++n;
    return n > 0 ? n : 1;
}

std::optional<SqlErrorPlace> nearAtLine(const std::string& message, const std::string& sql) {
    static const std::regex pattern("near '([^\\n]*)' at line ([0-9]+)");
    std::smatch m;
    if (!std::regex_search(message, m, pattern))
        return std::nullopt;
    std::string rest = m[1].str();
    // The rest runs to the end of the text; only its first line is looked for.
    rest = rest.substr(0, rest.find_first_of("\r\n"));
    const size_t start = lineStart(sql, std::stol(m[2].str()));
    if (rest.empty()) // the text ended too soon: the place is its end
        return SqlErrorPlace{sql.empty() ? 0 : sql.size() - 1, 1};
    const size_t first = rest.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::nullopt;
    rest = rest.substr(first);
    const std::optional<size_t> at = findToken(sql, rest, start);
    if (!at)
        return std::nullopt;
    return SqlErrorPlace{*at, firstTokenLength(rest)};
}

// A token or a name the message quotes, found in the text.
std::optional<SqlErrorPlace> quotedToken(const std::string& message, const std::string& sql) {
    static const std::vector<std::regex> patterns{
        std::regex("near \"([^\"]+)\""),                  // SQLite, PostgreSQL
        std::regex("no such [a-z]+: ([^ \\n]+)"),         // SQLite
        std::regex("\"([^\"]+)\" does not exist"),        // PostgreSQL
        std::regex("Unknown (?:column|table) '([^']+)'"), // MariaDB
    };
    for (const std::regex& pattern : patterns) {
        std::smatch m;
        if (!std::regex_search(message, m, pattern))
            continue;
        std::string token = m[1].str();
        std::optional<size_t> at = findToken(sql, token, 0);
        // A qualified name the text spells otherwise: its last part.
        const size_t dot = token.rfind('.');
        if (!at && dot != std::string::npos) {
            token = token.substr(dot + 1);
            at = findToken(sql, token, 0);
        }
        if (at)
            return SqlErrorPlace{*at, token.size()};
    }
    return std::nullopt;
}

} // namespace

std::optional<SqlErrorPlace> sqlErrorPlace(const std::string& message, const std::string& sql) {
    if (std::optional<SqlErrorPlace> place = nearAtLine(message, sql))
        return place;
    return quotedToken(message, sql);
}

} // namespace rg
