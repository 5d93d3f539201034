#pragma once

// The accessor of one settings file: names the sections and keys of a report setup,
// scrambles values (every code page byte b stored as 255 - b) and writes the four
// single-valued entries only when they change. Reads never fail and yield empty text for
// whatever is missing; a write that cannot be stored is lost silently.

#include "setup/inifile.h"

#include <string>
#include <string_view>

namespace rg {

class TSetup {
public:
    // Neither opens nor creates the file; the first write creates it.
    explicit TSetup(std::string fileName);

    const std::string& FileName() const { return fileName_; }

    std::string ReadConnString();
    std::string ReadCommandType();
    std::string ReadCommandText();
    std::string ReadKeyField();

    std::string ReadField(const std::string& fieldName);
    std::string ReadParameterValue(const std::string& parameterName);
    std::string ReadSummaryField(const std::string& fieldName);

    // Write only when Value differs from what this accessor last read or stored for the
    // entry, so a fresh accessor never blanks an entry with an empty value.
    void WriteConnString(const std::string& Value);
    void WriteCommandType(const std::string& Value);
    void WriteCommandText(const std::string& Value);
    void WriteKeyField(const std::string& Value);

    void WriteField(const std::string& fieldName, const std::string& caption);
    void WriteParameterValue(const std::string& parameterName, const std::string& value);
    void WriteSummaryField(const std::string& fieldName, const std::string& summaryKind);

    // UTF-8 text in and out; the file holds code page 936 bytes.
    std::string ReadValue(std::string_view Section, std::string_view Key);
    // Returns whether the value reached the file; callers of the named writes never learn it.
    bool WriteValue(std::string_view Section, std::string_view Key, std::string_view Value);

    // Every byte b becomes 255 - b; its own inverse.
    static std::string Scramble(std::string_view Value);
    // Removes every occurrence of Separator met in one scan from left to right; a separator
    // formed by joining the pieces stays.
    static std::string RemoveAll(std::string_view Value, std::string_view Separator);

    // The code page bytes as they go into the file, before scrambling: the plain bytes, or
    // the marked form for bytes whose complement would end a line or the text.
    static std::string Encode(std::string_view ansi);
    static std::string Decode(std::string_view stored);

private:
    void writeCached(std::string& cache, std::string_view section, std::string_view key,
                     const std::string& value);

    std::string fileName_;
    IniFile ini_;
    std::string connString_;
    std::string commandType_;
    std::string commandText_;
    std::string keyField_;
};

} // namespace rg
