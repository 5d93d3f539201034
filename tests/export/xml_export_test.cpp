#include "common/error.h"
#include "export/xmlexport.h"
#include "export/xmltext.h"
#include "exporttest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using namespace rg;

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            out.push_back(text.substr(at) + "<no CR LF>");
            break;
        }
        out.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return out;
}

std::string joined(const std::vector<std::string>& v, size_t from, size_t to) {
    std::string s;
    for (size_t i = from; i < to && i < v.size(); ++i)
        s += v[i] + "\n";
    return s;
}

const char* kSales = R"(
create table sales(id integer primary key, region text, city text, qty integer, day date, t time);
insert into sales values (1, '上海', '浦东', 1, '2024-03-05', '08:30:00');
insert into sales values (2, '北京', '海淀', 2, null, null);
insert into sales values (3, '上海', '静安', null, '2024-02-01', '23:59:59');
)";

const std::vector<std::string> kDtdHead = {
    "  <!ATTLIST GRID ExportVersion CDATA #REQUIRED>",
    "  <!ELEMENT BANDS (BAND*)>",
    "  <!ELEMENT BAND EMPTY>",
    "  <!ATTLIST BAND Index CDATA #REQUIRED>",
    "  <!ATTLIST BAND Caption CDATA #IMPLIED>",
    "  <!ELEMENT COLUMNS (COLUMN*)>",
    "  <!ELEMENT COLUMN EMPTY>",
    "  <!ATTLIST COLUMN Name CDATA #REQUIRED>",
    "  <!ATTLIST COLUMN Caption CDATA #IMPLIED>",
    "  <!ATTLIST COLUMN Index CDATA #REQUIRED>",
    "  <!ATTLIST COLUMN BandIndex CDATA #REQUIRED>",
    "  <!ATTLIST COLUMN RowIndex CDATA #REQUIRED>",
    "  <!ATTLIST COLUMN ColIndex CDATA #REQUIRED>",
    "  <!ATTLIST COLUMN Width CDATA #IMPLIED>",
    "  <!ELEMENT GROUP (GROUP*, ROW*)>",
    "  <!ATTLIST GROUP GroupText CDATA #IMPLIED>",
    "  <!ELEMENT ROWS (ROW*)>",
    "  <!ELEMENT ROW EMPTY>",
};

void expectValid(const std::string& path) {
    std::string out;
    EXPECT_EQ(run("xmllint --valid --noout '" + path + "' 2>&1", &out), 0) << out;
    EXPECT_EQ(out, "");
}

} // namespace

