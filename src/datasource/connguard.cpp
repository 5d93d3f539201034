#include "datasource/connguard.h"

#include "common/asciicase.h"
#include "common/error.h"
#include "datasource/connstring.h"
#include "datasource/odbcsources.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <sqlite3.h>
#include <string_view>

namespace rg {
namespace {

std::string normalKey(std::string_view key) {
    std::string k;
    for (const char c : key)
        if (!std::isspace(static_cast<unsigned char>(c)) && c != '{' && c != '}')
            k += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return k;
}

// Attributes that load a library or write a file: the driver manager's file DSNs and
// connection attributes (trace file, translation library), the SQLite ODBC driver's
// extensions and trace file, the PostgreSQL driver's log files, the MariaDB driver's
// plugin folder and option file, FreeTDS's protocol dump.
constexpr std::string_view kRefused[] = {
    "filedsn",        "savefile",        "dmconnattr",     "dmstmtattr", "dmenvattr",
    "translationdll", "translationname", "loadext",        "tracefile",  "logdir",
    "plugin_dir",     "use_mycnf",       "read_mysql_cnf", "dumpfile",   "dumpfileappend",
};
// Switches that start writing log files; switched off they are harmless.
constexpr std::string_view kRefusedWhenOn[] = {"trace", "debug", "commlog"};

bool switchedOff(const std::string& value) {
    const std::string v = normalKey(value);
    return v.empty() || v == "0" || v == "no" || v == "false" || v == "off";
}

std::string trimmed(std::string_view v) {
    while (!v.empty() && std::isspace(static_cast<unsigned char>(v.front())))
        v.remove_prefix(1);
    while (!v.empty() && std::isspace(static_cast<unsigned char>(v.back())))
        v.remove_suffix(1);
    if (v.size() >= 2 && v.front() == '{' && v.back() == '}')
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

// The pairs as read here and as a plain split at every ";" would read them: the driver
// manager's own reading of quotes and braces may differ from ours, so a refused attribute
// hidden in a quoted value by one reading is still seen by the other.
ConnParts bothReadings(const std::string& cs) {
    ConnParts parts = parseConnectionString(cs);
    size_t start = 0;
    while (start <= cs.size()) {
        const size_t semi = std::min(cs.find(';', start), cs.size());
        const std::string_view piece(cs.data() + start, semi - start);
        const size_t eq = piece.find('=');
        if (eq != std::string_view::npos)
            parts.emplace_back(std::string(piece.substr(0, eq)), std::string(piece.substr(eq + 1)));
        start = semi + 1;
    }
    return parts;
}

void refuseLoadExtension(sqlite3_context* context, int, sqlite3_value**) {
    sqlite3_result_error(context, "load_extension() is not available in this program", -1);
}

// Runs for every SQLite database opened in this process, the SQLite ODBC driver's too (it
// shares the one SQLite library). That driver switches extension loading on for every
// connection, so SQL text of a setup could otherwise load a library.
int disableLoadExtension(sqlite3* db, char**, const sqlite3_api_routines*) {
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    for (const int args : {1, 2})
        sqlite3_create_function(db, "load_extension", args, SQLITE_UTF8, nullptr,
                                refuseLoadExtension, nullptr, nullptr);
    return SQLITE_OK;
}

} // namespace

void guardSqliteExtensions() {
    static std::once_flag once;
    std::call_once(
        once, [] { sqlite3_auto_extension(reinterpret_cast<void (*)()>(disableLoadExtension)); });
}

void checkOdbcConnectionString(const std::string& cs) {
    const ConnParts parts = bothReadings(cs);
    std::vector<std::string> drivers;
    bool driversRead = false;
    for (const auto& [key, value] : parts) {
        const std::string k = normalKey(key);
        const bool refused =
            std::find(std::begin(kRefused), std::end(kRefused), k) != std::end(kRefused) ||
            (std::find(std::begin(kRefusedWhenOn), std::end(kRefusedWhenOn), k) !=
                 std::end(kRefusedWhenOn) &&
             !switchedOff(value));
        if (refused)
            throw Error(format("连接字符串中的属性 %s 可能让驱动程序加载程序代码或写入文件，已拒绝",
                               trimmed(key).c_str()));
        if (k != "driver")
            continue;
        if (!driversRead) {
            drivers = listOdbcDrivers();
            driversRead = true;
        }
        const std::string name = trimmed(value);
        const bool registered =
            name.find('/') == std::string::npos &&
            std::any_of(drivers.begin(), drivers.end(),
                        [&](const std::string& d) { return equalsIgnoringCase(d, name); });
        if (!registered) {
            std::string list;
            for (const std::string& d : drivers)
                list += (list.empty() ? "" : "、") + d;
            throw Error(
                format("连接字符串中的 Driver=%s 不是已安装的 ODBC 驱动程序名称（已安装：%s）",
                       name.c_str(), list.empty() ? "无" : list.c_str()));
        }
    }
}

} // namespace rg
