#pragma once

// A reader and writer of INI text in the layout of the Windows profile functions, working
// on raw bytes (section names, keys and values in code page 936; it interprets nothing
// but ASCII). Sections and keys match without regard to ASCII letter case and with the
// blanks around them ignored; values are taken exactly as they stand between the first
// "=" and the line end. A write replaces the one line it concerns and keeps every other
// byte of the file.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace rg {

// One section as a whole write puts it into the file: its name and entries, in order.
struct IniSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;
};

class IniFile {
public:
    explicit IniFile(std::filesystem::path fileName);
    ~IniFile();
    IniFile(IniFile&&) noexcept;
    IniFile& operator=(IniFile&&) noexcept;

    const std::filesystem::path& FileName() const { return fileName_; }
    // Later writes leave the file readable and writable by its owner alone (mode 0600), for
    // a file that holds a secret.
    void SetOwnerOnly(bool ownerOnly) { ownerOnly_ = ownerOnly; }

    // The value bytes of the entry; nullopt when the file, the section or the key is
    // missing or the file cannot be read.
    std::optional<std::string> ReadString(std::string_view section, std::string_view key) const;

    // Reads the file once and keeps it: later reads answer from that copy, each in constant
    // time, until the next write. Returns no_such_file_or_directory for a missing file (which
    // then reads as empty) and the reason for a file that cannot be read (a folder, a device,
    // a FIFO, no permission).
    std::error_code Load();
    // The keys of a section, each once as the file first spells it, in file order; only
    // while loaded.
    std::vector<std::string> Keys(std::string_view section) const;

    // Replaces the value of an existing key in place, or adds the key (and the section)
    // with the letter case given here. The new file is written beside the old one and
    // renamed over it, so a failed write leaves the file as it was. Returns false when
    // nothing was stored. The value must hold neither CR nor LF, the key no "=" and no
    // leading "[", since such an entry could not be read back.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);

    // Whether WriteString would take the entry.
    static bool Writable(std::string_view section, std::string_view key, std::string_view value);

    // Rewrites the file at once: every section named in `own` is dropped, whatever it
    // holds, every other line stays byte for byte, and `sections` follow at the end
    // (those without entries are left out). On failure the file is as it was and the
    // error says why.
    std::error_code ReplaceSections(const std::vector<std::string_view>& own,
                                    const std::vector<IniSection>& sections);

    // Equality of names the way the profile functions compare them: ASCII letters without
    // regard to case, blanks around the name ignored. Bytes of double-byte characters are
    // compared exactly, so a trail byte that happens to be a letter is not folded.
    static bool SameName(std::string_view a, std::string_view b);
    // The form of a name under which names that SameName matches are equal.
    static std::string NameKey(std::string_view name);

private:
    struct Loaded;
    std::filesystem::path fileName_;
    bool ownerOnly_ = false;
    std::unique_ptr<Loaded> loaded_;
};

} // namespace rg