TEST(XmlExport, UngroupedDocumentLineByLine) {
    ExportDb db(kSales);
    db.open("select id, region, qty, day, t from sales order by id");
    db.ds.FieldByName("region").SetDisplayLabel("A&B <1>");
    db.grid.SetKeyField("id");
    db.grid.ColumnByFieldName("qty")->SetVisible(false);
    GridAppearance look;
    look.bandCaption = "报表";
    look.disabledCaptions.insert(db.grid.ColumnByFieldName("t")->Name());
    const std::string path = db.file("sales.xml");
    ExportToXml(db.grid, path, true, look);

    std::vector<std::string> expected = {
        "<?xml version = \"1.0\" ?>", "<?xml-stylesheet type=\"text/xsl\" href=\"sales.xsl\"?>",
        "<!DOCTYPE GRID [", "  <!ELEMENT GRID (BANDS, COLUMNS, ROWS*)>"};
    expected.insert(expected.end(), kDtdHead.begin(), kDtdHead.end());
    for (const char* l :
         {"  <!ATTLIST ROW dxDBGridColumn1 CDATA #IMPLIED>",
          "  <!ATTLIST ROW dxDBGridColumn2 CDATA #IMPLIED>",
          "  <!ATTLIST ROW dxDBGridColumn4 CDATA #IMPLIED>",
          "  <!ATTLIST ROW dxDBGridColumn5 CDATA #IMPLIED>",
          "]>",
          "<GRID ExportVersion=\"1.0\">",
          "  <BANDS>",
          "    <BAND Index=\"0\" Caption=\"&#25253;&#34920;\"></BAND>",
          "  </BANDS>",
          "  <COLUMNS>",
          "    <COLUMN Name=\"dxDBGridColumn1\" Caption=\"id\" Index=\"0\" BandIndex=\"0\" "
          "RowIndex=\"0\" ColIndex=\"0\" Width=\"100\"></COLUMN>",
          "    <COLUMN Name=\"dxDBGridColumn2\" Caption=\"A&#38;B &#60;1&#62;\" Index=\"1\" "
          "BandIndex=\"0\" RowIndex=\"0\" ColIndex=\"1\" Width=\"100\"></COLUMN>",
          "    <COLUMN Name=\"dxDBGridColumn4\" Caption=\"day\" Index=\"3\" BandIndex=\"0\" "
          "RowIndex=\"0\" ColIndex=\"2\" Width=\"100\"></COLUMN>",
          "    <COLUMN Name=\"dxDBGridColumn5\" Caption=\"\" Index=\"4\" BandIndex=\"0\" "
          "RowIndex=\"0\" ColIndex=\"3\" Width=\"100\"></COLUMN>",
          "  </COLUMNS>",
          "  <ROWS>",
          "    <ROW dxDBGridColumn1=\"1\" dxDBGridColumn2=\"&#19978;&#28023;\" "
          "dxDBGridColumn4=\"2024-03-05\" dxDBGridColumn5=\"08:30:00\"></ROW>",
          "    <ROW dxDBGridColumn1=\"2\" dxDBGridColumn2=\"&#21271;&#20140;\" "
          "dxDBGridColumn4=\"\" dxDBGridColumn5=\"\"></ROW>",
          "    <ROW dxDBGridColumn1=\"3\" dxDBGridColumn2=\"&#19978;&#28023;\" "
          "dxDBGridColumn4=\"2024-02-01\" dxDBGridColumn5=\"23:59:59\"></ROW>",
          "  </ROWS>",
          "</GRID>"})
        expected.push_back(l);
    const std::vector<std::string> got = lines(readFile(path));
    EXPECT_EQ(joined(got, 0, got.size()), joined(expected, 0, expected.size()));
    expectValid(path);

    const std::vector<std::string> xsl = lines(readFile(db.file("sales.xsl")));
    const std::vector<std::string> xslExpected = {
        "<?xml version=\"1.0\"?>",
        "<xsl:stylesheet xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\" version=\"1.0\">",
        "  <xsl:template match=\"/\">",
        "    <HTML>",
        "      <BODY>",
        "        <TABLE style=\"font:9pt &#23435;&#20307;\" border=\"1\" CELLSPACING=\"0\" "
        "CELLPADDING=\"1\" BGCOLOR=\"#FFFFFF\">",
        "          <THEAD style=\"font:bold; background-color:#C0C0C0\">",
        "            <TR valign=\"top\">",
        "              <xsl:for-each select=\"/GRID/COLUMNS/COLUMN\">",
        "                <TD align=\"left\">",
        "                  <xsl:attribute name=\"width\"><xsl:value-of "
        "select=\"@Width\"/></xsl:attribute>",
        "                  <xsl:value-of select=\"@Caption\"/>",
        "                </TD>",
        "              </xsl:for-each>",
        "            </TR>",
        "          </THEAD>",
        "          <xsl:for-each select=\"GRID/ROWS/ROW\">",
        "          <TR valign=\"top\">",
        "            <TD align=\"left\">",
        "              <xsl:value-of select=\"@dxDBGridColumn1\"/>",
        "              <xsl:if test=\"@dxDBGridColumn1[.='']\">&#160;</xsl:if>",
        "            </TD>",
    };
    EXPECT_EQ(joined(xsl, 0, xslExpected.size()), joined(xslExpected, 0, xslExpected.size()));
    EXPECT_EQ(xsl.size(), xslExpected.size() - 4 + 4 * 4 + 3 + 4);
    EXPECT_EQ(
        joined(xsl, xsl.size() - 7, xsl.size()),
        "          </TR>\n          </xsl:for-each>\n        </TABLE>\n      </BODY>\n    </HTML>\n"
        "  </xsl:template>\n</xsl:stylesheet>\n");

    // A browser's view: the style sheet turns the document into a table of every row.
    std::string html;
    ASSERT_EQ(run("xsltproc '" + db.file("sales.xsl") + "' '" + path + "' 2>&1", &html), 0) << html;
    EXPECT_NE(html.find("A&amp;B &lt;1&gt;"), std::string::npos) << html;
    for (const char* text : {"上海", "北京", "2024-03-05", "2024-02-01", "23:59:59"})
        EXPECT_NE(html.find(text), std::string::npos) << text << "\n" << html;
    size_t rows = 0;
    for (size_t at = html.find("<TR valign=\"top\">"); at != std::string::npos;
         at = html.find("<TR valign=\"top\">", at + 1))
        ++rows;
    EXPECT_EQ(rows, 1u + 3u);
}

