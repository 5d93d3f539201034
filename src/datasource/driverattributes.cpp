#include "datasource/driverattributes.h"

#include <algorithm>
#include <initializer_list>

namespace rg {
namespace {

struct Rule {
    std::string_view key;
    AttributeRule rule;
};

constexpr auto A = AttributeRule::Allowed;
constexpr auto Off = AttributeRule::WhenOff;
constexpr auto R = AttributeRule::Refused;

// psqlODBC: each setting by its name and by its two-character abbreviation. CX packs many
// switches into one number, the log switches among them; Pqopt hands libpq key and
// certificate files; Logdir moves the logs.
constexpr Rule kPostgreSQL[] = {
    {"servername", A}, {"server", A}, {"port", A}, {"username", A}, {"uid", A},
    {"password", A}, {"pwd", A}, {"database", A}, {"sslmode", A}, {"ca", A},
    {"readonly", A}, {"a0", A}, {"protocol", A}, {"a1", A}, {"fakeoidindex", A}, {"a2", A},
    {"showoidcolumn", A}, {"a3", A}, {"rowversioning", A}, {"a4", A},
    {"showsystemtables", A}, {"a5", A}, {"connsettings", A}, {"a6", A}, {"fetch", A},
    {"a7", A}, {"socket", A}, {"a8", A}, {"unknownsizes", A}, {"a9", A},
    {"maxvarcharsize", A}, {"b0", A}, {"maxlongvarcharsize", A}, {"b1", A},
    {"optimizer", A}, {"b4", A}, {"ksqo", A}, {"b5", A}, {"usedeclarefetch", A}, {"b6", A},
    {"textaslongvarchar", A}, {"b7", A}, {"unknownsaslongvarchar", A}, {"b8", A},
    {"boolsaschar", A}, {"b9", A}, {"parse", A}, {"c0", A}, {"extrasystableprefixes", A},
    {"c2", A}, {"updatablecursors", A}, {"c4", A}, {"lfconversion", A}, {"c5", A},
    {"trueisminus1", A}, {"c6", A}, {"byteaaslongvarbinary", A}, {"c7", A},
    {"useserversideprepare", A}, {"c8", A}, {"lowercaseidentifier", A}, {"c9", A},
    {"keepalivetime", A}, {"d1", A}, {"keepaliveinterval", A}, {"d2", A}, {"numericas", A},
    {"d6", A}, {"optionalerrors", A}, {"d7", A}, {"batchsize", A}, {"d8", A},
    {"ignoretimeout", A}, {"d9", A}, {"fetchrefcursors", A}, {"da", A}, {"bi", A},
    {"uniqueindex", A}, {"ab", A},
    {"debug", Off}, {"b2", Off}, {"commlog", Off}, {"b3", Off},
    {"cx", R}, {"pqopt", R}, {"d5", R}, {"logdir", R},
};

// MariaDB Connector/ODBC: the TLS attributes naming key, certificate, revocation and
// fingerprint files, the plugin folder and the saved file DSN are refused.
constexpr Rule kMariaDB[] = {
    {"server", A}, {"servername", A}, {"uid", A}, {"user", A}, {"pwd", A}, {"password", A},
    {"database", A}, {"db", A}, {"port", A}, {"socket", A}, {"tcpip", A}, {"namedpipe", A},
    {"initstmt", A}, {"conn_timeout", A}, {"read_timeout", A}, {"write_timeout", A},
    {"auto_reconnect", A}, {"no_prompt", A}, {"charset", A}, {"interactive", A},
    {"forwardonly", A}, {"schemanoerror", A}, {"sslcipher", A}, {"sslverify", A},
    {"tlspeerfp", A}, {"sslfp", A}, {"tlsversion", A}, {"forcetls", A}, {"tlskeypwd", A},
    {"option", AttributeRule::OptionBits}, {"options", AttributeRule::OptionBits},
    {"trace", Off}, {"use_mycnf", Off},
    {"plugin_dir", R}, {"sslkey", R}, {"sslcert", R}, {"sslca", R}, {"sslcapath", R},
    {"sslcrl", R}, {"sslcrlpath", R}, {"tlspeerfplist", R}, {"sslfplist", R},
    {"serverkey", R}, {"savefile", R},
};

// FreeTDS: the protocol dump and the database file attached on opening are refused.
constexpr Rule kFreeTDS[] = {
    {"servername", A}, {"server", A}, {"port", A}, {"address", A}, {"tds_version", A},
    {"uid", A}, {"pwd", A}, {"database", A}, {"language", A}, {"textsize", A},
    {"packetsize", A}, {"clientcharset", A}, {"client_charset", A}, {"app", A}, {"wsid", A},
    {"encryption", A}, {"trusted_connection", A}, {"usentlmv2", A}, {"mars_connection", A},
    {"realm", A}, {"serverspn", A}, {"applicationintent", A}, {"timeout", A},
    {"debugflags", Off},
    {"dumpfile", R}, {"dumpfileappend", R}, {"attachdbfilename", R},
};

// The SQLite ODBC driver: extensions and the trace file are refused.
constexpr Rule kSQLite[] = {
    {"database", A}, {"timeout", A}, {"stepapi", A}, {"syncpragma", A}, {"notxn", A},
    {"shortnames", A}, {"longnames", A}, {"nocreat", A}, {"nowchar", A}, {"fksupport", A},
    {"journalmode", A}, {"oemcp", A}, {"bigint", A}, {"jdconv", A}, {"pwd", A},
    {"loadext", R}, {"tracefile", R},
};

constexpr Rule kMDBTools[] = {{"dbq", A}, {"database", A}};

template <size_t N>
AttributeRule find(const Rule (&rules)[N], std::string_view key) {
    const auto it = std::find_if(std::begin(rules), std::end(rules),
                                 [&](const Rule& r) { return r.key == key; });
    return it == std::end(rules) ? AttributeRule::Unknown : it->rule;
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

} // namespace

DriverFamily familyOfLibrary(std::string_view library) {
    const std::string_view base = library.substr(library.rfind('/') + 1);
    if (startsWith(base, "psqlodbc"))
        return DriverFamily::PostgreSQL;
    if (startsWith(base, "libmaodbc"))
        return DriverFamily::MariaDB;
    if (startsWith(base, "libtdsodbc"))
        return DriverFamily::FreeTDS;
    if (startsWith(base, "libsqlite3odbc") || startsWith(base, "libsqliteodbc"))
        return DriverFamily::SQLite;
    if (startsWith(base, "libmdbodbc"))
        return DriverFamily::MDBTools;
    return DriverFamily::Other;
}

const char* familyName(DriverFamily family) {
    switch (family) {
    case DriverFamily::PostgreSQL: return "psqlODBC";
    case DriverFamily::MariaDB: return "MariaDB Connector/ODBC";
    case DriverFamily::FreeTDS: return "FreeTDS";
    case DriverFamily::SQLite: return "SQLite ODBC";
    case DriverFamily::MDBTools: return "MDB Tools";
    case DriverFamily::Other: break;
    }
    return "ODBC";
}

AttributeRule attributeRule(DriverFamily family, std::string_view key) {
    // The keywords ODBC itself defines for SQLDriverConnect, which the connection dialog
    // writes for a data source of any driver.
    if (key == "driver" || key == "dsn" || key == "uid" || key == "pwd" || key == "description")
        return AttributeRule::Allowed;
    switch (family) {
    case DriverFamily::PostgreSQL: return find(kPostgreSQL, key);
    case DriverFamily::MariaDB: return find(kMariaDB, key);
    case DriverFamily::FreeTDS: return find(kFreeTDS, key);
    case DriverFamily::SQLite: return find(kSQLite, key);
    case DriverFamily::MDBTools: return find(kMDBTools, key);
    case DriverFamily::Other: break;
    }
    return AttributeRule::Unknown;
}

} // namespace rg
