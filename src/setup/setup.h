#pragma once

// The accessor of one settings file: names the sections and keys of a report setup,
// scrambles values (every code page byte b stored as 255 - b) and writes the four
// single-valued entries only when they change. A missing entry reads as empty text. A
// report save writes the file once and says why it failed; a single write that cannot be
// stored is lost silently.

#include "setup/inifile.h"

#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

namespace rg {

class TSetup {
public:
    // Neither opens nor creates the file; the first write creates it.
    explicit TSetup(std::string fileName);

    const std::string& FileName() const { return fileName_; }

    // Reads the file once, for a load of a whole report: the reads after it answer from
    // that copy. Returns no_such_file_or_directory for a missing file, which then reads as
    // empty, and the reason for a file that cannot be read.
    std::error_code ReadAll();

    std::string ReadConnString();
    std::string ReadCommandType();
    std::string ReadCommandText();
    std::string ReadKeyField();

    std::string ReadField(const std::string& fieldName);
    std::string ReadParameterValue(const std::string& parameterName);
    std::string ReadSummaryField(const std::string& fieldName);

    // Write only when Value differs from what this accessor last read or stored for the
    // entry, so a fresh accessor never blanks an entry with an empty value.
    void WriteConnString(const std::string& Value);
    void WriteCommandType(const std::string& Value);
    void WriteCommandText(const std::string& Value);
    void WriteKeyField(const std::string& Value);

    void WriteField(const std::string& fieldName, const std::string& caption);
    void WriteParameterValue(const std::string& parameterName, const std::string& value);
    void WriteSummaryField(const std::string& fieldName, const std::string& summaryKind);

    // The field names that have a summary, sort, column filter or group interval entry, as
    // the file spells them; only after ReadAll.
    std::vector<std::string> SummaryFieldNames();
    std::vector<std::string> SortedColumnNames();
    std::vector<std::string> ColumnFilterNames();
    std::vector<std::string> GroupIntervalNames();
    // Likewise the fields with a caption or a width entry, and the saved parameter names.
    std::vector<std::string> CaptionFieldNames();
    std::vector<std::string> ColumnWidthNames();
    std::vector<std::string> ParameterNames();

    // The grid as the user left it, in sections the original program never reads. Lists
    // hold field names in their order (an empty list writes nothing); the per-field
    // entries are keyed by field name. The grouping and the group row summaries change
    // what the report shows, so a list of them that cannot be read whole (a count that is
    // no number, a missing entry, an entry without its kind) throws rg::Error naming it;
    // the other lists end at their first gap.
    std::vector<std::string> ReadGroupColumns();
    void WriteGroupColumns(const std::vector<std::string>& fieldNames);
    std::vector<std::string> ReadColumnOrder();
    void WriteColumnOrder(const std::vector<std::string>& fieldNames);
    std::vector<std::string> ReadHiddenColumns();
    void WriteHiddenColumns(const std::vector<std::string>& fieldNames);
    std::string ReadColumnWidth(const std::string& fieldName);
    void WriteColumnWidth(const std::string& fieldName, const std::string& width);
    std::string ReadSortedColumn(const std::string& fieldName);
    void WriteSortedColumn(const std::string& fieldName, const std::string& direction);
    // A column's filter condition, and a filter text given by other means than columns.
    std::string ReadColumnFilter(const std::string& fieldName);
    void WriteColumnFilter(const std::string& fieldName, const std::string& condition);
    // The interval of a column's group rows by its stored name ("月", "区间100"); only
    // columns that have one are written.
    std::string ReadGroupInterval(const std::string& fieldName);
    void WriteGroupInterval(const std::string& fieldName, const std::string& interval);
    std::string ReadFilterText();
    void WriteFilterText(const std::string& Value);
    // The chart shown beside the grid, a section written only while it is shown.
    std::string ReadChart(std::string_view key);
    void WriteChart(std::string_view key, const std::string& value);
    // How the report prints ("PageSubtotals", "HeadersOnEveryPage", "Paper", "Orientation"),
    // a section written only when something differs from the print engine's own.
    std::string ReadPrintOption(std::string_view key);
    void WritePrintOption(std::string_view key, const std::string& value);
    // A summary footer's number pattern by field; only fields that have one are written.
    std::vector<std::string> FooterFormatNames();
    std::string ReadFooterFormat(const std::string& fieldName);
    void WriteFooterFormat(const std::string& fieldName, const std::string& pattern);
    // The named parameters of the SQL text, a section written only when it has some.
    std::string ReadReportParameter(std::string_view key);
    void WriteReportParameter(std::string_view key, const std::string& value);
    // Summaries shown in the group rows, in their order, as (field name, kind name).
    std::vector<std::pair<std::string, std::string>> ReadGroupRowSummaries();
    void WriteGroupRowSummaries(const std::vector<std::pair<std::string, std::string>>& summaries);
    // Footer summaries beyond the first of their field (whose kind "SummaryField" holds), in
    // their order, as (field name, kind name).
    std::vector<std::pair<std::string, std::string>> ReadMoreSummaries();
    void WriteMoreSummaries(const std::vector<std::pair<std::string, std::string>>& summaries);
    // How summaries are shown otherwise than as their values, each entry a summary by its
    // field, kind and place ("footer" or "row") and the mode's name; and the top N of
    // grouping levels by the grouped field's name: the count and the summary by field and
    // kind. Sections written only when used; an entry that cannot be read throws rg::Error
    // naming it.
    struct ShowAsEntry {
        std::string field, kind, place, mode;
    };
    std::vector<ShowAsEntry> ReadShowValuesAs();
    void WriteShowValuesAs(const std::vector<ShowAsEntry>& entries);
    struct TopEntry {
        std::string level, count, field, kind;
    };
    std::vector<TopEntry> ReadTopGroups();
    void WriteTopGroups(const std::vector<TopEntry>& entries);
    // Calculated fields in their order, as (name, expression); a name holds no '='.
    std::vector<std::pair<std::string, std::string>> ReadCalculatedFields();
    void WriteCalculatedFields(const std::vector<std::pair<std::string, std::string>>& fields);
    // Summary formulas in their order, each "名称=字段=表达式" (the field of the column that
    // shows it, empty for none); neither name nor field holds '='.
    struct FormulaEntry {
        std::string name, field, expression;
    };
    std::vector<FormulaEntry> ReadSummaryFormulas();
    void WriteSummaryFormulas(const std::vector<FormulaEntry>& formulas);
    // Where the report's grouping and summaries are computed: "1" on the database server,
    // else wherever the row count decides; and that row count. Empty when not saved.
    std::string ReadServerSummaryEnabled();
    void WriteServerSummaryEnabled(const std::string& Value);
    std::string ReadServerThreshold();
    void WriteServerThreshold(const std::string& Value);

