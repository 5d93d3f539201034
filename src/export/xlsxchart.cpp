#include "export/xlsxchart.h"

#include "chart/chartpainter.h"
#include "export/workbookwriter.h"
#include "export/xmltext.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace rg {

namespace {

std::string cellRef(int sheet, int col, int64_t row) {
    return WorkbookWriter::sheetName(sheet) + "!$" + WorkbookWriter::columnName(col) + "$" +
           std::to_string(row + 1);
}

// One area, or the areas of several cells in parentheses; empty when too long.
std::string areas(const std::vector<std::string>& cells) {
    if (cells.size() == 1)
        return cells.front();
    std::string f = "(";
    for (size_t i = 0; i < cells.size(); ++i)
        f += (i ? "," : "") + cells[i];
    f += ")";
    return f.size() <= XlsxChart::kMaxReference ? f : std::string();
}

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string textRun(const std::string& text) {
    return "<c:tx><c:rich><a:bodyPr/><a:p><a:r><a:t>" + EscapeXmlText(text) +
           "</a:t></a:r></a:p></c:rich></c:tx>";
}

std::string solidFill(uint32_t rgb) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%06X", static_cast<unsigned>(rgb & 0xFFFFFF));
    return std::string("<a:solidFill><a:srgbClr val=\"") + hex + "\"/></a:solidFill>";
}

} // namespace

XlsxChart::XlsxChart(const GroupChart& chart, int valueColumn)
    : data_(chart.data()), type_(chart.type()), valueColumn_(valueColumn),
      points_(data_.categories.size()) {}

void XlsxChart::groupRow(RowHandle group, int sheet, int64_t row, int col,
                         const std::string& text) {
    last_ = -1;
    for (size_t i = 0; i < data_.groups.size(); ++i)
        if (data_.groups[i] == group) {
            points_[i].textSheet = sheet;
            points_[i].textRow = row;
            points_[i].textCol = col;
            points_[i].text = text;
            last_ = static_cast<int>(i);
        }
}

void XlsxChart::footerRow(int sheet, int64_t row) {
    if (last_ >= 0) {
        points_[static_cast<size_t>(last_)].valueSheet = sheet;
        points_[static_cast<size_t>(last_)].valueRow = row;
    }
}

std::vector<size_t> XlsxChart::shownPoints() const {
    std::vector<size_t> shown;
    if (data_.empty())
        return shown;
    // A layout that writes no group rows of its own (a cross table) gets every category.
    const bool anyRow =
        std::any_of(points_.begin(), points_.end(), [](const Point& p) { return p.textRow >= 0; });
    for (size_t i = 0; i < points_.size(); ++i)
        if (!anyRow || points_[i].textRow >= 0)
            shown.push_back(i);
    return shown;
}

std::string XlsxChart::categoriesXml(const std::vector<size_t>& shown) const {
    std::vector<std::string> cells;
    std::string pts = "<c:ptCount val=\"" + std::to_string(shown.size()) + "\"/>";
    for (size_t k = 0; k < shown.size(); ++k) {
        const Point& p = points_[shown[k]];
        if (p.textRow >= 0)
            cells.push_back(cellRef(p.textSheet, p.textCol, p.textRow));
        const std::string& text = p.textRow >= 0 ? p.text : data_.categories[shown[k]];
        pts +=
            "<c:pt idx=\"" + std::to_string(k) + "\"><c:v>" + EscapeXmlText(text) + "</c:v></c:pt>";
    }
    const std::string f = cells.size() == shown.size() ? areas(cells) : std::string();
    if (f.empty())
        return "<c:cat><c:strLit>" + pts + "</c:strLit></c:cat>";
    return "<c:cat><c:strRef><c:f>" + f + "</c:f><c:strCache>" + pts +
           "</c:strCache></c:strRef></c:cat>";
}

std::string XlsxChart::valuesXml(const std::vector<size_t>& shown, const ChartSeries& s) const {
    std::vector<std::string> cells;
    std::string pts = "<c:formatCode>General</c:formatCode><c:ptCount val=\"" +
                      std::to_string(shown.size()) + "\"/>";
    for (size_t k = 0; k < shown.size(); ++k) {
        const Point& p = points_[shown[k]];
        if (valueColumn_ >= 0 && p.valueRow >= 0)
            cells.push_back(cellRef(p.valueSheet, valueColumn_, p.valueRow));
        const double v = s.values[shown[k]];
        if (std::isfinite(v))
            pts += "<c:pt idx=\"" + std::to_string(k) + "\"><c:v>" + number(v) + "</c:v></c:pt>";
    }
    // Cells only when every category has its footer cell on the sheet.
    const std::string f = cells.size() == shown.size() ? areas(cells) : std::string();
    if (f.empty())
        return "<c:val><c:numLit>" + pts + "</c:numLit></c:val>";
    return "<c:val><c:numRef><c:f>" + f + "</c:f><c:numCache>" + pts +
           "</c:numCache></c:numRef></c:val>";
}

