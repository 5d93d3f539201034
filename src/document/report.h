#pragma once

// The whole report as one value: where its rows come from and everything the user arranged
// over them, in the terms of a settings file (field names, kind names, interval names), so
// that a file reads into a Report and a Report writes into a file without loss. The window's
// undo history holds Reports; loading one builds the connection, data set, grid and chart
// from it (setup/reportdefinition.h).

#include "calc/calcfield.h"
#include "calc/summaryformula.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace rg {

// A named parameter of the SQL text (`:开始日期`); the texts are those of
// datasource/sqlparameters.h.
struct ParameterSetting {
    std::string name;
    std::string type;         // "date", "datetime", "number", "text", "list"
    std::string defaultValue; // a value, or "@" and a date preset
    std::string rangeEnd;     // the parameter of the range's last day, on its first
    std::string listQuery;
    std::vector<std::string> listValues;
    bool operator==(const ParameterSetting&) const = default;
};

// Where the rows come from. A different source means a different data set.
struct ReportSource {
    std::string connectionString;
    std::string commandType; // "cmdText", "cmdTable", "cmdStoredProc"; empty: not named
    std::string commandText;
    // A stored procedure's parameter values by name, as texts.
    std::vector<std::pair<std::string, std::string>> parameters;
    std::vector<ParameterSetting> sqlParameters;
    // Whether the server summarizes ("1", "0", empty: by the row count) and above how many
    // rows; both empty when the report keeps the default.
    std::string serverSummary, serverThreshold;
    std::string procedureMayWrite; // "1" when the stored procedure may change the database
    bool operator==(const ReportSource&) const = default;
};

// What the report says about one field, found by its name ignoring ASCII case; an empty
// text says nothing.
struct FieldSetting {
    std::string name;
    std::string caption;
    std::string width;
    std::string sort;     // "csUp", "csDown"
    std::string filter;   // a column filter as stored
    std::string interval; // the interval name of its group rows while grouped
    // The number pattern of its summary footer ("[大写金额]"); empty: its kind's own.
    std::string footerFormat = {};
    bool operator==(const FieldSetting&) const = default;
};

struct SummarySetting {
    std::string field, kind; // kind: "cstsum" ... as SummaryTypeName spells it
    bool operator==(const SummarySetting&) const = default;
};

struct CrossSetting {
    std::string field, interval, kind, summaryField; // field empty: no cross table
    bool operator==(const CrossSetting&) const = default;
};

struct ChartSetting {
    bool shown = false;
    std::string type, summaryField, summaryKind;
    bool operator==(const ChartSetting&) const = default;
};

// How the report prints, as far as a save keeps it; empty texts keep the print engine's own.
struct PrintSetting {
    std::string pageSubtotals;      // "1": each page ends with its sum and the sum so far
    std::string headersOnEveryPage; // "0": the column headers head the first page alone
    std::string paper;              // "A4", "Letter" ... or "210x297" in millimetres
    std::string orientation;        // "Portrait", "Landscape"
    bool operator==(const PrintSetting&) const = default;
};

// A summary shown otherwise than as its values: the summary by its field, kind and place
// ("footer" or "row"), the mode by name (grid/showas.h).
struct ShowAsSetting {
    std::string field, kind, place, mode;
    bool operator==(const ShowAsSetting&) const = default;
};

// The top N of a grouping level: the grouped field, the count and the summary it goes by.
struct TopGroupsSetting {
    std::string level, count, field, kind;
    bool operator==(const TopGroupsSetting&) const = default;
};

struct Report {
    ReportSource source;
    // Computed over the source's fields, in memory only; they come before every other entry
    // that names a field.
    std::vector<CalculatedField> calculated;
    std::string keyField;
    std::vector<FieldSetting> fields;
    std::vector<std::string> grouping; // field names, outermost level first
    std::vector<std::string> columnOrder, hiddenColumns;
    // The first footer summary of each field, the further ones, and those shown in the
    // group rows, each in the order of the grid's summary items.
    std::vector<SummarySetting> footerSummaries, moreSummaries, groupRowSummaries;
    std::string filterText; // a filter expression given by other means than columns
    CrossSetting cross;
    ChartSetting chart;
    PrintSetting print;
    std::vector<ShowAsSetting> showAs;
    std::vector<TopGroupsSetting> topGroups;
    // Over the summaries of each group; `column` names the field of the column showing one.
    std::vector<SummaryFormula> formulas;

    bool operator==(const Report&) const = default;
};

// The field entries and footer kinds of a report by name, ignoring ASCII case, for as long
// as the report stays as it was; the first entry of a name counts.
class FieldLookup {
public:
    explicit FieldLookup(const Report& report);
    // nullptr when the report says nothing about the field.
    const FieldSetting* field(std::string_view name) const;
    // The field's footer summary kind, empty when it has none.
    std::string footerKind(std::string_view fieldName) const;
    // The caption the report gives the field, else the name itself.
    std::string captionOf(std::string_view fieldName) const;

private:
    const Report& report_;
    std::unordered_map<std::string, size_t> fieldAt_, footerAt_;
};

} // namespace rg
