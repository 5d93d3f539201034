// The place an error names in the SQL text, read from the messages the servers give.
#include "datasource/sqlerrorplace.h"

#include <gtest/gtest.h>

using namespace rg;

namespace {

// The text at the place `message` names, or "(none)".
std::string placed(const std::string& message, const std::string& sql) {
    const std::optional<SqlErrorPlace> p = sqlErrorPlace(message, sql);
    return p ? sql.substr(p->offset, p->length) + "@" + std::to_string(p->offset) : "(none)";
}

} // namespace

TEST(SqlErrorPlace, ReadsEachServersWords) {
    // MariaDB: the rest of the text from the line it names, the first token marked.
    const std::string twoLines = "select a from t\nwhere a from t";
    EXPECT_EQ(placed("You have an error in your SQL syntax; check the manual that corresponds "
                     "to your MariaDB server version for the right syntax to use near 'from t' "
                     "at line 2",
                     twoLines),
              "from@24");
    EXPECT_EQ(placed("... to use near '' at line 1", "select a from"), "m@12");
    // SQLite and PostgreSQL: the token, as a whole word and ignoring case.
    EXPECT_EQ(placed("near \"FORM\": syntax error", "select information form t"), "form@19");
    EXPECT_EQ(placed("ERROR: syntax error at or near \"c\";\nError while preparing parameters",
                     "select a b c"),
              "c@11");
    // A name the server does not know, a qualified one by its last part.
    EXPECT_EQ(placed("no such column: t.regoin", "select regoin from t"), "regoin@7");
    EXPECT_EQ(placed("ERROR: relation \"销售\" does not exist", "select * from 销售"), "销售@14");
    EXPECT_EQ(placed("Unknown column 'qty' in 'field list'", "select qty from t"), "qty@7");
    // What the text does not hold, and messages that name no place.
    EXPECT_EQ(placed("no such table: tmp1", "select * from t"), "(none)");
    EXPECT_EQ(placed("database is locked", "select 1"), "(none)");
}
