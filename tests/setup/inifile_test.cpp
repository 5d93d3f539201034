#include "setup/inifile.h"

#include "testfiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace rg {
namespace {

using test::readBytes;
using test::ReadOnly;
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
    EXPECT_EQ(readBytes(file),
              head + "[  field ]\r\n  Name =new\r\nother=2\nAdded=v\r\n" + tail + "\r\ny=\r\n");

    // A new section is appended at the end.
    ASSERT_TRUE(ini.WriteString("New", "k", "1"));
    EXPECT_EQ(ini.ReadString("new", "K"), "1");
    EXPECT_EQ(readBytes(file), head + "[  field ]\r\n  Name =new\r\nother=2\nAdded=v\r\n" + tail +
                                   "\r\ny=\r\n[New]\r\nk=1\r\n");

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

// A load reads the file once; every read after it finds what a read of the file finds:
// the first of two equal keys, across repeated sections, letter case folded for ASCII
// only, blanks around names ignored, lines before the first section and lines without
// "=" ignored, and the file's spelling of each key in the key list.
TEST(IniFile, LoadedReadsFindWhatFileReadsFind) {
    TempFolder dir;
    const auto file = dir / "a.ini";
    writeBytes(file,
               "top=before\n; note=x\r\n[Field]\r\n Name = 1\r\nNAME=2\nno equals\n"
               "[other]\nName=o\n[ FIELD ]\n\x81\x41=gbk upper\n\x81\x61=gbk lower\nname=3\nlast=\n"
               "[\xC4\xE3]\n\xC4\xE3\xBA\xC3=\xCA\xC0\xBD\xE7\n[Open\nk=v\n=empty key\n[x]y]\nz=1");
    const std::vector<std::pair<std::string, std::string>> queries = {
        {"field", "name"},
        {"FIELD", "NAME"},
        {"Field", "\x81\x41"},
        {"Field", "\x81\x61"},
        {"field", "\x81\x41 "},
        {"field", "last"},
        {"field", "top"},
        {"", "top"},
        {"field", "; note"},
        {"other", "name"},
        {"\xC4\xE3", "\xC4\xE3\xBA\xC3"},
        {"\xC4\xE3", "\xC4\xC3\xBA\xC3"},
        {"open", "k"},
        {"open", ""},
        {"x", "z"},
        {"x]y", "z"},
        {"nosuch", "k"},
        {"field", "no equals"}};
    IniFile scanning(file), loaded(file);
    ASSERT_FALSE(loaded.Load());
    for (const auto& [section, key] : queries)
        EXPECT_EQ(loaded.ReadString(section, key), scanning.ReadString(section, key))
            << section << "/" << key;
    EXPECT_EQ(loaded.ReadString("FIELD", "name"), " 1");
    EXPECT_EQ(loaded.Keys("field"),
              (std::vector<std::string>{"Name", "\x81\x41", "\x81\x61", "last"}));
    EXPECT_EQ(loaded.Keys("nosuch"), std::vector<std::string>{});
    // A write ends the loaded copy: reads find the file as it is now.
    ASSERT_TRUE(loaded.WriteString("field", "name", "new"));
    EXPECT_EQ(loaded.ReadString("Field", "NAME"), "new");

    // What cannot be loaded says why, without waiting on a FIFO.
    EXPECT_EQ(IniFile(dir / "missing.ini").Load(), std::errc::no_such_file_or_directory);
    EXPECT_EQ(IniFile(dir.path()).Load(), std::errc::is_a_directory);
    const auto fifo = dir / "pipe.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::filesystem::path& special : {fifo, std::filesystem::path("/dev/zero")}) {
        IniFile ini(special);
        EXPECT_TRUE(ini.Load()) << special;
        EXPECT_EQ(ini.ReadString("s", "k"), std::nullopt);
    }
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

TEST(IniFile, ReplaceSectionsRewritesItsOwnAndKeepsEveryOtherByte) {
    TempFolder dir;
    const auto file = dir / "r.ini";
    const std::string head = "; by hand\n[Printer]\nname=x \r\n\r\n";
    const std::string middle = "[other]\r\n  k = v\n";
    const std::string tail = "[Last]\nno line end";
    writeBytes(file, head + "[field]\r\nold=1\r\n" + middle +
                         "[ FIELD ]\r\ndup=2\r\n[Key]\r\nk=1\r\n" + tail);
    IniFile ini(file);
    const std::vector<IniSection> report = {
        {"Field", {{"a", "1"}, {"b", ""}}}, {"Summary", {}}, {"Key", {{"k", "2"}}}};
    EXPECT_FALSE(ini.ReplaceSections({"Field", "KEY", "Summary"}, report));
    // Every copy of an own section goes, whatever its spelling; an empty one is not written.
    EXPECT_EQ(readBytes(file),
              head + middle + tail + "\r\n[Field]\r\na=1\r\nb=\r\n[Key]\r\nk=2\r\n");
    EXPECT_EQ(ini.ReadString("field", "old"), std::nullopt);
    EXPECT_EQ(ini.ReadString("other", "k"), " v");

    // Into a new file, and into a file that is no file: the error says why.
    IniFile fresh(dir / "new.ini");
    EXPECT_FALSE(fresh.ReplaceSections({"Key"}, report));
    EXPECT_EQ(readBytes(dir / "new.ini"), "[Field]\r\na=1\r\nb=\r\n[Key]\r\nk=2\r\n");
    std::filesystem::create_directory(dir / "d.ini");
    EXPECT_EQ(IniFile(dir / "d.ini").ReplaceSections({}, report), std::errc::is_a_directory);
    EXPECT_EQ(IniFile(file / "x.ini").ReplaceSections({}, report), std::errc::not_a_directory);
    EXPECT_EQ(dir.entryCount(), 3u);

    // A FIFO or a device is refused with a reason the user can read, without waiting for a
    // reader and without replacing it; a link that names no file yet creates its target.
    ASSERT_EQ(::mkfifo((dir / "pipe.ini").c_str(), 0600), 0);
    for (const std::filesystem::path& special :
         {dir / "pipe.ini", std::filesystem::path("/dev/full")}) {
        const std::error_code ec = IniFile(special).ReplaceSections({}, report);
        EXPECT_EQ(ec.message(), "不是普通文件（设备、管道或套接字），不能写入") << special;
        EXPECT_FALSE(IniFile(special).WriteString("s", "k", "v")) << special;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "pipe.ini"));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    std::filesystem::create_symlink("later.ini", dir / "dangling.ini");
    EXPECT_FALSE(IniFile(dir / "dangling.ini").ReplaceSections({"Key"}, report));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling.ini"));
    EXPECT_EQ(readBytes(dir / "later.ini"), "[Field]\r\na=1\r\nb=\r\n[Key]\r\nk=2\r\n");
}

