#pragma once

// Every format the grid is written in, registered once: its name (as the runner's --format
// takes it), extensions, save dialog text and writer. The window's export commands build
// their dialogs' filters and pick the writer here, and so does the runner.

#include "export/appearance.h"

#include <string>
#include <string_view>
#include <vector>

namespace rg {

class TdxDBGrid;
class TdxDBGridReportLink;

// What a writer is asked to write.
struct ExportJob {
    TdxDBGrid* grid = nullptr;
    std::string path; // empty: standard output, for the formats that write there
    GridAppearance look;
    // The report's lines, each with its kind and level, for scripts (the runner's CSV);
    // otherwise a sheet for spreadsheet programs.
    bool listing = false;
    // What a paged format prints: this report, built already (the window's report link with
    // the user's page setup); none: a report of its own on the grid with the print engine's
    // first settings and numbered pages, for a file read away from the program.
    const TdxDBGridReportLink* report = nullptr;
    // The report's name, which a paged report of its own prints as its title when the report
    // has parameters, followed by their values ("销售明细（2026年2月）").
    std::string reportName;
};

struct ExportResult {
    std::string path;   // the file written (a symbolic link's target for an XML document)
    std::string notice; // what the user should know about the file, or empty
};

// Writes the whole file, or leaves the old one; errors (rg::Error, rg::Cancelled) reach the
// caller.
using ExportWriter = ExportResult (*)(const ExportJob& job);

struct ExportFormat {
    std::string name;
    std::vector<std::string> extensions; // the first is given to a name without any
    std::string dialogText;              // in the save dialog's filter; empty: in no dialog
    ExportWriter write = nullptr;
    bool toStandardOutput = false; // writes to standard output when given no path
    // Pages laid out by the print engine: the window builds its report first, and painting
    // their text takes a GUI application (though no display).
    bool paged = false;
    // What the window tells the user after writing such a file, about opening it; empty:
    // nothing.
    std::string openingNote;
};

// The window's export commands, each with the formats its save dialog offers.
enum class ExportCommand { Spreadsheet, XmlDocument, Pdf };

struct ExportTarget {
    std::string path;
    const ExportFormat* format = nullptr;
};

class ExportRegistry {
public:
    // A name registered twice is a programming error (std::logic_error).
    void add(ExportFormat format);
    // The formats a command offers, in its dialog's order, and the one it takes when the
    // dialog names no filter.
    void addCommand(ExportCommand command, std::vector<std::string> formats, std::string unnamed);

    const std::vector<ExportFormat>& formats() const { return formats_; }
    const ExportFormat* find(std::string_view name) const;
    // The names in registration order: "text, csv or pdf".
    std::string nameList() const;

    // The command's dialog filter: "Excel 工作簿|*.xlsx|电子表格|*.xls".
    std::string dialogFilter(ExportCommand command) const;
    // A typed extension of one of the command's formats decides the format and the name
    // stays as typed; otherwise the chosen filter (its position in the command's filter, -1
    // when the dialog did not say) decides, and a name without "." gets its extension.
    ExportTarget target(ExportCommand command, const std::string& chosenName,
                        int filterIndex) const;

private:
    struct Command {
        ExportCommand id;
        std::vector<std::string> formats;
        std::string unnamed;
    };
    const Command& command(ExportCommand id) const;
    const ExportFormat& format(const std::string& name) const;
    std::vector<ExportFormat> formats_;
    std::vector<Command> commands_;
};

// The formats of the core library (text, csv, xls, xlsx, xml, html) with the spreadsheet
// and XML document commands; the print library adds PDF.
void AddCoreFormats(ExportRegistry& registry);

} // namespace rg
