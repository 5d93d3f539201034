#include "export/htmlexport.h"

#include "export/cellnumber.h"

#include <cstdio>
#include <filesystem>

namespace rg {
namespace {

std::string cssColor(RgbColor c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%06X", static_cast<unsigned>(c & 0xFFFFFF));
    return buf;
}

} // namespace

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        switch (ch) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            if (b >= 0x20 || ch == '\t' || ch == '\n' || ch == '\r')
                out += ch;
        }
    }
    return out;
}

void TdxDBGridExportHtml::BeginDocument() {
    cols_ = VisibleExportColumns();
    const std::string title = EscapeHtml(std::filesystem::path(FileName).stem().string());
    std::string& b = Stream->Buffer();
    b += "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
         title + "</title>\n";
    b += "<style>\ntable { border-collapse: collapse; font: " + std::to_string(Look.font.size) +
         "pt \"" + EscapeHtml(Look.font.name) +
         "\", sans-serif; color: " + cssColor(Look.font.color) + "; }\n";
    b += "th, td { padding: 1px 4px; vertical-align: top; white-space: pre-wrap; }\n";
    if (Look.showGrid)
        b += "th, td { border: 1px solid " + cssColor(Look.gridLineColor) + "; }\n";
    b += "th { background: " + cssColor(Look.headerColor) +
         "; color: " + cssColor(Look.headerFont.color) + "; text-align: left; }\n";
    b += "tr.group td { background: " + cssColor(Look.groupNodeColor) +
         "; color: " + cssColor(Look.groupNodeTextColor) + "; font-weight: bold; }\n";
    b += "tr.footer td { background: " + cssColor(Look.rowFooterColor) +
         "; color: " + cssColor(Look.rowFooterTextColor) + "; }\n";
    b += "tr.total td { background: " + cssColor(Look.headerColor) + "; font-weight: bold; }\n";
    b += "td.right { text-align: right; } td.center { text-align: center; "
         "}\n</style>\n</head>\n<body>\n<table>\n";
}

void TdxDBGridExportHtml::WriteHeaderRows() {
    std::string& b = Stream->Buffer();
    if (const std::string heading = Heading(); !heading.empty())
        b += "<caption>" + EscapeHtml(heading) + "</caption>\n";
    if (Look.showHeader) {
        b += "<thead><tr>";
        for (const TdxDBGridColumn* c : cols_)
            b +=
                "<th>" + (CaptionDisabled(*c) ? std::string() : EscapeHtml(c->Caption())) + "</th>";
        b += "</tr></thead>\n";
    }
    b += "<tbody>\n";
}

void TdxDBGridExportHtml::cells(const std::vector<std::string>& texts, const char* rowClass) {
    std::string& b = Stream->Buffer();
    b += rowClass[0] ? std::string("<tr class=\"") + rowClass + "\">" : std::string("<tr>");
    for (size_t i = 0; i < texts.size(); ++i) {
        const Alignment a = cols_[i]->alignment();
        b += a == Alignment::Right    ? "<td class=\"right\">"
             : a == Alignment::Center ? "<td class=\"center\">"
                                      : "<td>";
        b += EscapeHtml(texts[i]);
        b += "</td>";
    }
    b += "</tr>\n";
    Stream->FlushIfFull();
}

void TdxDBGridExportHtml::WriteNode(RowHandle node) {
    const TdxDBGrid& g = *Grid;
    if (g.HasChildren(node)) {
        std::string& b = Stream->Buffer();
        b += "<tr class=\"group\"><td colspan=\"" +
             std::to_string(std::max<size_t>(cols_.size(), 1)) +
             "\" style=\"padding-left: " + std::to_string(4 + 20 * g.Level(node)) + "px\">" +
             EscapeHtml(g.GroupRowText(node)) + "</td></tr>\n";
        Stream->FlushIfFull();
        return;
    }
    texts_.clear();
    for (const TdxDBGridColumn* c : cols_)
        texts_.push_back(ExactCellText(g, node, *c));
    cells(texts_, "");
    for (int j = 0; j < g.FooterRowCount(node); ++j) {
        texts_.clear();
        int label = -1; // the first cell without a footer says what the row totals
        for (const TdxDBGridColumn* c : cols_) {
            const bool exists = g.FooterCellExists(node, *c, j);
            if (!exists && label < 0)
                label = static_cast<int>(texts_.size());
            texts_.push_back(exists ? g.FooterCellText(node, *c, j) : std::string());
        }
        if (label >= 0) {
            const int level = g.FooterLevel(node, j);
            texts_[static_cast<size_t>(label)] = GroupFooterLabel(
                g, node, j, cols_, Grid->CellText(node, Grid->GroupColumns(level)));
        }
        cells(texts_, "footer");
    }
}

// The grand total is the body's last row: a browser repeats a tfoot at the foot of every
// printed page.
void TdxDBGridExportHtml::WriteFooterRows() {
    if (Grid->ShowSummaryFooter()) {
        texts_.clear();
        for (const TdxDBGridColumn* c : cols_)
            texts_.push_back(Grid->SummaryFooterCellExists(*c) ? Grid->SummaryFooterText(*c)
                                                               : std::string());
        if (const int label = SummaryLabelCell(0); label >= 0)
            texts_[static_cast<size_t>(label)] = kGrandTotalLabel;
        cells(texts_, "total");
    }
    Stream->Write("</tbody>\n");
}

void TdxDBGridExportHtml::EndDocument() {
    Stream->Write("</table>\n</body>\n</html>\n");
}

void ExportToHtml(TdxDBGrid& grid, const std::string& fileName, bool saveAll,
                  const GridAppearance& look) {
    RunExport<TdxDBGridExportHtml>(grid, fileName, saveAll, look);
}

} // namespace rg