TEST(IniFile, ReadOnlyFileStaysAndReadOnlyFolderIsWrittenInPlace) {
    TempFolder dir;
    const auto file = dir / "r.ini";
    const std::string before = "[Key]\r\nk=1\r\n";
    const std::vector<IniSection> report = {{"Key", {{"k", "a longer value than before"}}}};
    writeBytes(file, before);
    {
        ReadOnly locked(file);
        const std::error_code ec = IniFile(file).ReplaceSections({"Key"}, report);
        EXPECT_TRUE(ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted)
            << ec.message();
        EXPECT_EQ(readBytes(file), before);
        EXPECT_FALSE(IniFile(file).WriteString("Key", "k", "2"));
    }
    EXPECT_EQ(dir.entryCount(), 1u);

    struct stat was {};
    ::stat(file.c_str(), &was);
    {
        ReadOnly folder(dir.path());
        if (!folder.bindsEveryone())
            GTEST_SKIP() << "no immutable attribute here, and root writes any folder";
        // The folder takes no temporary file, so the file itself is rewritten.
        EXPECT_FALSE(IniFile(file).ReplaceSections({"Key"}, report));
        EXPECT_EQ(readBytes(file), "[Key]\r\nk=a longer value than before\r\n");
        EXPECT_FALSE(IniFile(file).ReplaceSections({"Key"}, {{"Key", {{"k", "2"}}}}));
        EXPECT_EQ(readBytes(file), "[Key]\r\nk=2\r\n"); // shorter: cut to its new length
        // A file the folder does not hold yet cannot be made.
        EXPECT_TRUE(IniFile(dir / "new.ini").ReplaceSections({"Key"}, report));
    }
    struct stat now {};
    ::stat(file.c_str(), &now);
    EXPECT_EQ(now.st_ino, was.st_ino);
    EXPECT_EQ(dir.entryCount(), 1u);
}

} // namespace
} // namespace rg
