#include "export/xmlexport.h"

#include "export/cellnumber.h"
#include "export/xmltext.h"
#include "files/targetfile.h"

#include <filesystem>

namespace rg {
namespace {

std::string quoted(std::string_view name, std::string_view value) {
    std::string s;
    s.reserve(name.size() + value.size() + 4);
    s.append(name).append("=\"").append(value).append("\"");
    return s;
}

} // namespace

std::string ColumnXmlName(const TdxDBGridColumn& column) {
    return ColumnXmlName(column.Name(), column.Index());
}

void TdxDBGridExportXML::line(std::string_view text) {
    std::string& b = Stream->Buffer();
    b.append(static_cast<size_t>(2 * std::max(IndentLevel, 0)), ' ');
    b.append(text);
    b.append("\r\n");
    Stream->FlushIfFull();
}

void TdxDBGridExportXML::BeginDocument() {
    IndentLevel = 0;
    cols_ = VisibleExportColumns();
    names_.clear();
    for (TdxDBGridColumn* c : cols_)
        names_.push_back(ColumnXmlName(*c));
    const TdxDBGrid& grid = *Grid;
    const bool grouped = grid.GroupColumnCount() > 0;

    line("<?xml version = \"1.0\" ?>");
    TdxDBGridExportXSL xsl;
    // Through a symbolic link the document lands in the link's target: its style sheet goes
    // beside it there, where the relative href finds it.
    WriteTarget target;
    const std::string document =
        resolveWriteTarget(FileName, target) ? FileName : target.path.string();
    xsl.FileName = rg::StyleSheetPath(document);
    xsl.Grid = Grid;
    xsl.Look = Look;
    // The parameter values a report ran with are the grid's Heading; without them the
    // document and its style sheet are as they were.
    const std::string heading = Heading();
    xsl.ShowsHeading = !heading.empty();
    xsl.Execute();
    styleSheets_.push_back(std::move(xsl.Stream));
    // Opened through the link, the same relative reference looks in the link's folder: the
    // style sheet goes there too.
    const std::string besideLink =
        (std::filesystem::path(FileName).parent_path() / rg::StyleSheetName(document)).string();
    const auto resolved = [](const std::string& path) {
        std::error_code ec;
        return std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    };
    if (resolved(besideLink) != resolved(xsl.FileName)) {
        xsl.FileName = besideLink;
        xsl.Execute();
        styleSheets_.push_back(std::move(xsl.Stream));
    }
    // The standard processing instruction; the older "xml:stylesheet" form is read by nothing.
    line("<?xml-stylesheet type=\"text/xsl\" href=\"" + rg::StyleSheetName(document) + "\"?>");

    line("<!DOCTYPE GRID [");
    // An ungrouped grid always writes its ROWS element, empty or not.
    const bool hasRows = grid.TopCount() > 0;
    line(std::string("  <!ELEMENT GRID (BANDS, COLUMNS") + (!grouped  ? ", ROWS*)>"
                                                            : hasRows ? ", GROUP*)>"
                                                                      : ")>"));
    for (const char* l :
         {"  <!ATTLIST GRID ExportVersion CDATA #REQUIRED>", "  <!ELEMENT BANDS (BAND*)>",
          "  <!ELEMENT BAND EMPTY>", "  <!ATTLIST BAND Index CDATA #REQUIRED>",
          "  <!ATTLIST BAND Caption CDATA #IMPLIED>", "  <!ELEMENT COLUMNS (COLUMN*)>",
          "  <!ELEMENT COLUMN EMPTY>", "  <!ATTLIST COLUMN Name CDATA #REQUIRED>",
          "  <!ATTLIST COLUMN Caption CDATA #IMPLIED>", "  <!ATTLIST COLUMN Index CDATA #REQUIRED>",
          "  <!ATTLIST COLUMN BandIndex CDATA #REQUIRED>",
          "  <!ATTLIST COLUMN RowIndex CDATA #REQUIRED>",
          "  <!ATTLIST COLUMN ColIndex CDATA #REQUIRED>",
          "  <!ATTLIST COLUMN Width CDATA #IMPLIED>", "  <!ELEMENT GROUP (GROUP*, ROW*)>",
          "  <!ATTLIST GROUP GroupText CDATA #IMPLIED>", "  <!ELEMENT ROWS (ROW*)>",
          "  <!ELEMENT ROW EMPTY>"})
        line(l);
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        const TdxDBGridColumn& c = grid.Columns(i);
        if (c.Visible())
            line("  <!ATTLIST ROW " + ColumnXmlName(c) + " CDATA #IMPLIED>");
    }
    if (!heading.empty())
        line("  <!ATTLIST GRID Heading CDATA #IMPLIED>");
    line("]>");
    line(heading.empty()
             ? std::string("<GRID ExportVersion=\"1.0\">")
             : "<GRID ExportVersion=\"1.0\" Heading=\"" + EscapeXmlText(heading) + "\">");
}