TEST(XmlExport, TwoLevelsOfGroups) {
    ExportDb db(kSales);
    db.open("select id, region, city, qty from sales order by id");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    addSummary(g, *g.ColumnByFieldName("qty"), TdxSummaryType::cstSum); // footers are not written
    g.GroupColumn(*g.ColumnByFieldName("region"), 0);
    g.GroupColumn(*g.ColumnByFieldName("city"), 1);
    g.CollapseAll();
    const std::string path = db.file("报表.xml");
    EXPECT_EQ(exportCommand(ExportCommand::XmlDocument, g, db.file("报表")).path, path);

    const std::vector<std::string> got = lines(readFile(path));
    ASSERT_GT(got.size(), 30u);
    EXPECT_EQ(got[1], "<?xml-stylesheet type=\"text/xsl\" href=\"____-c43c2cd5.xsl\"?>");
    EXPECT_EQ(got[3], "  <!ELEMENT GRID (BANDS, COLUMNS, GROUP*)>");
    EXPECT_EQ(got[22], "  <!ATTLIST ROW dxDBGridColumn1 CDATA #IMPLIED>");
    EXPECT_EQ(got[23], "  <!ATTLIST ROW dxDBGridColumn4 CDATA #IMPLIED>");
    EXPECT_EQ(got[24], "]>");
    const size_t body = 25 + 1 + 3 + 4; // GRID, BANDS, COLUMNS with two columns
    EXPECT_EQ(got[body - 1], "  </COLUMNS>");
    const std::vector<std::string> expected = {
        "  <GROUP GroupText=\"region : &#21271;&#20140; \">",
        "    <GROUP GroupText=\"city : &#28023;&#28096; \">",
        "      <ROW dxDBGridColumn1=\"2\" dxDBGridColumn4=\"2\"></ROW>",
        "    </GROUP>",
        "  </GROUP>",
        "  <GROUP GroupText=\"region : &#19978;&#28023; \">",
        "    <GROUP GroupText=\"city : &#38745;&#23433; \">",
        "      <ROW dxDBGridColumn1=\"3\" dxDBGridColumn4=\"\"></ROW>",
        "    </GROUP>",
        "    <GROUP GroupText=\"city : &#28006;&#19996; \">",
        "      <ROW dxDBGridColumn1=\"1\" dxDBGridColumn4=\"1\"></ROW>",
        "    </GROUP>",
        "  </GROUP>",
        "</GRID>",
    };
    EXPECT_EQ(joined(got, body, got.size()), joined(expected, 0, expected.size()));
    expectValid(path);

    const std::vector<std::string> xsl = lines(readFile(db.file("____-c43c2cd5.xsl")));
    ASSERT_GT(xsl.size(), 40u);
    EXPECT_EQ(xsl[5], "        <xsl:for-each select=\"/GRID/GROUP\">");
    EXPECT_EQ(xsl[6], "          <TABLE style=\"font:9pt &#23435;&#20307;\" BORDER=\"0\" "
                      "CELLSPACING=\"0\" CELLPADDING=\"1\" BGCOLOR=\"#C0C0C0\">");
    EXPECT_EQ(xsl[9], "                &#160;<xsl:value-of select=\"@GroupText\"/>");
    EXPECT_EQ(xsl[14], "          <xsl:for-each select=\"GROUP\">");
    EXPECT_EQ(xsl[23], "            <TABLE style=\"font:9pt &#23435;&#20307;\" border=\"1\" "
                       "CELLSPACING=\"0\" CELLPADDING=\"1\" BGCOLOR=\"#FFFFFF\">");
    EXPECT_EQ(xsl[34], "              <xsl:for-each select=\"ROW\">");
    EXPECT_EQ(xsl[xsl.size() - 5], "        </xsl:for-each>");

    std::string html;
    ASSERT_EQ(run("xsltproc '" + db.file("____-c43c2cd5.xsl") + "' '" + path + "' 2>&1", &html), 0)
        << html;
    for (const char* text : {"region : 北京", "city : 海淀", "city : 静安", "city : 浦东"})
        EXPECT_NE(html.find(text), std::string::npos) << text << "\n" << html;
    // Two rows per group table (5 groups), and per city a header row and its data rows.
    size_t rows = 0;
    for (size_t at = html.find("<TR valign=\"top\">"); at != std::string::npos;
         at = html.find("<TR valign=\"top\">", at + 1))
        ++rows;
    EXPECT_EQ(rows, 2u * 5u + 3u + 3u);
}

TEST(XmlExport, EmptyGridsStayValid) {
    ExportDb db(kSales);
    db.open("select id, region, qty from sales where id < 0");
    db.grid.SetKeyField("id");
    const std::string path = db.file("empty.xml");
    ExportToXml(db.grid, path, true, GridAppearance());
    std::vector<std::string> got = lines(readFile(path));
    EXPECT_EQ(got[3], "  <!ELEMENT GRID (BANDS, COLUMNS, ROWS*)>");
    EXPECT_EQ(got[got.size() - 3], "  <ROWS>");
    expectValid(path);

    db.grid.GroupColumn(*db.grid.ColumnByFieldName("region"), 0);
    ExportToXml(db.grid, path, true, GridAppearance());
    got = lines(readFile(path));
    EXPECT_EQ(got[3], "  <!ELEMENT GRID (BANDS, COLUMNS)>");
    EXPECT_EQ(got.back(), "</GRID>");
    expectValid(path);
    std::string html;
    EXPECT_EQ(run("xsltproc '" + db.file("empty.xsl") + "' '" + path + "' 2>&1", &html), 0) << html;
}

