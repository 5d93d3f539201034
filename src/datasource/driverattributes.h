#pragma once

// The connection attributes of the ODBC drivers the program knows, as their documentation
// lists them: those that only shape the connection pass, those through which a driver
// logs, traces, reads or writes a file of its own, or loads code, do not.

#include <string_view>

namespace rg {

enum class DriverFamily { Other, PostgreSQL, MariaDB, FreeTDS, SQLite, MDBTools };

// The family of a driver library ("psqlodbcw.so", "/usr/lib/.../libmaodbc.so").
DriverFamily familyOfLibrary(std::string_view library);
// The name the user knows the family by, for messages.
const char* familyName(DriverFamily family);

// How an attribute of a known family is treated. `key` is lower case, without blanks.
enum class AttributeRule {
    Unknown,    // not documented for the driver: refused
    Allowed,    // passes as written
    WhenOff,    // a log switch: passes only switched off
    Refused,    // logs, traces, touches a file of its own or loads code
    OptionBits, // MariaDB's OPTION(S): passes without the bits that trace or read files
};
AttributeRule attributeRule(DriverFamily family, std::string_view key);

// The MariaDB OPTION bits that switch the trace file on, read the option files or log the
// queries.
constexpr unsigned long kMariaDbRefusedOptionBits = 4ul | 65536ul | 524288ul;

} // namespace rg
