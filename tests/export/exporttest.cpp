#include "exporttest.h"

#include "print/reportformats.h"
#include "testsupport.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

const char* const kCitySales = R"(
create table sales(id integer primary key, region text, city text, qty integer, price real,
                   note text, day date);
insert into sales values (1, '上海', '浦东', 1, 1.5, 'a', '2024-03-05');
insert into sales values (2, '北京', '海淀', 2, 2.25, null, '2024-01-02');
insert into sales values (3, '上海', '静安', null, null, 'c', '2024-02-01');
insert into sales values (4, '上海', '浦东', 4, 4.0, 'd', '2023-11-30');
insert into sales values (5, '北京', '朝阳', 5, 5.5, 'e', '2023-12-31');
)";

ExportDb::ExportDb(const std::string& sql) {
    char pattern[] = "/tmp/rg-export-XXXXXX";
    folder = mkdtemp(pattern);
    const std::string path = folder + "/t.db";
    rgtest::createSqliteFile(path, sql);
    conn.SetConnectionString(rgtest::builtin(path));
    grid.SetDataSet(&ds);
}

ExportDb::~ExportDb() {
    grid.SetDataSet(nullptr);
    ds.Close();
    conn.Close();
    std::filesystem::remove_all(folder);
}

void ExportDb::connect(const std::string& connectionString) {
    ds.Close();
    conn.Close();
    conn.SetConnectionString(connectionString);
}

void ExportDb::open(const std::string& select) {
    ds.Close();
    ds.SetCommandType(rg::CommandType::cmdText);
    ds.SetCommandText(select);
    ds.Open();
    grid.ClearGrouping();
    grid.SetShowRowFooter(true);
    grid.SetShowGroupPanel(true);
    grid.SetShowSummaryFooter(true);
    if (grid.ColumnCount() > 0) {
        grid.BeginUpdate();
        grid.BeginGroupingUpdate();
        for (int i = grid.ColumnCount() - 1; i >= 0; --i)
            grid.DestroyColumn(i);
        grid.EndGroupingUpdate();
        grid.EndUpdate();
    }
    grid.CreateColumnsForFields(ds);
    for (int i = 0; i < grid.ColumnCount(); ++i)
        grid.Columns(i).SetReadOnly(true);
}

void addSummary(rg::TdxDBGrid& g, rg::TdxDBGridColumn& c, rg::TdxSummaryType k) {
    rg::TdxDBGridSummaryItem& item = g.DefaultGroup().SummaryItems.Add();
    item.SetColumnName(c.Name());
    item.SetSummaryField(c.FieldName());
    item.SetSummaryType(k);
    c.SetSummaryFooterField(c.FieldName());
    c.SetSummaryFooterType(k);
}

rg::ExportResult exportCommand(rg::ExportCommand command, rg::TdxDBGrid& g,
                               const std::string& chosenName, int filterIndex) {
    const rg::ExportTarget t = rg::ReportFormats().target(command, chosenName, filterIndex);
    return t.format->write({&g, t.path, rg::GridAppearance()});
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

int run(const std::string& command, std::string* output) {
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr)
        return -1;
    char buf[4096];
    size_t n;
    std::string out;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int status = pclose(p);
    if (output != nullptr)
        *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

BiffFile::BiffFile(const std::string& bytes) {
    size_t at = 0;
    while (at + 4 <= bytes.size()) {
        BiffRecord r;
        r.id = static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                     (static_cast<unsigned char>(bytes[at + 1]) << 8));
        const size_t len = static_cast<unsigned char>(bytes[at + 2]) |
                           (static_cast<unsigned char>(bytes[at + 3]) << 8);
        r.data = bytes.substr(at + 4, len);
        at += 4 + len;
        records.push_back(r);
        if (r.id == 0x0201 || r.id == 0x0203 || r.id == 0x0204 || r.id == 0x0205 ||
            r.id == 0x027E || r.id == 0x0406)
            cells[{r.u16(0), r.u16(2)}] = r;
    }
}

const BiffRecord* BiffFile::cell(int row, int col) const {
    auto it = cells.find({row, col});
    return it == cells.end() ? nullptr : &it->second;
}

int BiffFile::rows() const {
    int n = 0;
    for (const auto& [rc, r] : cells)
        n = std::max(n, rc.first + 1);
    return n;
}

