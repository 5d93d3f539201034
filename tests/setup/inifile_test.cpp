#include "setup/inifile.h"

#include "testfiles.h"

#include <gtest/gtest.h>

namespace rg {
namespace {

using test::readBytes;
using test::TempFolder;
using test::writeBytes;

TEST(IniFile, ReplacesInPlaceAndKeepsEveryOtherLine) {
    TempFolder dir;
    const auto file = dir / "a.ini";
    const std::string head = "; comment\n\n[Other]\nkey=keep me \n";
    const std::string tail = "\n[Last]\nno equals sign here\nx=1";
    writeBytes(file, head + "[  field ]\r\n  Name = old\r\nother=2\n" + tail);
    IniFile ini(file);

    EXPECT_EQ(ini.ReadString("FIELD", "name"), " old");
    EXPECT_EQ(ini.ReadString("other", "KEY"), "keep me ");
    EXPECT_EQ(ini.ReadString("Field", "key"), std::nullopt);
    EXPECT_EQ(ini.ReadString("last", "x"), "1");
    EXPECT_EQ(ini.ReadString("nosuch", "x"), std::nullopt);

    // The key keeps the file's spelling; only its value and line end change.
    ASSERT_TRUE(ini.WriteString("Field", "NAME", "new"));
    EXPECT_EQ(readBytes(file), head + "[  field ]\r\n  Name =new\r\nother=2\n" + tail);

    // A new key goes after the section's last non-blank line, in the writing case.
    ASSERT_TRUE(ini.WriteString("FIELD", "Added", "v"));
    EXPECT_EQ(readBytes(file), head + "[  field ]\r\n  Name =new\r\nother=2\nAdded=v\r\n" + tail);

    // A key added to the last section completes the unterminated last line.
    ASSERT_TRUE(ini.WriteString("last", "y", ""));
    EXPECT_EQ(readBytes(file), head + "[  field ]\r\n  Name =new\r\nother=2\nAdded=v\r\n" + tail + "\r\ny=\r\n");

    // A new section is appended at the end.
    ASSERT_TRUE(ini.WriteString("New", "k", "1"));
    EXPECT_EQ(ini.ReadString("new", "K"), "1");
    EXPECT_EQ(readBytes(file),
              head + "[  field ]\r\n  Name =new\r\nother=2\nAdded=v\r\n" + tail + "\r\ny=\r\n[New]\r\nk=1\r\n");

    // Names with line breaks would break the file: refused.
    const std::string now = readBytes(file);
    EXPECT_FALSE(ini.WriteString("New", "a\nb", "1"));
    EXPECT_FALSE(ini.WriteString("New", "k", "1\r"));
    // Keys that could not be found again would pile up one line per save.
    EXPECT_FALSE(ini.WriteString("New", "a=b", "1"));
    EXPECT_FALSE(ini.WriteString("New", " [x]", "1"));
    EXPECT_EQ(readBytes(file), now);
    EXPECT_EQ(ini.ReadString("New", "a=b"), std::nullopt);
    ASSERT_TRUE(ini.WriteString("New", "x[1]", "2"));
    EXPECT_EQ(ini.ReadString("new", "X[1]"), "2");
}

TEST(IniFile, NamesMatchIgnoringAsciiCaseOnly) {
    EXPECT_TRUE(IniFile::SameName("ConnString", "Connstring"));
    EXPECT_TRUE(IniFile::SameName(" cmdType\t", "CMDTYPE"));
    EXPECT_FALSE(IniFile::SameName("cmdType", "cmd Type"));
    // 81 41 and 81 61 are two different characters although their trail bytes are A and a.
    EXPECT_FALSE(IniFile::SameName("\x81\x41", "\x81\x61"));
    EXPECT_TRUE(IniFile::SameName("\x81\x41Z", "\x81\x41z"));
    EXPECT_FALSE(IniFile::SameName("\xC4\xE3", "\xC4\xC3"));
}

TEST(IniFile, MissingFileReadsEmptyAndFirstWriteCreatesIt) {
    TempFolder dir;
    IniFile ini(dir / "new.ini");
    EXPECT_EQ(ini.ReadString("s", "k"), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(dir / "new.ini"));
    ASSERT_TRUE(ini.WriteString("s", "k", "v"));
    EXPECT_EQ(readBytes(dir / "new.ini"), "[s]\r\nk=v\r\n");

    // A settings file reached through a link stays a link; the target is rewritten.
    std::filesystem::create_symlink(dir / "new.ini", dir / "link.ini");
    IniFile linked(dir / "link.ini");
    ASSERT_TRUE(linked.WriteString("s", "k", "w"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
    EXPECT_EQ(readBytes(dir / "new.ini"), "[s]\r\nk=w\r\n");
    EXPECT_EQ(dir.entryCount(), 2u);

    // A folder in place of the file is neither read nor replaced.
    std::filesystem::create_directory(dir / "d.ini");
    IniFile folder(dir / "d.ini");
    EXPECT_FALSE(folder.WriteString("s", "k", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "d.ini"));
}

} // namespace
} // namespace rg
