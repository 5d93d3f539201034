#include "datasource/dataset.h"

#include <gtest/gtest.h>

using namespace rg;

// The demo database the build puts beside the programs, read by a relative path.
TEST(DemoDatabase, OpensThroughTheBuiltInProvider) {
    Connection conn;
    conn.SetConnectionString("Provider=SQLite;Data Source=demo.db");
    std::vector<std::string> tables;
    conn.ListTableNames(tables, false);
    EXPECT_NE(std::find(tables.begin(), tables.end(), "sales"), tables.end());
    EXPECT_NE(std::find(tables.begin(), tables.end(), "v_region_sales"), tables.end());
    DataSet ds(&conn);
    ds.SetCommandType(CommandType::cmdTable);
    ds.SetCommandText("sales");
    ds.Open();
    EXPECT_GE(ds.RecordCount(), 5000);
    EXPECT_EQ(ds.FieldByName("order_date").Kind(), FieldKind::Date);
    EXPECT_EQ(ds.FieldByName("amount").Kind(), FieldKind::BCD); // NUMERIC, held exactly
    EXPECT_EQ(ds.FieldByName("paid").Kind(), FieldKind::Boolean);
    const int remark = ds.FieldByName("remark").Index();
    int nulls = 0;
    for (int r = 0; r < ds.RecordCount(); ++r)
        nulls += ds.isNull(r, remark);
    EXPECT_GT(nulls, 0);
    EXPECT_LT(nulls, ds.RecordCount());
    EXPECT_EQ(ds.displayText(0, ds.FieldByName("order_date").Index()), "2023-01-01");
}
