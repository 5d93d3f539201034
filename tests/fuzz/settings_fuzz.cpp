// Settings files as they travel between colleagues: the INI reader over any bytes, the
// unscrambling of every entry a report load reads, and the writer's promise that a value
// it stores reads back unchanged, next to whatever the file held.

#include "common/codepage.h"
#include "common/error.h"
#include "fuzzsupport.h"
#include "setup/inifile.h"
#include "setup/setup.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace rg;
using rgfuzz::require;

namespace {

// Everything a report load reads, fields and summaries under the names the lists give.
void readReport(TSetup& setup) {
    setup.ReadConnString();
    setup.ReadCommandType();
    setup.ReadCommandText();
    setup.ReadKeyField();
    setup.ReadFilterText();
    setup.ReadGroupRowSummaries();
    setup.ReadGroupColumns();
    setup.ReadHiddenColumns();
    for (const std::string& field : setup.ReadColumnOrder()) {
        setup.ReadField(field);
        setup.ReadSummaryField(field);
        setup.ReadColumnWidth(field);
        setup.ReadSortedColumn(field);
        setup.ReadColumnFilter(field);
        setup.ReadParameterValue(field);
    }
}

bool readsWhole(TSetup& setup) {
    try {
        readReport(setup);
        return true;
    } catch (const Error&) {
        return false;
    }
}

// What a report save writes, a load of the file reads again, whatever else the file held.
void checkSaveAndLoad(const std::string& path) {
    struct Report {
        std::string conn, type, text, key, filter;
        std::vector<std::string> groups, order, hidden;
        std::vector<std::pair<std::string, std::string>> rowSummaries;
        bool operator==(const Report&) const = default;
    };
    const auto load = [&] {
        TSetup setup(path);
        return Report{
            setup.ReadConnString(),  setup.ReadCommandType(),   setup.ReadCommandText(),
            setup.ReadKeyField(),    setup.ReadFilterText(),    setup.ReadGroupColumns(),
            setup.ReadColumnOrder(), setup.ReadHiddenColumns(), setup.ReadGroupRowSummaries()};
    };
    const Report loaded = load();
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
    if (setup.EndReport())
        return;
    require(load() == loaded, "a saved report loads as it was");
}

// The stored form of any code page bytes unscrambles to them again.
void checkScrambling(std::string_view bytes) {
    const std::string stored = TSetup::Scramble(TSetup::Encode(bytes));
    require(stored.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos,
            "a stored value holds no line end and no NUL");
    require(TSetup::Decode(TSetup::Scramble(stored)) == bytes, "unscrambling gives the bytes back");
}

} // namespace

// The input is the file. It is loaded and saved as a report; then its first line, split at
// "=", is written as section, key and value (the rest of the line) and read again.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string path = rgfuzz::scratchFile("setup.ini", input);
    TSetup setup(path);
    // A list that cannot be read whole (a count that is no number, a missing entry) is
    // refused: such a file is no report to save again.
    if (readsWhole(setup))
        checkSaveAndLoad(path);
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
