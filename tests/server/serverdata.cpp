#include "serverdata.h"

#include "odbcsession.h"
#include "testsupport.h"

#include <cstdio>

namespace rgtest {

const char* const kRegions[5] = {"华东", "华北", "north", "North ", nullptr};

namespace {

const char* const kCats[3] = {"甲", "a'b", nullptr};
const char* const kNotes[6] = {"it's \\ 中", "wow!", "100%", "ab_c", "x'); DROP TABLE sv_rows;--",
                               nullptr};

const char* const kFlags[3] = {"TRUE", "NULL", "FALSE"};

std::string literal(const char* s, bool backslashEscapes) {
    if (!s)
        return "NULL";
    std::string out = "'";
    for (const char* p = s; *p; ++p) {
        if (*p == '\'')
            out += '\'';
        if (*p == '\\' && backslashEscapes)
            out += '\\';
        out += *p;
    }
    return out + "'";
}

std::string insertRows(int rows, bool mariadb) {
    std::string sql;
    for (int i = 0; i < rows; ++i) {
        char amount[32] = "NULL", big[32] = "NULL", day[32] = "NULL";
        if (i % 7 != 3)
            std::snprintf(amount, sizeof amount, "%.2f", ((i * 37) % 200 - 100) * 0.1);
        if (i % 11 != 5)
            std::snprintf(big, sizeof big, "%lld", 1000000000000000LL + (i % 50) * 12345678901LL);
        if (i % 13 != 6)
            std::snprintf(day, sizeof day, "'2024-%02d-%02d'", 1 + i % 3, 1 + i % 28);
        sql += (i % 100 == 0 ? std::string(i ? ";\n" : "") + "INSERT INTO sv_rows VALUES " : ",") +
               "(" + std::to_string(i + 1) + "," + literal(kRegions[i % 5], mariadb) + "," +
               literal(kCats[i % 3], mariadb) + "," + amount + "," + big + "," + day + "," +
               literal(kNotes[i % 6], mariadb) + "," + kFlags[i % 3] + ")";
    }
    return sql + ";\n";
}

const char* kColumns = "(id BIGINT PRIMARY KEY, region VARCHAR(20), cat VARCHAR(20), "
                       "amount DECIMAL(14,2), big BIGINT, day DATE, note VARCHAR(60), flag BOOLEAN)";

} // namespace

std::string makeServerTable(const Backend& b, int rows) {
    if (b.name == "sqlite") {
        const std::string path =
            makeSqliteFile("server", std::string("CREATE TABLE sv_rows") + kColumns + ";\n" +
                                         insertRows(rows, false));
        return builtin(path);
    }
    const bool mariadb = b.name == "mariadb";
    OdbcSession s(b.connectionString);
    s.exec("DROP TABLE IF EXISTS sv_rows");
    s.exec(std::string("CREATE TABLE sv_rows") + kColumns +
           (mariadb ? " DEFAULT CHARSET=utf8mb4" : ""));
    const std::string inserts = insertRows(rows, mariadb);
    size_t start = 0;
    for (size_t end; (end = inserts.find(";\n", start)) != std::string::npos; start = end + 2)
        s.exec(inserts.substr(start, end - start));
    s.commit();
    return b.connectionString;
}

} // namespace rgtest
