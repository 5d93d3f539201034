#include "setup/setup.h"

#include "common/codepage.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace rg {
namespace {

using test::readBytes;
using test::TempFolder;
using test::writeBytes;

std::string complement(const std::string& bytes) {
    return TSetup::Scramble(bytes);
}

TEST(SetupFile, StoresComplementedBytesUnderTheWrittenNames) {
    TempFolder dir;
    const std::string file = (dir / "r.ini").string();
    {
        TSetup setup(file);
        setup.WriteKeyField("abc");
        setup.WriteConnString("x");
        setup.WriteCommandType("cmdText");
        setup.WriteCommandText("t");
        setup.WriteField("名称", "你好");
        setup.WriteField("empty", "");
    }
    EXPECT_EQ(readBytes(file), "[KeyField]\r\nKeyField=\x9E\x9D\x9C\r\n"
                               "[Connstring]\r\nconnstring=\x87\r\n"
                               "[CommandType]\r\ncmdtype=" +
                                   complement("cmdText") +
                                   "\r\n"
                                   "[commandtext]\r\ncommandtext=\x8B\r\n"
                                   "[Field]\r\n" +
                                   toAnsi("名称") + "=\x3B\x1C\x45\x3C\r\nempty=\r\n");

    // Read back under the other letter cases, also from a file with LF-only lines.
    TSetup again(file);
    EXPECT_EQ(again.ReadConnString(), "x");
    EXPECT_EQ(again.ReadCommandType(), "cmdText");
    EXPECT_EQ(again.ReadCommandText(), "t");
    EXPECT_EQ(again.ReadKeyField(), "abc");
    EXPECT_EQ(again.ReadField("名称"), "你好");
    EXPECT_EQ(again.ReadField("EMPTY"), "");
    EXPECT_EQ(again.ReadField("missing"), "");
    EXPECT_EQ(again.ReadSummaryField("名称"), "");

    writeBytes(file, "[CONNSTRING]\nConnString=\x9E\n[commandTYPE]\n  CMDTYPE  =" +
                         complement("cmdTable") + "\n[ParameterValue]\n@p=" + complement(" 1 ") +
                         "\n[SummaryField]\nf=" + complement("cstsum"));
    TSetup lf(file);
    EXPECT_EQ(lf.ReadConnString(), "a");
    EXPECT_EQ(lf.ReadCommandType(), "cmdTable");
    EXPECT_EQ(lf.ReadParameterValue("@P"), " 1 ");
    EXPECT_EQ(lf.ReadSummaryField("F"), "cstsum");
}

TEST(SetupFile, CachedEntriesAreWrittenOnlyWhenChanged) {
    TempFolder dir;
    const auto file = dir / "c.ini";
    const std::string before = "[KeyField]\r\nKeyField=\x9E\r\n";
    writeBytes(file, before);
    {
        // A fresh accessor does not blank entries with empty values.
        TSetup setup(file.string());
        setup.WriteKeyField("");
        setup.WriteConnString("");
        setup.WriteCommandType("");
        setup.WriteCommandText("");
    }
    EXPECT_EQ(readBytes(file), before);

    TSetup setup(file.string());
    setup.WriteCommandText("select 1");
    EXPECT_EQ(TSetup(file.string()).ReadCommandText(), "select 1");
    // A hand edit in between shows whether the second write reached the file.
    writeBytes(file, before);
    setup.WriteCommandText("select 1");
    EXPECT_EQ(readBytes(file), before);
    setup.WriteCommandText("Select 1"); // letter case counts
    EXPECT_EQ(TSetup(file.string()).ReadCommandText(), "Select 1");

    writeBytes(file, before);
    TSetup reader(file.string());
    EXPECT_EQ(reader.ReadKeyField(), "a");
    writeBytes(file, "");
    reader.WriteKeyField("a");
    EXPECT_EQ(readBytes(file), "");
    reader.WriteKeyField(""); // differs from the cache now, so it is written
    EXPECT_EQ(readBytes(file), "[KeyField]\r\nKeyField=\r\n");

    // Keyed writes always go to the file.
    setup.WriteField("f", "cap");
    writeBytes(file, "");
    setup.WriteField("f", "cap");
    EXPECT_EQ(TSetup(file.string()).ReadField("f"), "cap");
}

TEST(SetupFile, RoundTripsKeepEveryCharacter) {
    TempFolder dir;
    const std::string file = (dir / "t.ini").string();
    const std::string f2f5 = "颉酢膀磅"; // F2 A1, F5 A1, B0 F2, B0 F5
    std::string longText;
    while (longText.size() < 3500)
        longText += "select 北京, 上海 from 报表 where a = 'x';\r\n";
    const std::string values[] = {
        "报表生成器",
        f2f5,
        "前" + f2f5 + "后 with ascii",
        "select a\r\nfrom t\r\nwhere b = 1",
        "lone\rcr and lone\nlf, \r\r\n\n",
        longText,
        longText + f2f5,
        "  blanks and tabs\t ",
        "\"quoted\"",
        "'single'",
        "a=b=c",
        "[not a section]",
        "𠀀 outside GBK",
        "price 5€, ḿ",
        std::string("nul\0inside", 10),
        "",
    };
    TSetup setup(file);
    for (size_t i = 0; i < std::size(values); ++i) {
        setup.WriteParameterValue("p" + std::to_string(i), values[i]);
        setup.WriteCommandText(values[i]);
        EXPECT_EQ(TSetup(file).ReadCommandText(), values[i]) << i;
    }
    TSetup reader(file);
    for (size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(reader.ReadParameterValue("p" + std::to_string(i)), values[i]) << i;

    // Plain values stay byte for byte; F2/F5 ones carry the complemented marker 81 21.
    const std::string bytes = readBytes(file);
    EXPECT_NE(bytes.find("p0=" + complement(toAnsi("报表生成器")) + "\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("p3=" + complement("select a\r\nfrom t\r\nwhere b = 1") + "\r\n"),
              std::string::npos);
    EXPECT_NE(bytes.find("p1=\x7E\xDE"), std::string::npos);
    // Only the line breaks of the file itself remain as CR or LF bytes.
    size_t lf = 0, cr = 0;
    for (char c : bytes)
        lf += c == '\n', cr += c == '\r';
    EXPECT_EQ(lf, cr);
    EXPECT_EQ(lf, std::size(values) + 3);
}

TEST(SetupFile, FailedWritesAreSilentAndChangeNothing) {
    TempFolder dir;
    // A missing file reads empty and is not created by reads.
    const auto missing = dir / "missing.ini";
    TSetup none(missing.string());
    EXPECT_EQ(none.ReadConnString(), "");
    EXPECT_EQ(none.ReadCommandType(), "");
    EXPECT_EQ(none.ReadCommandText(), "");
    EXPECT_EQ(none.ReadKeyField(), "");
    EXPECT_EQ(none.ReadField("a"), "");
    EXPECT_FALSE(std::filesystem::exists(missing));

    // Read-only file: root may write it, but a file without write permission stays as it is.
    const auto locked = dir / "locked.ini";
    const std::string before = "[Field]\r\na=\x9E\r\n";
    writeBytes(locked, before);
    ::chmod(locked.c_str(), 0444);
    TSetup ro(locked.string());
    EXPECT_NO_THROW(ro.WriteField("a", "changed"));
    EXPECT_NO_THROW(ro.WriteConnString("conn"));
    EXPECT_EQ(readBytes(locked), before);
    EXPECT_EQ(dir.entryCount(), 1u); // no temporary file left behind
    // The failed cached write is tried again once the file can be written.
    ::chmod(locked.c_str(), 0644);
    ro.WriteConnString("conn");
    EXPECT_EQ(TSetup(locked.string()).ReadConnString(), "conn");
    struct stat st {};
    ::stat(locked.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0644u);

    // A folder that cannot exist (below a regular file) and a missing folder.
    for (const auto& path : {locked / "sub.ini", dir / "nofolder" / "x.ini"}) {
        TSetup bad(path.string());
        EXPECT_NO_THROW(bad.WriteKeyField("k"));
        EXPECT_NO_THROW(bad.WriteField("f", "v"));
        EXPECT_EQ(bad.ReadKeyField(), "");
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "nofolder"));
    EXPECT_EQ(dir.entryCount(), 1u);
}

TEST(SetupFile, AReportSaveHoldsExactlyWhatItWrote) {
    TempFolder dir;
    const std::string file = (dir / "r.ini").string();
    const std::string foreign = "[Printer]\r\nmargins=10\r\n";
    {
        TSetup earlier(file);
        earlier.WriteConnString("old connection");
        earlier.WriteKeyField("id");
        earlier.WriteField("region", "地区");
        earlier.WriteParameterValue("@p", "1");
        earlier.WriteSummaryField("qty", "cstsum");
        earlier.WriteGroupColumns({"a", "b", "c"});
        earlier.WriteGroupColumns({"d"}); // a shorter list written entry by entry
    }
    EXPECT_EQ(TSetup(file).ReadGroupColumns(), std::vector<std::string>{"d"});
    writeBytes(file, foreign + readBytes(file));
    const std::string before = readBytes(file);

    TSetup setup(file);
    setup.BeginReport();
    setup.WriteConnString("new");
    setup.WriteCommandType("cmdTable");
    setup.WriteCommandText("t");
    setup.WriteKeyField(""); // nothing to write: the report has no key field
    setup.WriteField("City", "城市");
    setup.WriteField("CITY", "市"); // one entry per name, spelled as first written
    setup.WriteGroupColumns({"city"});
    setup.WriteColumnWidth("city", "120");
    EXPECT_EQ(readBytes(file), before); // nothing reaches the file before the end
    EXPECT_FALSE(setup.EndReport());
    EXPECT_EQ(readBytes(file), foreign + "[Connstring]\r\nconnstring=" + complement("new") +
                                   "\r\n[CommandType]\r\ncmdtype=" + complement("cmdTable") +
                                   "\r\n[commandtext]\r\ncommandtext=" + complement("t") +
                                   "\r\n[Field]\r\nCity=" + complement(toAnsi("市")) +
                                   "\r\n[GroupColumns]\r\n1=" + complement("city") +
                                   "\r\nCount=" + complement("1") +
                                   "\r\n[ColumnWidth]\r\ncity=" + complement("120") + "\r\n");
    TSetup reader(file);
    EXPECT_EQ(reader.ReadKeyField(), "");
    EXPECT_EQ(reader.ReadParameterValue("@p"), "");
    EXPECT_EQ(reader.ReadSummaryField("qty"), "");
    EXPECT_EQ(reader.ReadGroupColumns(), std::vector<std::string>{"city"});
    EXPECT_EQ(reader.ReadColumnWidth("CITY"), "120");

    // Writes after the end go to the file entry by entry again.
    setup.WriteSortedColumn("city", "csDown");
    EXPECT_EQ(TSetup(file).ReadSortedColumn("city"), "csDown");
    // A count that claims more entries than there are: the list ends at the first gap.
    writeBytes(file, "[ColumnOrder]\r\nCount=" + complement("3") + "\r\n1=" + complement("x") +
                         "\r\n3=" + complement("z") + "\r\n");
    EXPECT_EQ(TSetup(file).ReadColumnOrder(), std::vector<std::string>{"x"});
}

// A setup of 100,000 captions and a column order of 100,000 names, the size at which a
// load that read the file once per entry took minutes; one load reads every entry.
TEST(SetupFile, AHundredThousandEntriesComeBackFromOneRead) {
    TempFolder dir;
    const auto file = dir / "big.ini";
    constexpr int kCount = 100000;
    std::string bytes = "[Field]\r\n";
    for (int i = 0; i < kCount; ++i)
        bytes += toAnsi("字段" + std::to_string(i)) + "=" +
                 complement(toAnsi("标题" + std::to_string(i))) + "\r\n";
    bytes += "[ColumnOrder]\r\nCount=" + complement(std::to_string(kCount)) + "\r\n";
    for (int i = 1; i <= kCount; ++i)
        bytes += std::to_string(i) + "=" + complement("f" + std::to_string(i)) + "\r\n";
    writeBytes(file, bytes);
    TSetup setup(file.string());
    ASSERT_FALSE(setup.ReadAll());
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(setup.ReadField("字段" + std::to_string(i)), "标题" + std::to_string(i));
    const std::vector<std::string> order = setup.ReadColumnOrder();
    ASSERT_EQ(order.size(), size_t(kCount));
    EXPECT_EQ(order.front(), "f1");
    EXPECT_EQ(order.back(), "f" + std::to_string(kCount));
}

TEST(SetupFile, ScrambleAndEncode) {
    EXPECT_EQ(TSetup::Scramble("abc"), "\x9E\x9D\x9C");
    EXPECT_EQ(TSetup::Scramble(TSetup::Scramble("\x01\xFE\x80 x")), "\x01\xFE\x80 x");
    EXPECT_EQ(TSetup::Scramble(""), "");
    // The marked form decodes only with its marker; a corrupt body is taken as plain bytes.
    const std::string raw = "\xF2\xA1\xB0\xF5x";
    EXPECT_EQ(TSetup::Decode(TSetup::Encode(raw)), raw);
    EXPECT_EQ(TSetup::Encode("plain"), "plain");
    EXPECT_EQ(TSetup::Decode("\x81\x21###"), "\x81\x21###");
}

} // namespace
} // namespace rg
