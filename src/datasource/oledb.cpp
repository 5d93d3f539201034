#include "datasource/oledb.h"

#include "common/asciicase.h"
#include "common/error.h"
#include "datasource/connstring.h"
#include "datasource/odbcsources.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace rg {
namespace {

bool startsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// The first non-empty value among the keys, OLE DB and ODBC spellings alike.
std::string firstOf(const ConnParts& parts, std::initializer_list<const char*> keys) {
    for (const char* k : keys)
        if (std::string v = connValue(parts, k); !v.empty())
            return v;
    return {};
}

void add(std::string& cs, const char* key, const std::string& value) {
    if (!value.empty())
        cs += std::string(";") + key + "=" + quoteConnValue(value);
}

void requireDriver(const char* driver, const char* package, const std::string& provider) {
    const std::vector<std::string> drivers = listOdbcDrivers();
    if (std::none_of(drivers.begin(), drivers.end(),
                     [&](const std::string& d) { return asciiLower(d) == asciiLower(driver); }))
        throw Error(
            format("数据提供程序 %s 需要 ODBC 驱动程序 %s，但它没有安装（Debian 软件包 %s）",
                   provider.c_str(), driver, package));
}

// MSDASQL: the ODBC string rides in "Extended Properties", or the DSN stands alone.
std::string fromOdbcBridge(const ConnParts& parts) {
    std::string cs = connValue(parts, "Extended Properties");
    if (cs.empty())
        cs = "DSN=" + quoteConnValue(firstOf(parts, {"DSN", "Data Source"}));
    const ConnParts inner = parseConnectionString(cs);
    if (connValue(inner, "UID").empty())
        add(cs, "UID", firstOf(parts, {"User ID", "UID"}));
    if (connValue(inner, "PWD").empty())
        add(cs, "PWD", firstOf(parts, {"Password", "PWD"}));
    if (connValue(inner, "Database").empty())
        add(cs, "Database", connValue(parts, "Initial Catalog"));
    return cs;
}

// SQL Server: "Data Source" is host, host\instance or host,port, possibly after "tcp:".
std::string fromSqlServer(const ConnParts& parts, const std::string& provider) {
    requireDriver("FreeTDS", "tdsodbc", provider);
    if (const std::string sspi = asciiLower(connValue(parts, "Integrated Security"));
        sspi == "sspi" || sspi == "true" || sspi == "yes")
        throw Error("Windows 集成身份验证（Integrated Security）在这里不可用：请在连接字符串中写入 "
                    "User ID 和 Password");
    std::string server =
        firstOf(parts, {"Data Source", "Server", "Address", "Addr", "Network Address"});
    if (startsWith(asciiLower(server), "tcp:"))
        server.erase(0, 4);
    std::string port;
    if (const size_t comma = server.find(','); comma != std::string::npos) {
        port = server.substr(comma + 1);
        server.erase(comma);
    }
    if (server.empty() || server == "." || asciiLower(server) == "(local)")
        server = "localhost";
    std::string cs = "Driver={FreeTDS};Server=" + quoteConnValue(server);
    add(cs, "Port", port);
    add(cs, "Database", firstOf(parts, {"Initial Catalog", "Database"}));
    add(cs, "UID", firstOf(parts, {"User ID", "UID"}));
    add(cs, "PWD", firstOf(parts, {"Password", "PWD"}));
    return cs;
}

// Access: a Windows path loses its drive letter and takes "/" for "\"; a relative path
// starts at the program's folder, like the built-in provider's database files.
std::string fromAccess(const ConnParts& parts, const std::string& provider) {
    requireDriver("MDBTools", "odbc-mdbtools", provider);
    std::string path = connValue(parts, "Data Source");
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':')
        path.erase(0, 2);
    if (!path.empty() && path[0] != '/')
        path = executableDir() + "/" + path;
    return "Driver={MDBTools};DBQ=" + quoteConnValue(path);
}

} // namespace

std::string odbcFromOleDb(const std::string& connectionString) {
    const ConnParts parts = parseConnectionString(connectionString);
    const std::string provider = connValue(parts, "Provider");
    const std::string p = asciiLower(provider);
    if (p.empty() || p == "sqlite")
        return connectionString;
    if (startsWith(p, "msdasql"))
        return fromOdbcBridge(parts);
    if (startsWith(p, "sqloledb") || startsWith(p, "sqlncli") || startsWith(p, "msoledbsql"))
        return fromSqlServer(parts, provider);
    if (startsWith(p, "microsoft.jet.oledb.") || startsWith(p, "microsoft.ace.oledb."))
        return fromAccess(parts, provider);
    throw Error(format("不支持的数据提供程序：%s", provider.c_str()));
}

void checkAccessFile(const std::string& odbcConnectionString) {
    const ConnParts parts = parseConnectionString(odbcConnectionString);
    if (asciiLower(connValue(parts, "Driver")) != "mdbtools")
        return;
    std::string path = connValue(parts, "DBQ");
    if (path.empty())
        path = connValue(parts, "Database");
    struct stat st {};
    const int failed = ::stat(path.c_str(), &st) != 0 ? errno : 0;
    if (failed == ENOENT)
        throw Error(format("找不到 Access 数据库文件“%s”", path.c_str()));
    if (failed)
        throw Error(
            format("无法读取 Access 数据库文件“%s”：%s", path.c_str(), std::strerror(failed)));
    if (!S_ISREG(st.st_mode))
        throw Error(format("Access 数据库文件“%s”不是普通文件（%s）", path.c_str(),
                           fileKindName(st.st_mode)));
}

} // namespace rg
