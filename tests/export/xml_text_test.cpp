#include "common/displaytext.h"
#include "common/error.h"
#include "export/exportfile.h"
#include "export/exportname.h"
#include "export/xmltext.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST(XmlText, Escaping) {
    EXPECT_EQ(rg::EscapeXmlText("A&B <1>"), "A&#38;B &#60;1&#62;");
    EXPECT_EQ(rg::EscapeXmlText("a\r\nb"), "a&#13;&#10;b");
    EXPECT_EQ(rg::EscapeXmlText("报表"), "&#25253;&#34920;");
    EXPECT_EQ(rg::EscapeXmlText("Az_09*+,-./:;! "), "Az_09*+,-./:;! ");
    EXPECT_EQ(rg::EscapeXmlText("\"'()<=>?@[]{}#$%"),
              "&#34;&#39;&#40;&#41;&#60;&#61;&#62;&#63;&#64;&#91;&#93;&#123;&#125;&#35;&#36;&#37;");
    EXPECT_EQ(rg::EscapeXmlText("€𝄞"), "&#8364;&#119070;");
    // What XML 1.0 forbids never appears, raw or as a reference.
    EXPECT_EQ(rg::EscapeXmlText(std::string{'a', '\x01', 'b', '\x1B', '\0', 'c', '\t', 'd'}),
              "abc&#9;d");
    EXPECT_EQ(rg::AsciiWithCharRefs("x\x02y\xEF\xBF\xBF"), "xy");
    EXPECT_EQ(rg::AsciiWithCharRefs("宋体"), "&#23435;&#20307;");
    EXPECT_EQ(rg::AsciiWithCharRefs("Times New Roman"), "Times New Roman");
    EXPECT_EQ(rg::ColumnXmlName("dxDBGridColumn3", 2), "dxDBGridColumn3");
    EXPECT_EQ(rg::ColumnXmlName("", 4), "Column4");
}

TEST(XmlText, FileNames) {
    EXPECT_EQ(rg::SafeFileName("报表.xsl"), "____.xsl");
    EXPECT_EQ(rg::SafeFileName("my report(2)-a_b.xsl"), "my_report_2_-a_b.xsl");
    // Names made safe keep their own style sheet: 销售.xml and 库存.xml no longer share one.
    EXPECT_EQ(rg::StyleSheetPath("/tmp/out/报表.xml"), "/tmp/out/____-c43c2cd5.xsl");
    EXPECT_NE(rg::StyleSheetName("/tmp/out/销售.xml"), rg::StyleSheetName("/tmp/out/库存.xml"));
    EXPECT_EQ(rg::StyleSheetName("/tmp/out/销售.xml").substr(0, 5), "____-");
    // A legal long name gives a legal style sheet name.
    EXPECT_LE(rg::StyleSheetName("/tmp/" + std::string(251, 'a') + ".xml").size(), 220u);
    EXPECT_EQ(rg::StyleSheetPath("/tmp/my.dir/sales"), "/tmp/my.dir/sales.xsl");
    EXPECT_EQ(rg::StyleSheetPath("/tmp/a.b.xml"), "/tmp/a.b.xsl");

    // The extension rule looks at the file name only.
    EXPECT_EQ(rg::WithDefaultExtension("/home/u/.local/reports/sales", "xls"),
              "/home/u/.local/reports/sales.xls");
    EXPECT_EQ(rg::WithDefaultExtension("/data/my.reports/sales", "xls"),
              "/data/my.reports/sales.xls");
    EXPECT_EQ(rg::WithDefaultExtension("/data/reports/sales  ", "xls"), "/data/reports/sales.xls");
    EXPECT_EQ(rg::WithDefaultExtension("/data/reports/sales\t\r", "xml"),
              "/data/reports/sales.xml");
    EXPECT_EQ(rg::WithDefaultExtension("/data/reports/sales.txt", "xls"),
              "/data/reports/sales.txt");
    EXPECT_EQ(rg::WithDefaultExtension("/data/reports/sales.", "xls"), "/data/reports/sales.");
    EXPECT_EQ(rg::WithDefaultExtension("报表", "xml"), "报表.xml");
}

TEST(XmlText, Dates) {
    EXPECT_EQ(rg::FormatXmlDate(-700000), "");
    EXPECT_EQ(rg::FormatXmlDate(rg::dateSerial(2024, 3, 9)), "2024-03-09");
    EXPECT_EQ(rg::FormatXmlDate(rg::dateSerial(2024, 3, 9) + rg::timeSerial(13, 5, 7)),
              "2024-03-09T13:05:07");
    EXPECT_EQ(rg::FormatXmlDate(rg::timeSerial(8, 30, 0)), "08:30:00");
    EXPECT_EQ(rg::FormatXmlDate(0), "00:00:00");
    // Just below a whole day still counts as that day.
    EXPECT_EQ(rg::FormatXmlDate(rg::dateSerial(2000, 1, 1) - 1e-12), "2000-01-01");
    EXPECT_EQ(rg::FormatXmlDate(rg::dateSerial(1899, 12, 1)), "1899-12-01");
    // Milliseconds alone make a time of day.
    EXPECT_EQ(rg::FormatXmlDate(rg::dateSerial(2000, 1, 1) + rg::timeSerial(0, 0, 0, 5)),
              "2000-01-01T00:00:00");
}

TEST(ExportFileTest, ReplacesOnlyOnCommit) {
    const rg::test::TempFolder folder;
    const std::string dir = folder.path().string();
    const std::string path = dir + "/out.xls";
    { std::ofstream(path) << "previous"; }
    {
        rg::ExportFile f(path);
        f.Write("new content");
        // Until the end the old file stays; a failed export never reaches it.
    }
    EXPECT_EQ(readFile(path), "previous");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    {
        rg::ExportFile f(path);
        f.Write(std::string(600000, 'x')); // more than one buffer
        f.Write("end");
        f.Commit();
    }
    EXPECT_EQ(readFile(path).size(), 600003u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(ExportFileTest, CannotCreate) {
    const rg::test::TempFolder folder;
    const std::string dir = folder.path().string();
    const std::string missing = dir + "/no/such/folder/x.xls";
    try {
        rg::ExportFile f(missing);
        FAIL() << "created";
    } catch (const rg::Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + missing + "\". 文件夹不存在");
    }
    // A path already open for writing is held exclusively.
    const std::string path = dir + "/a.xsl";
    rg::ExportFile first(path);
    try {
        rg::ExportFile second(dir + "/./a.xsl");
        FAIL() << "created twice";
    } catch (const rg::Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + dir + "/./a.xsl\". ", 0),
                  0u)
            << e.what();
    }
    // A folder cannot be replaced by a file.
    EXPECT_THROW(rg::ExportFile f(dir), rg::Error);
}

TEST(ExportFileTest, WriteAfterCloseIsAWriteError) {
    const rg::test::TempFolder folder;
    const std::string dir = folder.path().string();
    rg::ExportFile f(dir + "/x");
    f.Commit();
    try {
        f.Write("late");
        f.Flush();
        FAIL() << "wrote after close";
    } catch (const rg::Error& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
    }
}