void TdxDBGridExportXML::WriteHeaderRows() {
    IndentLevel = 1;
    line("<BANDS>");
    IndentLevel = 2;
    line("<BAND Index=\"0\" Caption=\"" + EscapeXmlText(Look.bandCaption) + "\"></BAND>");
    IndentLevel = 1;
    line("</BANDS>");
    IndentLevel = 0;

    IndentLevel = 1;
    line("<COLUMNS>");
    IndentLevel = 2;
    for (size_t i = 0; i < cols_.size(); ++i) {
        const TdxDBGridColumn& c = *cols_[i];
        std::string s = "<COLUMN Name=\"" + names_[i] + "\" Caption=\"" +
                        (CaptionDisabled(c) ? std::string() : EscapeXmlText(c.Caption())) + "\" ";
        s += "Index=\"" + std::to_string(c.Index()) +
             "\" BandIndex=\"0\" RowIndex=\"0\" ColIndex=\"" + std::to_string(i) + "\" Width=\"" +
             std::to_string(c.Width()) + "\"></COLUMN>";
        line(s);
    }
    IndentLevel = 1;
    line("</COLUMNS>");
    IndentLevel = 0;

    if (Grid->GroupColumnCount() == 0) {
        IndentLevel = 1;
        line("<ROWS>");
    }
}

void TdxDBGridExportXML::closeGroup() {
    line("</GROUP>");
    --GroupDepth;
    --IndentLevel;
}

void TdxDBGridExportXML::WriteNode(RowHandle node) {
    const TdxDBGrid& grid = *Grid;
    if (grid.HasChildren(node)) {
        while (grid.Level(node) < GroupDepth)
            closeGroup();
        ++IndentLevel;
        line("<GROUP GroupText=\"" + EscapeXmlText(grid.GroupRowText(node)) + "\">");
        ++GroupDepth;
        return;
    }
    ++IndentLevel;
    std::string s = "<ROW";
    for (size_t i = 0; i < cols_.size(); ++i) {
        const Value v = grid.CellValue(node, *cols_[i]);
        const std::string text =
            v.isDateLike() ? FormatXmlDate(v) : ExactCellText(grid, node, *cols_[i]);
        s += ' ';
        s += quoted(names_[i], EscapeXmlText(text));
    }
    s += "></ROW>";
    line(s);
    --IndentLevel;
}

void TdxDBGridExportXML::WriteFooterRows() {
    if (Grid->GroupColumnCount() > 0) {
        while (GroupDepth > 0)
            closeGroup();
        return;
    }
    IndentLevel = 1;
    line("</ROWS>");
    IndentLevel = 0;
}

void TdxDBGridExportXML::EndDocument() {
    IndentLevel = 0;
    line("</GRID>");
}

void TdxDBGridExportXML::CommitFiles() {
    for (const std::unique_ptr<ExportFile>& f : styleSheets_)
        f->Commit();
    styleSheets_.clear();
    TdxDBGridExport::CommitFiles();
}

void TdxDBGridExportXSL::line(int spaces, std::string_view text) {
    std::string& b = Stream->Buffer();
    b.append(static_cast<size_t>(spaces), ' ');
    b.append(text);
    b.append("\r\n");
}

