// Writes the ready-made demo reports into a setup folder, through the program's own settings
// accessor, so they are exactly what a user's save would produce. The demo database is
// named by the path given, "demo.db" beside the program by default.

#include "setup/setup.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Report {
    std::string name, kind, command, keyField;
    std::vector<std::pair<std::string, std::string>> captions, summaries;
};

const std::vector<Report> kReports = {
    {"销售明细",
     "cmdTable",
     "sales",
     "order_id",
     {{"order_id", "订单号"},
      {"order_date", "订单日期"},
      {"region", "地区"},
      {"city", "城市"},
      {"salesperson", "销售员"},
      {"product", "产品"},
      {"category", "类别"},
      {"quantity", "数量"},
      {"unit_price", "单价"},
      {"discount", "折扣"},
      {"amount", "金额"},
      {"paid", "已付款"},
      {"remark", "备注"}},
     {{"quantity", "cstsum"}, {"amount", "cstsum"}}},
    {"地区产品汇总",
     "cmdText",
     "select order_id, region, category, product, quantity, unit_price, amount\r\nfrom "
     "sales\r\nwhere quantity > 0",
     "order_id",
     {{"order_id", "订单号"},
      {"region", "地区"},
      {"category", "类别"},
      {"product", "产品"},
      {"quantity", "数量"},
      {"unit_price", "单价"},
      {"amount", "金额"}},
     {{"product", "cstcount"},
      {"quantity", "cstsum"},
      {"unit_price", "cstmin"},
      {"amount", "cstmax"}}},
    {"订单日期统计",
     "cmdText",
     "select order_id, order_date, salesperson, amount from sales",
     "order_id",
     {{"order_id", "订单号"},
      {"order_date", "订单日期"},
      {"salesperson", "销售员"},
      {"amount", "金额"}},
     {{"order_date", "cstmin"}, {"order_id", "cstcount"}, {"amount", "cstavg"}}},
};

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s SETUP_FOLDER [DATABASE]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const std::string database = argc == 3 ? argv[2] : "demo.db";
    std::filesystem::create_directories(folder);
    for (const Report& r : kReports) {
        const std::string file = (folder / (r.name + ".ini")).string();
        std::filesystem::remove(file); // written anew, so no entry of an older build stays
        rg::TSetup setup(file);
        // A relative database path starts in the program's folder.
        setup.WriteConnString("Provider=SQLite;Data Source=" + database);
        setup.WriteCommandType(r.kind);
        setup.WriteCommandText(r.command);
        setup.WriteKeyField(r.keyField);
        for (const auto& [field, caption] : r.captions)
            setup.WriteField(field, caption);
        for (const auto& [field, kind] : r.summaries)
            setup.WriteSummaryField(field, kind);
    }
    return 0;
}
