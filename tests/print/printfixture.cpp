#include "printfixture.h"

#include "print/pdfexport.h"

#include <QGuiApplication>

SalesDb::SalesDb(int rows)
    : ExportDb("CREATE TABLE sales (id INTEGER PRIMARY KEY, region TEXT, city TEXT, amount REAL);"
               "WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s WHERE n < " +
               std::to_string(rows) +
               ") INSERT INTO sales SELECT n, CASE n % 3 WHEN 1 THEN '华北' WHEN 2 THEN '华东' "
               "ELSE '华南' END,"
               " CASE n % 3 WHEN 1 THEN '北京' WHEN 2 THEN '上海' ELSE '广州' END || (n % 2), n + "
               "0.5 FROM s;") {
    open("SELECT id AS 编号, region AS 地区, city AS 城市, amount AS 金额 FROM sales ORDER BY id");
    grid.SetKeyField("编号");
}

void SalesDb::groupByRegion(bool withSums) {
    if (withSums)
        addSummary(grid, *grid.ColumnByFieldName("金额"), rg::TdxSummaryType::cstSum);
    grid.GroupColumn(*grid.ColumnByFieldName("地区"), 0);
    grid.ExpandAll();
}

void guiApp() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "print_tests";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}

void printToPdf(const rg::TdxDBGridReportLink& link, const std::string& path) {
    rg::WriteReportPdf(link, path);
}

std::vector<std::string> pdfPages(const std::string& path) {
    std::string text;
    if (run("pdftotext -layout '" + path + "' -", &text) != 0)
        return {};
    std::vector<std::string> pages;
    size_t start = 0;
    for (size_t ff; (ff = text.find('\f', start)) != std::string::npos; start = ff + 1)
        pages.push_back(text.substr(start, ff - start));
    return pages;
}

std::string pdfPageSize(const std::string& path) {
    std::string info;
    run("pdfinfo '" + path + "'", &info);
    const size_t at = info.find("Page size:");
    if (at == std::string::npos)
        return {};
    const size_t start = info.find_first_not_of(' ', at + 10);
    return info.substr(start, info.find('\n', at) - start);
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + what.size()))
        ++n;
    return n;
}
