#include "datasource/connguard.h"

#include "common/asciicase.h"
#include "common/error.h"
#include "datasource/connstring.h"
#include "datasource/driverattributes.h"
#include "datasource/driverlogs.h"
#include "datasource/odbcsources.h"
#include "datasource/sqliteguard.h"

#include <odbcinst.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <mutex>
#include <sqlite3.h>
#include <string_view>

namespace rg {
namespace {

// Before main, while the process has one thread: it changes the environment.
[[maybe_unused]] const std::string quietIniFolder = quietDriverLogs();

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

// The pairs as a plain split at every ";" reads them: a driver's reading of quotes and
// braces may differ from ours, so a refused attribute hidden in a quoted value by one
// reading is still seen by the other.
ConnParts plainSplit(const std::string& cs) {
    ConnParts parts;
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

[[noreturn]] void refuse(const std::string& attribute) {
    throw Error(
        format("连接字符串中的属性 %s 可能让驱动程序加载程序代码、读写文件或记录日志，已拒绝",
               attribute.c_str()));
}

std::string iniValue(const std::string& section, const char* key, const char* file) {
    char value[4096] = {0};
    SQLGetPrivateProfileString(section.c_str(), key, "", value, sizeof value, file);
    return value;
}

// The one driver a string names (registered, never a path) and the data source whose
// settings the driver reads besides the string.
struct Target {
    std::string dsn;
    DriverFamily family = DriverFamily::Other;
};

std::string registeredDriver(const ConnParts& parts) {
    std::vector<std::string> drivers;
    bool driversRead = false;
    std::string chosen;
    for (const auto& [key, value] : parts) {
        if (normalKey(key) != "driver")
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
        if (!chosen.empty() && !equalsIgnoringCase(chosen, name))
            throw Error(format("连接字符串中的 Driver= 指定了两个驱动程序：%s 和 %s，已拒绝",
                               chosen.c_str(), name.c_str()));
        chosen = name;
    }
    return chosen;
}

// The driver manager loads the driver a Driver= names, else the one of the data source
// (DEFAULT without DSN=); a data source names its driver by name or by library.
Target targetOf(const ConnParts& parts, const ConnParts& plain) {
    Target t;
    const std::string driver = registeredDriver(parts);
    registeredDriver(plain);
    t.dsn = trimmed(connValue(parts, "DSN"));
    std::string library;
    if (driver.empty()) {
        const std::string dsnDriver =
            iniValue(t.dsn.empty() ? "DEFAULT" : t.dsn, "Driver", "odbc.ini");
        if (dsnDriver.find('/') != std::string::npos)
            library = dsnDriver;
        else if (!dsnDriver.empty())
            library = iniValue(dsnDriver, "Driver", "odbcinst.ini");
    } else {
        library = iniValue(driver, "Driver", "odbcinst.ini");
    }
    t.family = familyOfLibrary(library);
    return t;
}

// MariaDB's OPTION(S): a whole decimal number without the bits that trace or read files.
void checkMariaDbOptions(const std::string& key, const std::string& value) {
    const std::string text = trimmed(value);
    if (text.empty())
        return;
    unsigned long bits = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), bits);
    if (ec != std::errc() || end != text.data() + text.size())
        throw Error(format("连接字符串中属性 %s 的值“%s”不是数字，已拒绝", trimmed(key).c_str(),
                           text.c_str()));
    if (bits & kMariaDbRefusedOptionBits)
        refuse(trimmed(key) + "=" + text);
}

// Every pair of both readings against the refused attributes; the pairs as read here
// against the documented ones.
void checkAttributes(DriverFamily family, const ConnParts& parts, const ConnParts& plain) {
    for (const ConnParts* reading : {&parts, &plain}) {
        for (const auto& [key, value] : *reading) {
            const std::string k = normalKey(key);
            const bool denied =
                std::find(std::begin(kRefused), std::end(kRefused), k) != std::end(kRefused);
            const bool logOn = std::find(std::begin(kRefusedWhenOn), std::end(kRefusedWhenOn), k) !=
                                   std::end(kRefusedWhenOn) &&
                               !switchedOff(value);
            if (denied || (family == DriverFamily::Other && logOn))
                refuse(trimmed(key));
            if (family == DriverFamily::Other)
                continue;
            const AttributeRule rule = attributeRule(family, k);
            if (rule == AttributeRule::Refused ||
                (rule == AttributeRule::WhenOff && !switchedOff(value)))
                refuse(trimmed(key));
            if (rule == AttributeRule::OptionBits)
                checkMariaDbOptions(key, value);
            if (rule == AttributeRule::Unknown && reading == &parts)
                throw Error(format("连接字符串中的属性 %s 不是 %s 驱动程序的连接属性，已拒绝",
                                   trimmed(key).c_str(), familyName(family)));
        }
    }
}

// Attributes whose value the driver runs as SQL on connecting, before the program has
// made the session read-only.
constexpr std::string_view kRunsSql[] = {"connsettings", "a6", "initstmt"};

void refuseSqlOnConnect(const ConnParts& parts, const ConnParts& plain) {
    for (const ConnParts* reading : {&parts, &plain})
        for (const auto& [key, value] : *reading)
            if (std::find(std::begin(kRunsSql), std::end(kRunsSql), normalKey(key)) !=
                std::end(kRunsSql))
                throw Error(format("连接字符串中的属性 %s 会在连接时执行 SQL 语句，可能修改数据库，"
                                   "已拒绝（报表的连接只读）",
                                   trimmed(key).c_str()));
}

// The keys that say where a driver connects, by what they name: a host, a port, a socket.
// psqlODBC's Socket is a buffer size and names nothing.
struct LocationKeys {
    std::string_view host, port, socket;
};

LocationKeys locationKeys(DriverFamily family) {
    switch (family) {
    case DriverFamily::PostgreSQL:
        return {"server servername", "port", ""};
    case DriverFamily::MariaDB:
        return {"server servername", "port", "socket"};
    case DriverFamily::FreeTDS:
        return {"server servername address", "port", ""};
    case DriverFamily::SQLite:
    case DriverFamily::MDBTools:
        return {"", "", ""};
    case DriverFamily::Other:
        break;
    }
    return {"server servername host hostname address addr networkaddress service", "port",
            "socket"};
}

bool named(std::string_view names, const std::string& key) {
    for (size_t start = 0; start < names.size();) {
        const size_t end = std::min(names.find(' ', start), names.size());
        if (names.substr(start, end - start) == key)
            return true;
        start = end + 1;
    }
    return false;
}

// Whether `value` is what the data source itself gives for one of `names`.
bool dataSourceSays(const std::string& dsn, std::string_view names, const std::string& value) {
    for (size_t start = 0; start < names.size();) {
        const size_t end = std::min(names.find(' ', start), names.size());
        const std::string key(names.substr(start, end - start));
        if (equalsIgnoringCase(trimmed(iniValue(dsn, key.c_str(), "odbc.ini")), value))
            return true;
        start = end + 1;
    }
    return false;
}

// A data source keeps its user and password for its own server: a string that names it may
// not send them elsewhere (another host, port, socket or driver) unless it brings its own.
void keepCredentialsAtHome(const Target& t, const ConnParts& parts, const ConnParts& plain) {
    if (t.dsn.empty())
        return;
    bool user = false, password = false;
    for (const auto& [key, value] : parts) {
        const std::string k = normalKey(key);
        user = user || ((k == "uid" || k == "user" || k == "username") && !trimmed(value).empty());
        password = password || k == "pwd" || k == "password";
    }
    if (user && password)
        return;
    const LocationKeys keys = locationKeys(t.family);
    for (const ConnParts* reading : {&parts, &plain}) {
        for (const auto& [key, value] : *reading) {
            const std::string k = normalKey(key);
            std::string_view group;
            for (const std::string_view g : {keys.host, keys.port, keys.socket})
                if (named(g, k))
                    group = g;
            if (k == "driver")
                group = "driver";
            if (group.empty() || dataSourceSays(t.dsn, group, trimmed(value)))
                continue;
            throw Error(
                format("连接字符串使用数据源 DSN=%s，却把连接改到别处（%s=%s）：数据源保存的"
                       "用户名和密码只发往它自己的服务器。要连接别处，请在连接字符串中同时"
                       "写明 UID 和 PWD，已拒绝",
                       t.dsn.c_str(), trimmed(key).c_str(), trimmed(value).c_str()));
        }
    }
}

std::string withPair(std::string cs, const std::string& pair) {
    if (!cs.empty() && cs.back() != ';')
        cs += ';';
    return cs + pair;
}

// Log switches written last win over the string's and the data source's own.
std::string withLogsOff(const std::string& cs, const Target& t, const ConnParts& parts) {
    if (t.family == DriverFamily::PostgreSQL)
        return withPair(cs, "CommLog=0;Debug=0");
    if (t.family != DriverFamily::MariaDB)
        return cs;
    std::string options;
    for (const auto& [key, value] : parts)
        if (const std::string k = normalKey(key); k == "option" || k == "options")
            options = trimmed(value);
    if (options.empty() && !t.dsn.empty()) {
        options = iniValue(t.dsn, "OPTIONS", "odbc.ini");
        if (options.empty())
            options = iniValue(t.dsn, "OPTION", "odbc.ini");
    }
    unsigned long bits = 0;
    std::from_chars(options.data(), options.data() + options.size(), bits);
    bits &= ~kMariaDbRefusedOptionBits;
    return withPair(cs, "OPTIONS=" + std::to_string(bits) + ";TRACE=0");
}

void refuseLoadExtension(sqlite3_context* context, int, sqlite3_value**) {
    sqlite3_result_error(context, "load_extension() is not available in this program", -1);
}

// Runs for every SQLite database opened in this process, the SQLite ODBC driver's too (it
// shares the one SQLite library). That driver switches extension loading on for every
// connection, so SQL text of a setup could otherwise load a library; and the SQL text of
// a report must not write.
int disableLoadExtension(sqlite3* db, char**, const sqlite3_api_routines*) {
    guardSqliteWrites(db);
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

std::string guardedOdbcConnectionString(const std::string& cs) {
    if (cs.size() > kMaxSetupConnectionString)
        throw Error(format("连接字符串长 %zu 字节，超过了 %zu 字节的上限（ODBC 最多接受 %zu 字节，"
                           "余下的留给程序自己的属性），已拒绝",
                           cs.size(), kMaxSetupConnectionString, kMaxOdbcConnectionString));
    if (driverLogsMayBeOn())
        throw Error("odbcinst.ini 打开了 ODBC 驱动程序的日志，而程序无法在用户的缓存文件夹或临时"
                    "文件夹中写入关闭日志的副本：为免用户名和密码写入日志，已拒绝连接");
    const ConnParts parts = parseConnectionString(cs);
    const ConnParts plain = plainSplit(cs);
    const Target target = targetOf(parts, plain);
    refuseSqlOnConnect(parts, plain);
    checkAttributes(target.family, parts, plain);
    keepCredentialsAtHome(target, parts, plain);
    const std::string guarded = withLogsOff(cs, target, parts);
    // A value whose brace or quote never closes would take the switches in.
    if (guarded != cs && parseConnectionString(guarded).size() != parts.size() + 2)
        throw Error("连接字符串中有未结束的括号或引号，已拒绝");
    odbcConnectionStringLength(guarded);
    return guarded;
}

short odbcConnectionStringLength(const std::string& cs) {
    if (cs.size() > kMaxOdbcConnectionString)
        throw Error(format("连接字符串长 %zu 字节，超过了 ODBC 能接受的 %zu 字节，已拒绝",
                           cs.size(), kMaxOdbcConnectionString));
    return static_cast<short>(cs.size());
}

} // namespace rg