    // Whether the stored procedure may change the database: "1", else empty.
    std::string ReadProcedureMayWrite();
    void WriteProcedureMayWrite(const std::string& Value);

    // The cross table: its field, the interval name of its values, the cells' summary kind
    // and field. Nothing is written for an empty field; a file without one reads as such.
    struct CrossTableEntries {
        std::string field, interval, kind, summaryField;
    };
    CrossTableEntries ReadCrossTable();
    void WriteCrossTable(const CrossTableEntries& entries);

    // A save of a whole report. From BeginReport on, writes are collected; EndReport then
    // writes the file once, holding exactly the entries written since, in the report's
    // sections; sections of other programs stay byte for byte. On failure the file is
    // as it was and the error says why.
    void BeginReport();
    std::error_code EndReport();
    // The file is written for its owner alone (mode 0600): it holds a password.
    void SetOwnerOnly(bool ownerOnly) { ini_.SetOwnerOnly(ownerOnly); }

    // UTF-8 text in and out; the file holds code page 936 bytes.
    std::string ReadValue(std::string_view Section, std::string_view Key);
    // Returns whether the value reached the file; callers of the named writes never learn it.
    bool WriteValue(std::string_view Section, std::string_view Key, std::string_view Value);

    // Every byte b becomes 255 - b; its own inverse.
    static std::string Scramble(std::string_view Value);

    // The code page bytes as they go into the file, before scrambling: the plain bytes, or
    // the marked form for bytes whose complement would end a line or the text.
    static std::string Encode(std::string_view ansi);
    static std::string Decode(std::string_view stored);

private:
    std::vector<std::string> readList(std::string_view section, bool whole = false);
    void writeList(std::string_view section, const std::vector<std::string>& items);
    using SummaryList = std::vector<std::pair<std::string, std::string>>;
    SummaryList readSummaryList(std::string_view section, const char* what);
    void writeSummaryList(std::string_view section, const SummaryList& summaries);
    void writeCached(std::string& cache, std::string_view section, std::string_view key,
                     const std::string& value);

    std::string fileName_;
    IniFile ini_;
    std::string connString_;
    std::string commandType_;
    std::string commandText_;
    std::string keyField_;
    // The entries of a report save, until EndReport stores them, and where each name is
    // (by IniFile::NameKey), so that a save of many entries costs one look-up each.
    struct Report {
        std::vector<IniSection> sections;
        std::unordered_map<std::string, size_t> sectionAt;
        std::vector<std::unordered_map<std::string, size_t>> entryAt; // one per section
    };
    std::optional<Report> report_;
};

} // namespace rg
