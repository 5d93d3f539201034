#include "setup/setup.h"

#include "common/codepage.h"
#include "common/error.h"

#include <charconv>

namespace rg {
namespace {

constexpr std::string_view kConnSectionRead = "ConnString";
constexpr std::string_view kConnSectionWritten = "Connstring";
constexpr std::string_view kConnKey = "connstring";
constexpr std::string_view kTypeSection = "CommandType";
constexpr std::string_view kTypeKeyRead = "cmdType";
constexpr std::string_view kTypeKeyWritten = "cmdtype";
constexpr std::string_view kTextSection = "commandtext";
constexpr std::string_view kTextKey = "commandtext";
constexpr std::string_view kKeyFieldSection = "KeyField";
constexpr std::string_view kKeyFieldKey = "KeyField";
constexpr std::string_view kFieldSection = "Field";
constexpr std::string_view kParameterSection = "ParameterValue";
constexpr std::string_view kSummarySection = "SummaryField";
// The grid's own state; the original program reads none of these sections.
constexpr std::string_view kGroupSection = "GroupColumns";
constexpr std::string_view kOrderSection = "ColumnOrder";
constexpr std::string_view kHiddenSection = "HiddenColumns";
constexpr std::string_view kWidthSection = "ColumnWidth";
constexpr std::string_view kSortSection = "SortedColumns";
constexpr std::string_view kFilterSection = "ColumnFilters";
constexpr std::string_view kFilterTextSection = "FilterText";
constexpr std::string_view kFilterTextKey = "Filter";
constexpr std::string_view kGroupRowSummarySection = "GroupRowSummaries";
// The second and further footer summaries of a field: its first stays in kSummarySection,
// which holds one kind per field.
constexpr std::string_view kMoreSummarySection = "MoreSummaries";
// Calculated fields in their order, each "name=expression".
constexpr std::string_view kCalculatedSection = "CalculatedFields";
constexpr std::string_view kFormulaSection = "SummaryFormulas";
// The interval a column's group rows stand for, by field name ("月", "区间100").
constexpr std::string_view kIntervalSection = "GroupIntervals";
constexpr std::string_view kCrossTableSection = "CrossTable";
// Summaries shown otherwise, a list of "mode kind place field"; each level's top N by the
// grouped field's name, "count kind field".
constexpr std::string_view kShowAsSection = "ShowValuesAs";
constexpr std::string_view kTopGroupsSection = "TopGroups";
constexpr std::string_view kChartSection = "Chart";
constexpr std::string_view kPrintSection = "PrintOptions";
constexpr std::string_view kFooterFormatSection = "FooterFormats";
constexpr std::string_view kServerSection = "ServerSummary";
constexpr std::string_view kServerEnabledKey = "Enabled";
constexpr std::string_view kServerThresholdKey = "Threshold";
constexpr std::string_view kProcedureSection = "StoredProcedure";
constexpr std::string_view kProcedureMayWriteKey = "MayWrite";
// The named parameters of the SQL text: their types, defaults and lists.
constexpr std::string_view kReportParameterSection = "ReportParameters";
// A list is "Count" entries keyed 1, 2, ...: entries beyond the count, left by a longer
// list written entry by entry, are not part of it.
constexpr std::string_view kCountKey = "Count";

// Every section a report save writes anew; names match whatever their letter case.
const std::vector<std::string_view> kReportSections = {
    kConnSectionRead,    kTypeSection,         kTextSection,
    kKeyFieldSection,    kFieldSection,        kParameterSection,
    kSummarySection,     kGroupSection,        kOrderSection,
    kHiddenSection,      kWidthSection,        kSortSection,
    kFilterSection,      kFilterTextSection,   kGroupRowSummarySection,
    kMoreSummarySection, kIntervalSection,     kCrossTableSection,
    kChartSection,       kServerSection,       kProcedureSection,
    kPrintSection,       kFooterFormatSection, kReportParameterSection,
    kShowAsSection,      kTopGroupsSection,    kCalculatedSection,
    kFormulaSection,
};

// 81 21 is no character of GBK or GB18030 (21 is no trail byte), so no plain value starts
// with it, and its complement 7E DE ends no line.
constexpr std::string_view kMarker = "\x81\x21";

constexpr std::string_view kBase64 =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        for (int shift : {18, 12, 6, 0})
            out += kBase64[(v >> shift) & 63];
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kBase64[(v >> 18) & 63];
        out += kBase64[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kBase64[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::optional<std::string> base64Decode(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    size_t pad = 0;
    while (pad < 2 && pad < text.size() && text[text.size() - 1 - pad] == '=')
        ++pad;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    unsigned v = 0;
    for (size_t i = 0; i < text.size() - pad; ++i) {
        const size_t d = kBase64.find(text[i]);
        if (d == std::string_view::npos)
            return std::nullopt;
        v = v << 6 | unsigned(d);
        if (i % 4 == 3) {
            out += char(v >> 16 & 0xFF);
            out += char(v >> 8 & 0xFF);
            out += char(v & 0xFF);
            v = 0;
        }
    }
    if (pad == 2)
        out += char(v >> 4 & 0xFF);
    if (pad == 1) {
        out += char(v >> 10 & 0xFF);
        out += char(v >> 2 & 0xFF);
    }
    return out;
}

} // namespace

TSetup::TSetup(std::string fileName) : fileName_(std::move(fileName)), ini_(fileName_) {}

std::string TSetup::Scramble(std::string_view Value) {
    std::string out(Value);
    for (char& c : out)
        c = static_cast<char>(255 - static_cast<unsigned char>(c));
    return out;
}

// F2 and F5 complement to CR and LF, FF to NUL: such bytes go base64 behind the marker.
// Every other value is stored as its plain bytes.
std::string TSetup::Encode(std::string_view ansi) {
    if (ansi.find_first_of("\xF2\xF5\xFF") == std::string_view::npos)
        return std::string(ansi);
    return std::string(kMarker) + base64Encode(ansi);
}

std::string TSetup::Decode(std::string_view stored) {
    if (stored.substr(0, kMarker.size()) == kMarker)
        if (auto bytes = base64Decode(stored.substr(kMarker.size())))
            return *bytes;
    return std::string(stored);
}

std::string TSetup::ReadValue(std::string_view Section, std::string_view Key) {
    const std::optional<std::string> stored = ini_.ReadString(toAnsi(Section), toAnsi(Key));
    if (!stored)
        return {};
    return fromAnsi(Decode(Scramble(*stored)));
}

bool TSetup::WriteValue(std::string_view Section, std::string_view Key, std::string_view Value) {
    const std::string section = toAnsi(Section), key = toAnsi(Key);
    // Line breaks stay in the value: their complements F2 F5 are ordinary bytes in the file.
    std::string value = Scramble(Encode(toAnsi(Value)));
    if (!report_)
        return ini_.WriteString(section, key, value);
    if (!IniFile::Writable(section, key, value))
        return false;
    // Names that match share one entry, as they do in the file.
    Report& r = *report_;
    const auto [s, newSection] =
        r.sectionAt.try_emplace(IniFile::NameKey(section), r.sections.size());
    if (newSection) {
        r.sections.push_back(IniSection{section, {}});
        r.entryAt.emplace_back();
    }
    IniSection& into = r.sections[s->second];
    const auto [e, newEntry] =
        r.entryAt[s->second].try_emplace(IniFile::NameKey(key), into.entries.size());
    if (newEntry)
        into.entries.emplace_back(key, std::move(value));
    else
        into.entries[e->second].second = std::move(value);
    return true;
}

void TSetup::BeginReport() {
    report_.emplace();
}

std::error_code TSetup::EndReport() {
    if (!report_)
        return {};
    const std::vector<IniSection> sections = std::move(report_->sections);
    report_.reset();
    return ini_.ReplaceSections(kReportSections, sections);
}

std::error_code TSetup::ReadAll() {
    return ini_.Load();
}

std::vector<std::string> TSetup::readList(std::string_view section, bool whole) {
    const std::string count = ReadValue(section, kCountKey);
    int n = 0;
    const auto [end, ec] = std::from_chars(count.data(), count.data() + count.size(), n);
    if (whole && (ec != std::errc() || end != count.data() + count.size() || n < 0) &&
        !count.empty())
        throw Error(format("设置文件中的列表 [%s] 无法使用：项目数“%s”不是数目",
                           std::string(section).c_str(), count.c_str()));
    std::vector<std::string> items;
    const std::string ansiSection = toAnsi(section);
    for (int i = 1; i <= n; ++i) {
        const std::string key = std::to_string(i);
        // A list ends where its entries do, whatever its count claims.
        if (!ini_.ReadString(ansiSection, key)) {
            if (whole)
                throw Error(format("设置文件中的列表 [%s] 无法使用：缺少第 %d 项",
                                   std::string(section).c_str(), i));
            break;
        }
        items.push_back(ReadValue(section, key));
    }
    return items;
}

namespace {

std::vector<std::string> namesFromAnsi(const std::vector<std::string>& keys) {
    std::vector<std::string> names;
    names.reserve(keys.size());
    for (const std::string& k : keys)
        names.push_back(fromAnsi(k));
    return names;
}

} // namespace

std::vector<std::string> TSetup::SummaryFieldNames() {
    return namesFromAnsi(ini_.Keys(toAnsi(kSummarySection)));
}
std::vector<std::string> TSetup::SortedColumnNames() {
    return namesFromAnsi(ini_.Keys(toAnsi(kSortSection)));
}
std::vector<std::string> TSetup::ColumnFilterNames() {
    return namesFromAnsi(ini_.Keys(toAnsi(kFilterSection)));
}
std::vector<std::string> TSetup::GroupIntervalNames() {
    return namesFromAnsi(ini_.Keys(toAnsi(kIntervalSection)));
}
std::vector<std::string> TSetup::CaptionFieldNames() {
    return namesFromAnsi(ini_.Keys(toAnsi(kFieldSection)));
}
std::vector<std::string> TSetup::ColumnWidthNames() {
    return namesFromAnsi(ini_.Keys(toAnsi(kWidthSection)));
}
std::vector<std::string> TSetup::ParameterNames() {
    return namesFromAnsi(ini_.Keys(toAnsi(kParameterSection)));
}

void TSetup::writeList(std::string_view section, const std::vector<std::string>& items) {
    if (items.empty())
        return;
    for (size_t i = 0; i < items.size(); ++i)
        WriteValue(section, std::to_string(i + 1), items[i]);
    WriteValue(section, kCountKey, std::to_string(items.size()));
}

void TSetup::writeCached(std::string& cache, std::string_view section, std::string_view key,
                         const std::string& value) {
    if (value == cache)
        return;
    // A write that failed is not remembered, so writing the same value again retries it.
    if (WriteValue(section, key, value))
        cache = value;
}

std::string TSetup::ReadConnString() {
    return connString_ = ReadValue(kConnSectionRead, kConnKey);
}
std::string TSetup::ReadCommandType() {
    return commandType_ = ReadValue(kTypeSection, kTypeKeyRead);
}
std::string TSetup::ReadCommandText() {
    return commandText_ = ReadValue(kTextSection, kTextKey);
}
std::string TSetup::ReadKeyField() {
    return keyField_ = ReadValue(kKeyFieldSection, kKeyFieldKey);
}

std::string TSetup::ReadField(const std::string& fieldName) {
    return ReadValue(kFieldSection, fieldName);
}
std::string TSetup::ReadParameterValue(const std::string& parameterName) {
    return ReadValue(kParameterSection, parameterName);
}
std::string TSetup::ReadSummaryField(const std::string& fieldName) {
    return ReadValue(kSummarySection, fieldName);
}

void TSetup::WriteConnString(const std::string& Value) {
    writeCached(connString_, kConnSectionWritten, kConnKey, Value);
}
void TSetup::WriteCommandType(const std::string& Value) {
    writeCached(commandType_, kTypeSection, kTypeKeyWritten, Value);
}
void TSetup::WriteCommandText(const std::string& Value) {
    writeCached(commandText_, kTextSection, kTextKey, Value);
}
void TSetup::WriteKeyField(const std::string& Value) {
    writeCached(keyField_, kKeyFieldSection, kKeyFieldKey, Value);
}

// A failed write is lost silently.
void TSetup::WriteField(const std::string& fieldName, const std::string& caption) {
    WriteValue(kFieldSection, fieldName, caption);
}
void TSetup::WriteParameterValue(const std::string& parameterName, const std::string& value) {
    WriteValue(kParameterSection, parameterName, value);
}
void TSetup::WriteSummaryField(const std::string& fieldName, const std::string& summaryKind) {
    WriteValue(kSummarySection, fieldName, summaryKind);
}

std::vector<std::string> TSetup::ReadGroupColumns() {
    return readList(kGroupSection, true);
}
void TSetup::WriteGroupColumns(const std::vector<std::string>& fieldNames) {
    writeList(kGroupSection, fieldNames);
}
std::vector<std::string> TSetup::ReadColumnOrder() {
    return readList(kOrderSection);
}
void TSetup::WriteColumnOrder(const std::vector<std::string>& fieldNames) {
    writeList(kOrderSection, fieldNames);
}
std::vector<std::string> TSetup::ReadHiddenColumns() {
    return readList(kHiddenSection);
}
void TSetup::WriteHiddenColumns(const std::vector<std::string>& fieldNames) {
    writeList(kHiddenSection, fieldNames);
}

std::string TSetup::ReadColumnWidth(const std::string& fieldName) {
    return ReadValue(kWidthSection, fieldName);
}
void TSetup::WriteColumnWidth(const std::string& fieldName, const std::string& width) {
    WriteValue(kWidthSection, fieldName, width);
}
std::string TSetup::ReadSortedColumn(const std::string& fieldName) {
    return ReadValue(kSortSection, fieldName);
}
void TSetup::WriteSortedColumn(const std::string& fieldName, const std::string& direction) {
    WriteValue(kSortSection, fieldName, direction);
}
std::string TSetup::ReadColumnFilter(const std::string& fieldName) {
    return ReadValue(kFilterSection, fieldName);
}
void TSetup::WriteColumnFilter(const std::string& fieldName, const std::string& condition) {
    WriteValue(kFilterSection, fieldName, condition);
}
std::string TSetup::ReadGroupInterval(const std::string& fieldName) {
    return ReadValue(kIntervalSection, fieldName);
}
void TSetup::WriteGroupInterval(const std::string& fieldName, const std::string& interval) {
    WriteValue(kIntervalSection, fieldName, interval);
}
std::string TSetup::ReadChart(std::string_view key) {
    return ReadValue(kChartSection, key);
}
void TSetup::WriteChart(std::string_view key, const std::string& value) {
    WriteValue(kChartSection, key, value);
}
std::string TSetup::ReadPrintOption(std::string_view key) {
    return ReadValue(kPrintSection, key);
}
void TSetup::WritePrintOption(std::string_view key, const std::string& value) {
    WriteValue(kPrintSection, key, value);
}
std::vector<std::string> TSetup::FooterFormatNames() {
    return namesFromAnsi(ini_.Keys(toAnsi(kFooterFormatSection)));
}
std::string TSetup::ReadFooterFormat(const std::string& fieldName) {
    return ReadValue(kFooterFormatSection, fieldName);
}
void TSetup::WriteFooterFormat(const std::string& fieldName, const std::string& pattern) {
    WriteValue(kFooterFormatSection, fieldName, pattern);
}

std::string TSetup::ReadReportParameter(std::string_view key) {
    return ReadValue(kReportParameterSection, key);
}
void TSetup::WriteReportParameter(std::string_view key, const std::string& value) {
    WriteValue(kReportParameterSection, key, value);
}

std::string TSetup::ReadFilterText() {
    return ReadValue(kFilterTextSection, kFilterTextKey);
}
void TSetup::WriteFilterText(const std::string& Value) {
    if (!Value.empty())
        WriteValue(kFilterTextSection, kFilterTextKey, Value);
}

// Each entry is the kind's name, a blank and the field name; kind names hold no blank.
TSetup::SummaryList TSetup::readSummaryList(std::string_view section, const char* what) {
    SummaryList summaries;
    for (const std::string& entry : readList(section, true)) {
        const size_t blank = entry.find(' ');
        if (blank == std::string::npos)
            throw Error(format("设置文件中的%s无法使用：无法识别“%s”", what, entry.c_str()));
        summaries.emplace_back(entry.substr(blank + 1), entry.substr(0, blank));
    }
    return summaries;
}

void TSetup::writeSummaryList(std::string_view section, const SummaryList& summaries) {
    std::vector<std::string> entries;
    for (const auto& [field, kind] : summaries)
        entries.push_back(kind + ' ' + field);
    writeList(section, entries);
}

std::vector<std::pair<std::string, std::string>> TSetup::ReadGroupRowSummaries() {
    return readSummaryList(kGroupRowSummarySection, "分组行汇总");
}
void TSetup::WriteGroupRowSummaries(
    const std::vector<std::pair<std::string, std::string>>& summaries) {
    writeSummaryList(kGroupRowSummarySection, summaries);
}
std::vector<std::pair<std::string, std::string>> TSetup::ReadMoreSummaries() {
    return readSummaryList(kMoreSummarySection, "汇总");
}
void TSetup::WriteMoreSummaries(const std::vector<std::pair<std::string, std::string>>& summaries) {
    writeSummaryList(kMoreSummarySection, summaries);
}

namespace {

// The first `n` words of an entry and the rest, which may hold blanks; nullopt when it has
// fewer words.
std::optional<std::vector<std::string>> splitWords(const std::string& entry, size_t n) {
    std::vector<std::string> parts;
    size_t at = 0;
    for (size_t i = 0; i < n; ++i) {
        const size_t blank = entry.find(' ', at);
        if (blank == std::string::npos || blank == at)
            return std::nullopt;
        parts.push_back(entry.substr(at, blank - at));
        at = blank + 1;
    }
    if (at >= entry.size())
        return std::nullopt;
    parts.push_back(entry.substr(at));
    return parts;
}

} // namespace

std::vector<TSetup::ShowAsEntry> TSetup::ReadShowValuesAs() {
    std::vector<ShowAsEntry> entries;
    for (const std::string& entry : readList(kShowAsSection, true)) {
        const auto p = splitWords(entry, 3);
        if (!p)
            throw Error(format("设置文件中的显示方式无法使用：无法识别“%s”", entry.c_str()));
        entries.push_back({(*p)[3], (*p)[1], (*p)[2], (*p)[0]});
    }
    return entries;
}

void TSetup::WriteShowValuesAs(const std::vector<ShowAsEntry>& entries) {
    std::vector<std::string> items;
    for (const ShowAsEntry& e : entries)
        items.push_back(e.mode + ' ' + e.kind + ' ' + e.place + ' ' + e.field);
    writeList(kShowAsSection, items);
}

std::vector<TSetup::TopEntry> TSetup::ReadTopGroups() {
    std::vector<TopEntry> entries;
    for (const std::string& level : namesFromAnsi(ini_.Keys(toAnsi(kTopGroupsSection)))) {
        const std::string entry = ReadValue(kTopGroupsSection, level);
        const auto p = splitWords(entry, 2);
        if (!p)
            throw Error(format("设置文件中“%s”的前 N 项无法使用：无法识别“%s”", level.c_str(),
                               entry.c_str()));
        entries.push_back({level, (*p)[0], (*p)[2], (*p)[1]});
    }
    return entries;
}

void TSetup::WriteTopGroups(const std::vector<TopEntry>& entries) {
    for (const TopEntry& e : entries)
        WriteValue(kTopGroupsSection, e.level, e.count + ' ' + e.kind + ' ' + e.field);
}

std::vector<std::pair<std::string, std::string>> TSetup::ReadCalculatedFields() {
    std::vector<std::pair<std::string, std::string>> fields;
    for (const std::string& entry : readList(kCalculatedSection, true)) {
        const size_t equals = entry.find('=');
        if (equals == std::string::npos || equals == 0)
            throw Error("设置文件中的计算字段无法使用：无法识别“" + entry + "”");
        fields.emplace_back(entry.substr(0, equals), entry.substr(equals + 1));
    }
    return fields;
}

void TSetup::WriteCalculatedFields(const std::vector<std::pair<std::string, std::string>>& fields) {
    std::vector<std::string> entries;
    for (const auto& [name, expression] : fields)
        entries.push_back(name + '=' + expression);
    writeList(kCalculatedSection, entries);
}

std::vector<TSetup::FormulaEntry> TSetup::ReadSummaryFormulas() {
    std::vector<FormulaEntry> formulas;
    for (const std::string& entry : readList(kFormulaSection, true)) {
        const size_t name = entry.find('=');
        const size_t field = name == std::string::npos ? name : entry.find('=', name + 1);
        if (field == std::string::npos || name == 0)
            throw Error("设置文件中的汇总公式无法使用：无法识别“" + entry + "”");
        formulas.push_back({entry.substr(0, name), entry.substr(name + 1, field - name - 1),
                            entry.substr(field + 1)});
    }
    return formulas;
}

void TSetup::WriteSummaryFormulas(const std::vector<FormulaEntry>& formulas) {
    std::vector<std::string> entries;
    for (const FormulaEntry& f : formulas)
        entries.push_back(f.name + '=' + f.field + '=' + f.expression);
    writeList(kFormulaSection, entries);
}

TSetup::CrossTableEntries TSetup::ReadCrossTable() {
    return {ReadValue(kCrossTableSection, "Field"), ReadValue(kCrossTableSection, "Interval"),
            ReadValue(kCrossTableSection, "Kind"), ReadValue(kCrossTableSection, "SummaryField")};
}

void TSetup::WriteCrossTable(const CrossTableEntries& e) {
    if (e.field.empty())
        return;
    WriteValue(kCrossTableSection, "Field", e.field);
    if (!e.interval.empty())
        WriteValue(kCrossTableSection, "Interval", e.interval);
    WriteValue(kCrossTableSection, "Kind", e.kind);
    if (!e.summaryField.empty())
        WriteValue(kCrossTableSection, "SummaryField", e.summaryField);
}

std::string TSetup::ReadServerSummaryEnabled() {
    return ReadValue(kServerSection, kServerEnabledKey);
}
void TSetup::WriteServerSummaryEnabled(const std::string& Value) {
    WriteValue(kServerSection, kServerEnabledKey, Value);
}
std::string TSetup::ReadServerThreshold() {
    return ReadValue(kServerSection, kServerThresholdKey);
}
void TSetup::WriteServerThreshold(const std::string& Value) {
    WriteValue(kServerSection, kServerThresholdKey, Value);
}

std::string TSetup::ReadProcedureMayWrite() {
    return ReadValue(kProcedureSection, kProcedureMayWriteKey);
}
void TSetup::WriteProcedureMayWrite(const std::string& Value) {
    WriteValue(kProcedureSection, kProcedureMayWriteKey, Value);
}

} // namespace rg
