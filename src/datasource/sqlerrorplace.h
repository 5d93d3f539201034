#pragma once

// Where in an SQL text a database's error points. No server hands the place over on its
// own: psqlODBC drops PostgreSQL's character position, so every place is read from the
// message's words, the token the parser stopped at or the name it did not know.

#include <cstddef>
#include <optional>
#include <string>

namespace rg {

// Bytes of the UTF-8 text, `length` at least 1.
struct SqlErrorPlace {
    size_t offset = 0;
    size_t length = 1;
};

// The place `message` names in `sql`, or none when it names none that the text holds:
//  - MariaDB and MySQL: "near 'rest of the text' at line N";
//  - SQLite and PostgreSQL: near "token";
//  - a name the server does not know: "no such column: x", column "x" does not exist,
//    Unknown column 'x'.
std::optional<SqlErrorPlace> sqlErrorPlace(const std::string& message, const std::string& sql);

} // namespace rg