std::string XlsxChart::chartXml() const {
    const std::vector<size_t> shown = shownPoints();
    const char* kind = type_ == ChartType::Pie    ? "c:pieChart"
                       : type_ == ChartType::Line ? "c:lineChart"
                                                  : "c:barChart";
    std::string b =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" "
        "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
        "<c:roundedCorners val=\"0\"/><c:chart><c:title>" +
        textRun(data_.title) +
        "<c:overlay val=\"0\"/></c:title><c:autoTitleDeleted val=\"0\"/><c:plotArea><c:layout/>";
    b += std::string("<") + kind + ">";
    if (type_ == ChartType::Bar)
        b += "<c:barDir val=\"col\"/><c:grouping val=\"clustered\"/>";
    else if (type_ == ChartType::Line)
        b += "<c:grouping val=\"standard\"/>";
    b += std::string("<c:varyColors val=\"") + (type_ == ChartType::Pie ? "1" : "0") + "\"/>";
    for (size_t s = 0; s < data_.series.size(); ++s) {
        const std::string n = std::to_string(s);
        b += "<c:ser><c:idx val=\"" + n + "\"/><c:order val=\"" + n + "\"/><c:tx><c:v>" +
             EscapeXmlText(data_.series[s].name) + "</c:v></c:tx>";
        // Explicit colours: a workbook without a theme part leaves theme-coloured series
        // unfilled in LibreOffice.
        if (type_ == ChartType::Bar)
            b += "<c:spPr>" + solidFill(ChartSeriesRgb(s)) +
                 "</c:spPr><c:invertIfNegative val=\"0\"/>";
        if (type_ == ChartType::Line)
            b += "<c:spPr><a:ln w=\"28575\">" + solidFill(ChartSeriesRgb(s)) +
                 "</a:ln></c:spPr><c:marker><c:symbol val=\"circle\"/><c:spPr>" +
                 solidFill(ChartSeriesRgb(s)) + "</c:spPr></c:marker>";
        if (type_ == ChartType::Pie)
            for (size_t p = 0; p < shown.size(); ++p)
                b += "<c:dPt><c:idx val=\"" + std::to_string(p) +
                     "\"/><c:bubble3D val=\"0\"/><c:spPr>" + solidFill(ChartSeriesRgb(p)) +
                     "</c:spPr></c:dPt>";
        b += categoriesXml(shown) + valuesXml(shown, data_.series[s]);
        if (type_ == ChartType::Line)
            b += "<c:smooth val=\"0\"/>";
        b += "</c:ser>";
    }
    if (type_ == ChartType::Pie) {
        b += "<c:firstSliceAng val=\"0\"/></c:pieChart>";
    } else {
        if (type_ == ChartType::Line)
            b += "<c:marker val=\"1\"/>";
        b += std::string("<c:axId val=\"1\"/><c:axId val=\"2\"/></") + kind + ">";
        b += "<c:catAx><c:axId val=\"1\"/><c:scaling><c:orientation val=\"minMax\"/></c:scaling>"
             "<c:delete val=\"0\"/><c:axPos val=\"b\"/><c:numFmt formatCode=\"General\" "
             "sourceLinked=\"0\"/><c:tickLblPos val=\"low\"/><c:crossAx val=\"2\"/>"
             "<c:crosses val=\"autoZero\"/><c:auto val=\"1\"/><c:lblAlgn val=\"ctr\"/>"
             "<c:lblOffset val=\"100\"/></c:catAx>"
             "<c:valAx><c:axId val=\"2\"/><c:scaling><c:orientation val=\"minMax\"/>"
             "</c:scaling><c:delete val=\"0\"/><c:axPos val=\"l\"/><c:majorGridlines/>"
             "<c:numFmt formatCode=\"General\" sourceLinked=\"0\"/><c:tickLblPos val=\"nextTo\"/>"
             "<c:crossAx val=\"1\"/><c:crosses val=\"autoZero\"/>"
             "<c:crossBetween val=\"between\"/></c:valAx>";
    }
    b += "</c:plotArea>";
    if (type_ == ChartType::Pie || data_.series.size() > 1)
        b += "<c:legend><c:legendPos val=\"r\"/><c:overlay val=\"0\"/></c:legend>";
    b += "<c:plotVisOnly val=\"1\"/><c:dispBlanksAs val=\"gap\"/></c:chart></c:chartSpace>";
    return b;
}

std::string XlsxChart::drawingXml(int firstColumn) const {
    auto corner = [](const char* name, int col, int row) {
        return std::string("<xdr:") + name + "><xdr:col>" + std::to_string(col) +
               "</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>" + std::to_string(row) +
               "</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:" + name + ">";
    };
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<xdr:wsDr "
           "xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\" "
           "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\">"
           "<xdr:twoCellAnchor>" +
           corner("from", firstColumn, 1) + corner("to", firstColumn + 8, 20) +
           "<xdr:graphicFrame macro=\"\"><xdr:nvGraphicFramePr><xdr:cNvPr id=\"2\" "
           "name=\"Chart 1\"/><xdr:cNvGraphicFramePr/></xdr:nvGraphicFramePr><xdr:xfrm>"
           "<a:off x=\"0\" y=\"0\"/><a:ext cx=\"0\" cy=\"0\"/></xdr:xfrm><a:graphic>"
           "<a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/chart\">"
           "<c:chart xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" "
           "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
           "r:id=\"rId1\"/></a:graphicData></a:graphic></xdr:graphicFrame><xdr:clientData/>"
           "</xdr:twoCellAnchor></xdr:wsDr>";
}

} // namespace rg
