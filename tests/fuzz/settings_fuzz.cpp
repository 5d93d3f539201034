// Settings files as they travel between colleagues: the INI reader over any bytes, the
// unscrambling of every entry of every section a report load reads, the load itself (the
// program's own, over a table of the harness: captions, summaries, grid state, intervals,
// cross table, chart, server summary), and the writer's promises: a value it stores reads
// back unchanged next to whatever the file held, and a report it saves loads and saves
// again as the same file.

#include "chart/groupchart.h"
#include "common/codepage.h"
#include "common/error.h"
#include "fuzzsupport.h"
#include "fuzztable.h"
#include "grid/grid.h"
#include "setup/inifile.h"
#include "setup/reportdefinition.h"
#include "setup/setup.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

using namespace rg;
using rgfuzz::require;

namespace {

const char* const kChartKeys[] = {"Shown", "Type", "SummaryField", "SummaryKind"};

// Everything a report load reads, per-field entries under the names the lists and the
// sections' own keys give.
void readReport(TSetup& setup) {
    setup.ReadConnString();
    setup.ReadCommandType();
    setup.ReadCommandText();
    setup.ReadKeyField();
    setup.ReadFilterText();
    setup.ReadGroupRowSummaries();
    setup.ReadMoreSummaries();
    setup.ReadGroupColumns();
    setup.ReadHiddenColumns();
    setup.ReadCrossTable();
    setup.ReadServerSummaryEnabled();
    setup.ReadServerThreshold();
    for (const char* key : kChartKeys)
        setup.ReadChart(key);
    std::vector<std::string> names = setup.ReadColumnOrder();
    for (const auto list : {&TSetup::SummaryFieldNames, &TSetup::SortedColumnNames,
                            &TSetup::ColumnFilterNames, &TSetup::GroupIntervalNames}) {
        const std::vector<std::string> more = (setup.*list)();
        names.insert(names.end(), more.begin(), more.end());
    }
    for (const std::string& field : names) {
        setup.ReadField(field);
        setup.ReadSummaryField(field);
        setup.ReadColumnWidth(field);
        setup.ReadSortedColumn(field);
        setup.ReadColumnFilter(field);
        setup.ReadGroupInterval(field);
        setup.ReadParameterValue(field);
    }
}

bool readsWhole(TSetup& setup) {
    try {
        setup.ReadAll();
        readReport(setup);
        return true;
    } catch (const Error&) {
        return false;
    }
}

// What a report save writes, a load of the file reads again, whatever else the file held.
void checkSaveAndLoad(const std::string& path) {
    using Summaries = std::vector<std::pair<std::string, std::string>>;
    struct Report {
        std::string conn, type, text, key, filter, enabled, threshold;
        std::vector<std::string> groups, order, hidden, chart;
        Summaries rowSummaries, moreSummaries;
        TSetup::CrossTableEntries cross;
        bool operator==(const Report& o) const {
            const auto tie = [](const Report& r) {
                return std::tie(r.conn, r.type, r.text, r.key, r.filter, r.enabled, r.threshold,
                                r.groups, r.order, r.hidden, r.chart, r.rowSummaries,
                                r.moreSummaries, r.cross.field, r.cross.interval, r.cross.kind,
                                r.cross.summaryField);
            };
            return tie(*this) == tie(o);
        }
    };
    const auto load = [&] {
        TSetup setup(path);
        setup.ReadAll();
        Report r{setup.ReadConnString(),
                 setup.ReadCommandType(),
                 setup.ReadCommandText(),
                 setup.ReadKeyField(),
                 setup.ReadFilterText(),
                 setup.ReadServerSummaryEnabled(),
                 setup.ReadServerThreshold(),
                 setup.ReadGroupColumns(),
                 setup.ReadColumnOrder(),
                 setup.ReadHiddenColumns(),
                 {},
                 setup.ReadGroupRowSummaries(),
                 setup.ReadMoreSummaries(),
                 setup.ReadCrossTable()};
        for (const char* key : kChartKeys)
            r.chart.push_back(setup.ReadChart(key));
        return r;
    };
    Report loaded = load();
    // A cross table without its field is none, and none is what a save writes for it.
    if (loaded.cross.field.empty())
        loaded.cross = {};
    TSetup setup(path);
    setup.BeginReport();
    setup.WriteConnString(loaded.conn);
    setup.WriteCommandType(loaded.type);
    setup.WriteCommandText(loaded.text);
    setup.WriteKeyField(loaded.key);
    setup.WriteFilterText(loaded.filter);
    setup.WriteGroupColumns(loaded.groups);
    setup.WriteColumnOrder(loaded.order);
    setup.WriteHiddenColumns(loaded.hidden);
    setup.WriteGroupRowSummaries(loaded.rowSummaries);
    setup.WriteMoreSummaries(loaded.moreSummaries);
    setup.WriteCrossTable(loaded.cross);
    for (size_t i = 0; i < std::size(kChartKeys); ++i)
        if (!loaded.chart[i].empty())
            setup.WriteChart(kChartKeys[i], loaded.chart[i]);
    if (!loaded.enabled.empty())
        setup.WriteServerSummaryEnabled(loaded.enabled);
    if (!loaded.threshold.empty())
        setup.WriteServerThreshold(loaded.threshold);
    if (setup.EndReport())
        return;
    Report again = load();
    if (again.cross.field.empty())
        again.cross = {};
    require(again == loaded, "a saved report loads as it was");
}

// A report as the window and the runner hold one.
struct LiveReport {
    Connection conn;
    DataSet dataset{&conn};
    TdxDBGrid grid;
    GroupChart chart{grid};
    LiveReport() { grid.SetDataSet(&dataset); }
    ReportObjects objects() { return {conn, dataset, grid}; }
};

// The message of a load that fails.
std::optional<std::string> loadFailure(LiveReport& report, const std::string& path) {
    try {
        LoadSetup(report.objects(), path);
        return std::nullopt;
    } catch (const Error& e) {
        return e.what();
    }
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The program's own load of the file, its connection and command replaced by the harness's
// table: it fails with a message or arranges the grid, and what a save of it writes loads
// and saves again as the same file.
void checkProgramLoad(const std::string& path) {
    TSetup setup(path);
    if (!setup.WriteValue("ConnString", "connstring", rgfuzz::ordersConnection()) ||
        !setup.WriteValue("CommandType", "cmdType", "cmdText") ||
        !setup.WriteValue("commandtext", "commandtext", "SELECT * FROM orders"))
        return;
    LiveReport first;
    if (loadFailure(first, path))
        return;
    const std::string saved = (rgfuzz::scratchDir() / "saved.ini").string();
    const std::string again = (rgfuzz::scratchDir() / "again.ini").string();
    std::filesystem::remove(saved);
    std::filesystem::remove(again);
    SaveSetup(first.objects(), saved);
    LiveReport second;
    if (const auto failure = loadFailure(second, saved)) {
        std::fprintf(stderr, "%s\n", failure->c_str());
        require(false, "a saved report loads");
    }
    SaveSetup(second.objects(), again);
    require(fileBytes(saved) == fileBytes(again), "a saved report loads and saves as it was");
}

// The stored form of any code page bytes unscrambles to them again.
void checkScrambling(std::string_view bytes) {
    const std::string stored = TSetup::Scramble(TSetup::Encode(bytes));
    require(stored.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos,
            "a stored value holds no line end and no NUL");
    require(TSetup::Decode(TSetup::Scramble(stored)) == bytes, "unscrambling gives the bytes back");
}

} // namespace

// The input is the file. It is read and saved as a report, and a copy of it loaded by the
// program; then its first line, split at "=", is written as section, key and value (the
// rest of the line) and read again.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string path = rgfuzz::scratchFile("setup.ini", input);
    TSetup setup(path);
    // A list that cannot be read whole (a count that is no number, a missing entry) is
    // refused: such a file is no report to save again.
    if (readsWhole(setup))
        checkSaveAndLoad(path);
    checkProgramLoad(rgfuzz::scratchFile("load.ini", input));
    checkScrambling(input.substr(0, input.find('\n')));
    TSetup::Decode(input);

    const std::string_view first = input.substr(0, input.find_first_of("\r\n"));
    const size_t eq1 = first.find('='),
                 eq2 = first.find('=', eq1 == first.npos ? first.size() : eq1 + 1);
    if (eq2 == std::string_view::npos)
        return 0;
    const std::string section(first.substr(0, eq1)), key(first.substr(eq1 + 1, eq2 - eq1 - 1));
    const std::string value(first.substr(eq2 + 1));
    IniFile ini(path);
    if (IniFile::Writable(section, key, value) && ini.WriteString(section, key, value))
        require(ini.ReadString(section, key) == value, "a written entry reads back");
    // Text in and out as the setup accessor takes it: UTF-8 that the code page can hold.
    const std::string text = fromAnsi(toAnsi(fromAnsi(value)));
    if (setup.WriteValue(fromAnsi(section), fromAnsi(key), text))
        require(setup.ReadValue(fromAnsi(section), fromAnsi(key)) == text,
                "a written value reads back");
    readsWhole(setup);
    return 0;
}