TEST(XmlExport, FailuresLeaveNothingHalfWritten) {
    ExportDb db(kSales);
    db.open("select id from sales");
    db.grid.SetKeyField("id");
    // The style sheet of a.xsl is a.xsl itself, which the document holds open.
    const std::string self = db.file("a.xsl");
    writeFile(self, "previous");
    try {
        ExportToXml(db.grid, self, true, GridAppearance());
        FAIL() << "exported onto its own style sheet";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + self + "\". ", 0), 0u)
            << e.what();
    }
    EXPECT_EQ(readFile(self), "previous");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(db.folder),
                            std::filesystem::directory_iterator()),
              2);

    const std::string missing = db.file("none/x.xml");
    try {
        ExportToXml(db.grid, missing, true, GridAppearance());
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + missing + "\". 文件夹不存在");
    }
}

// Two documents in one folder each keep their own style sheet, and a control character in
// the data never reaches the document, which real parsers read.
TEST(XmlExport, DocumentsKeepTheirOwnStyleSheetAndParse) {
    ExportDb db("create table t(id integer primary key, note text);"
                "insert into t values (1, 'a' || char(1) || 'b' || char(27) || 'c');");
    db.open("select id, note from t");
    db.grid.SetKeyField("id");
    ExportToXml(db.grid, db.file("销售.xml"), true, GridAppearance());
    ExportToXml(db.grid, db.file("库存.xml"), true, GridAppearance());
    const std::string sales = StyleSheetPath(db.file("销售.xml")),
                      stock = StyleSheetPath(db.file("库存.xml"));
    ASSERT_NE(sales, stock);
    std::string out;
    for (const char* doc : {"销售.xml", "库存.xml"}) {
        EXPECT_EQ(run("xmllint --noout '" + db.file(doc) + "' 2>&1", &out), 0) << out;
        const std::string sheet = StyleSheetPath(db.file(doc));
        ASSERT_EQ(run("xsltproc '" + sheet + "' '" + db.file(doc) + "' 2>&1", &out), 0) << out;
        EXPECT_NE(out.find("abc"), std::string::npos) << out;
    }
    EXPECT_TRUE(std::filesystem::exists(sales));
    EXPECT_TRUE(std::filesystem::exists(stock));
}

// Written through a symbolic link into another folder, the document lands in the link's
// target with its style sheet beside it, where the document's reference leads.
TEST(XmlExport, ThroughASymbolicLinkTheStyleSheetSitsBesideTheTarget) {
    ExportDb db("create table t(id integer primary key, note text);"
                "insert into t values (1, 'linked');");
    db.open("select id, note from t");
    db.grid.SetKeyField("id");
    std::filesystem::create_directories(db.file("real"));
    std::filesystem::create_directories(db.file("links"));
    writeFile(db.file("real/data.xml"), "old");
    std::filesystem::create_symlink("../real/data.xml", db.file("links/report.xml"));

    const ExportResult r =
        exportCommand(ExportCommand::XmlDocument, db.grid, db.file("links/report.xml"), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(db.file("links/report.xml")));
    EXPECT_TRUE(std::filesystem::exists(db.file("real/data.xsl")));
    // Beside the link too, under the name the document's reference gives.
    EXPECT_TRUE(std::filesystem::exists(db.file("links/data.xsl")));
    EXPECT_EQ(readFile(db.file("links/data.xsl")), readFile(db.file("real/data.xsl")));
    EXPECT_FALSE(std::filesystem::exists(db.file("links/report.xsl")));
    const std::string doc = readFile(db.file("real/data.xml"));
    EXPECT_NE(doc.find("href=\"data.xsl\""), std::string::npos) << doc;
    // The command opens the document where its style sheet is found.
    EXPECT_EQ(std::filesystem::canonical(r.path),
              std::filesystem::canonical(db.file("real/data.xml")));
    // xsltproc follows the document's own style sheet reference, opened where it is and
    // through the link.
    for (const std::string& opened : {r.path, db.file("links/report.xml")}) {
        std::string html;
        ASSERT_EQ(run("xsltproc '" + opened + "' 2>&1", &html), 0) << opened << "\n" << html;
        EXPECT_NE(html.find("<TABLE"), std::string::npos) << html;
        EXPECT_NE(html.find("linked"), std::string::npos) << html;
    }
}
