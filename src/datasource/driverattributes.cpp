#include "datasource/driverattributes.h"

namespace rg {
namespace {

// Names in lower case without blanks, as the guard compares them, separated by blanks.
struct FamilyRules {
    std::string_view allowed, whenOff, refused;
};

bool holds(std::string_view names, std::string_view key) {
    for (size_t at = names.find(key); at != std::string_view::npos; at = names.find(key, at + 1)) {
        const size_t end = at + key.size();
        if ((at == 0 || names[at - 1] == ' ') && (end == names.size() || names[end] == ' '))
            return true;
    }
    return false;
}

// psqlODBC: each setting by its name and by its two-character abbreviation. CX packs many
// switches into one number, the log switches among them; Pqopt (D5) hands libpq key and
// certificate files; Logdir moves the logs.
const FamilyRules kPostgreSQLRules{
    "servername server port username uid password pwd database sslmode ca readonly a0 "
    "protocol a1 fakeoidindex a2 showoidcolumn a3 rowversioning a4 showsystemtables a5 "
    "fetch a7 socket a8 unknownsizes a9 maxvarcharsize b0 "
    "maxlongvarcharsize b1 optimizer b4 ksqo b5 usedeclarefetch b6 textaslongvarchar b7 "
    "unknownsaslongvarchar b8 boolsaschar b9 parse c0 extrasystableprefixes c2 "
    "updatablecursors c4 lfconversion c5 trueisminus1 c6 byteaaslongvarbinary c7 "
    "useserversideprepare c8 lowercaseidentifier c9 keepalivetime d1 keepaliveinterval "
    "d2 numericas d6 optionalerrors d7 batchsize d8 ignoretimeout d9 fetchrefcursors da "
    "bi uniqueindex ab",
    "debug b2 commlog b3",
    "cx pqopt d5 logdir",
};

// MariaDB Connector/ODBC: the TLS attributes naming key, certificate, revocation and
// fingerprint files, the plugin folder and the saved file DSN are refused.
const FamilyRules kMariaDBRules{
    "server servername uid user pwd password database db port socket tcpip namedpipe "
    "conn_timeout read_timeout write_timeout auto_reconnect no_prompt charset "
    "interactive forwardonly schemanoerror sslcipher sslverify tlspeerfp sslfp "
    "tlsversion forcetls tlskeypwd",
    "trace use_mycnf",
    "plugin_dir sslkey sslcert sslca sslcapath sslcrl sslcrlpath tlspeerfplist "
    "sslfplist serverkey savefile",
};

// FreeTDS: the protocol dump and the database file attached on opening are refused.
const FamilyRules kFreeTDSRules{
    "servername server port address tds_version uid pwd database language textsize "
    "packetsize clientcharset client_charset app wsid encryption trusted_connection "
    "usentlmv2 mars_connection realm serverspn applicationintent timeout",
    "debugflags",
    "dumpfile dumpfileappend attachdbfilename",
};

// The SQLite ODBC driver: extensions and the trace file are refused.
const FamilyRules kSQLiteRules{
    "database timeout stepapi syncpragma notxn shortnames longnames nocreat nowchar "
    "fksupport journalmode oemcp bigint jdconv pwd",
    "",
    "loadext tracefile",
};

const FamilyRules kMDBToolsRules{
    "dbq database",
    "",
    "",
};

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
    case DriverFamily::PostgreSQL:
        return "psqlODBC";
    case DriverFamily::MariaDB:
        return "MariaDB Connector/ODBC";
    case DriverFamily::FreeTDS:
        return "FreeTDS";
    case DriverFamily::SQLite:
        return "SQLite ODBC";
    case DriverFamily::MDBTools:
        return "MDB Tools";
    case DriverFamily::Other:
        break;
    }
    return "ODBC";
}

AttributeRule attributeRule(DriverFamily family, std::string_view key) {
    // The keywords ODBC itself defines for SQLDriverConnect, which the connection dialog
    // writes for a data source of any driver.
    if (key == "driver" || key == "dsn" || key == "uid" || key == "pwd" || key == "description")
        return AttributeRule::Allowed;
    if (family == DriverFamily::MariaDB && (key == "option" || key == "options"))
        return AttributeRule::OptionBits;
    const FamilyRules* rules = nullptr;
    switch (family) {
    case DriverFamily::PostgreSQL:
        rules = &kPostgreSQLRules;
        break;
    case DriverFamily::MariaDB:
        rules = &kMariaDBRules;
        break;
    case DriverFamily::FreeTDS:
        rules = &kFreeTDSRules;
        break;
    case DriverFamily::SQLite:
        rules = &kSQLiteRules;
        break;
    case DriverFamily::MDBTools:
        rules = &kMDBToolsRules;
        break;
    case DriverFamily::Other:
        return AttributeRule::Unknown;
    }
    if (key.empty() || key.find(' ') != std::string_view::npos)
        return AttributeRule::Unknown;
    if (holds(rules->allowed, key))
        return AttributeRule::Allowed;
    if (holds(rules->whenOff, key))
        return AttributeRule::WhenOff;
    return holds(rules->refused, key) ? AttributeRule::Refused : AttributeRule::Unknown;
}

} // namespace rg