void TdxDBGridExportXSL::Execute() {
    Stream = std::make_unique<ExportFile>(FileName);
    // The font name is written as it is, but characters outside ASCII as references, so
    // the style sheet stays readable by XML parsers.
    const std::string font =
        std::to_string(Look.font.size) + "pt " + AsciiWithCharRefs(Look.font.name);
    const int levels = Grid->GroupColumnCount();
    line(0, "<?xml version=\"1.0\"?>");
    line(0, "<xsl:stylesheet xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\" version=\"1.0\">");
    line(0, "  <xsl:template match=\"/\">");
    line(0, "    <HTML>");
    line(0, "      <BODY>");
    if (ShowsHeading)
        line(0, "        <H3><xsl:value-of select=\"/GRID/@Heading\"/></H3>");
    if (levels > 0)
        groupTemplate(0, levels, font);
    else
        rowsTable(0, false, font);
    line(0, "      </BODY>");
    line(0, "    </HTML>");
    line(0, "  </xsl:template>");
    line(0, "</xsl:stylesheet>");
    Stream->Flush();
}

void TdxDBGridExportXSL::groupTemplate(int k, int levels, const std::string& font) {
    const int in = 8 + 2 * k;
    line(in, std::string("<xsl:for-each select=\"") + (k == 0 ? "/GRID/GROUP" : "GROUP") + "\">");
    line(in, "  <TABLE style=\"font:" + font +
                 "\" BORDER=\"0\" CELLSPACING=\"0\" CELLPADDING=\"1\" BGCOLOR=\"#C0C0C0\">");
    line(in, "    <TR valign=\"top\">");
    line(in, "      <TD align=\"left\" width=\"20\">&#160;</TD><TD align=\"left\" width=\"100\">");
    line(in, "        &#160;<xsl:value-of select=\"@GroupText\"/>");
    line(in, "      </TD>");
    line(in, "    </TR>");
    line(in, "    <TR valign=\"top\">");
    line(in, "      <TD align=\"left\" width=\"20\">&#160;</TD><TD align=\"left\" width=\"100\">");
    if (k + 1 < levels)
        groupTemplate(k + 1, levels, font);
    else
        rowsTable(levels, true, font);
    line(in, "      </TD>");
    line(in, "    </TR>");
    line(in, "  </TABLE>");
    line(in, "</xsl:for-each>");
}

void TdxDBGridExportXSL::rowsTable(int k, bool grouped, const std::string& font) {
    const int in = 8 + 2 * k;
    line(in, "<TABLE style=\"font:" + font +
                 "\" border=\"1\" CELLSPACING=\"0\" CELLPADDING=\"1\" BGCOLOR=\"#FFFFFF\">");
    line(in, "  <THEAD style=\"font:bold; background-color:#C0C0C0\">");
    line(in, "    <TR valign=\"top\">");
    line(in, "      <xsl:for-each select=\"/GRID/COLUMNS/COLUMN\">");
    line(in, "        <TD align=\"left\">");
    line(in, "          <xsl:attribute name=\"width\"><xsl:value-of "
             "select=\"@Width\"/></xsl:attribute>");
    line(in, "          <xsl:value-of select=\"@Caption\"/>");
    line(in, "        </TD>");
    line(in, "      </xsl:for-each>");
    line(in, "    </TR>");
    line(in, "  </THEAD>");
    line(in,
         grouped ? "  <xsl:for-each select=\"ROW\">" : "  <xsl:for-each select=\"GRID/ROWS/ROW\">");
    line(in, "  <TR valign=\"top\">");
    for (TdxDBGridColumn* c : Grid->VisibleColumns()) {
        const std::string name = ColumnXmlName(*c);
        line(in, "    <TD align=\"left\">");
        line(in, "      <xsl:value-of select=\"@" + name + "\"/>");
        line(in, "      <xsl:if test=\"@" + name + "[.='']\">&#160;</xsl:if>");
        line(in, "    </TD>");
    }
    line(in, "  </TR>");
    line(in, "  </xsl:for-each>");
    line(in, "</TABLE>");
}

void ExportToXml(TdxDBGrid& grid, const std::string& fileName, bool saveAll,
                 const GridAppearance& look) {
    RunExport<TdxDBGridExportXML>(grid, fileName, saveAll, look);
}

} // namespace rg