std::map<std::pair<int, int>, std::string> readWithXlrd(const std::string& path,
                                                        std::string* error) {
    const std::string script = std::string(RG_SOURCE_DIR) + "/tests/export/xlrd_dump.py";
    std::string out;
    const int rc =
        run("PYTHONIOENCODING=utf-8 /usr/bin/python3 " + script + " '" + path + "' 2>&1", &out);
    std::map<std::pair<int, int>, std::string> cells;
    if (rc != 0) {
        if (error != nullptr)
            *error = out;
        return cells;
    }
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        const size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
        cells[{std::stoi(line.substr(0, t1)), std::stoi(line.substr(t1 + 1, t2 - t1 - 1))}] =
            line.substr(t2 + 1);
    }
    return cells;
}

XlsxSheet readWithOpenpyxl(const std::string& path) {
    const std::string script = std::string(RG_SOURCE_DIR) + "/tests/export/openpyxl_dump.py";
    std::string out;
    XlsxSheet sheet;
    if (run("PYTHONIOENCODING=utf-8 /usr/bin/python3 " + script + " '" + path + "' 2>&1", &out) !=
        0) {
        sheet.error = out.empty() ? "openpyxl failed" : out;
        return sheet;
    }
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        for (size_t start = 0;;) {
            const size_t tab = line.find('\t', start);
            f.push_back(
                line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        if (f[0] == "cell" && f.size() >= 4)
            sheet.cells[{std::stoi(f[1]), std::stoi(f[2])}] = f[3];
        else if (f[0] == "format" && f.size() == 4)
            sheet.formats[{std::stoi(f[1]), std::stoi(f[2])}] = f[3];
        else if (f[0] == "level" && f.size() == 3)
            sheet.levels[std::stoi(f[1])] = std::stoi(f[2]);
        else if (f[0] == "width" && f.size() == 3)
            std::from_chars(f[2].data(), f[2].data() + f[2].size(), sheet.widths[std::stoi(f[1])]);
        else if (f.size() == 2)
            sheet.facts[f[0]] = f[1];
    }
    return sheet;
}

std::vector<XlsxSheet> importCsvWithLibreOffice(const std::vector<std::string>& paths) {
    // One office start for every file: starting it costs more than a small conversion.
    const std::string dir =
        std::filesystem::path(paths.at(0)).parent_path().string() + "/libreoffice";
    std::string cmd =
        "soffice -env:UserInstallation=file://" + dir +
        "/profile --headless --infilter='CSV:44,34,76,1' --convert-to xlsx --outdir '" + dir + "'";
    for (const std::string& path : paths)
        cmd += " '" + path + "'";
    std::string out;
    const int status = run(cmd + " 2>&1", &out);
    std::vector<XlsxSheet> sheets;
    for (const std::string& path : paths) {
        XlsxSheet failed;
        failed.error = out;
        sheets.push_back(
            status != 0 ? failed
                        : readWithOpenpyxl(dir + "/" + std::filesystem::path(path).stem().string() +
                                           ".xlsx"));
    }
    return sheets;
}

std::map<std::pair<int, int>, std::string> readWithLibreOffice(const std::string& path,
                                                               std::string* error) {
    const std::filesystem::path file(path);
    const std::string dir = file.parent_path().string() + "/libreoffice";
    // A profile of its own, so that a running office or another test does not interfere.
    const std::string cmd =
        "soffice -env:UserInstallation=file://" + dir +
        "/profile --headless --convert-to "
        "'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false' --outdir '" +
        dir + "' '" + path + "' 2>&1";
    std::string out;
    std::map<std::pair<int, int>, std::string> cells;
    const int status = run(cmd, &out);
    const std::string csv = readFile(dir + "/" + file.stem().string() + ".csv");
    if (status != 0 || csv.empty()) {
        if (error != nullptr)
            *error = out;
        return cells;
    }
    int row = 0, col = 0;
    std::string field;
    bool quoted = false, any = false;
    for (size_t i = 0; i <= csv.size(); ++i) {
        const char ch = i < csv.size() ? csv[i] : '\n';
        if (quoted) {
            if (ch == '"' && i + 1 < csv.size() && csv[i + 1] == '"')
                field += csv[++i];
            else if (ch == '"')
                quoted = false;
            else
                field += ch;
        } else if (ch == '"') {
            quoted = any = true;
        } else if (ch == ',' || ch == '\n') {
            if (!field.empty() || any)
                cells[{row, col}] = field;
            field.clear();
            any = false;
            if (ch == ',')
                ++col;
            else if (i < csv.size())
                ++row, col = 0;
        } else if (ch != '\r') {
            field += ch;
        }
    }
    return cells;
}
