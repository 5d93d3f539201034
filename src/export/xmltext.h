#pragma once

// Texts of the XML document and its style sheet.

#include "common/value.h"

#include <string>
#include <string_view>

namespace rg {

class TdxDBGridColumn;

// Leaves only ASCII: space, "!", "*" to ";", letters, digits and "_" stay; every other
// character becomes "&#N;" with its Unicode code point, except those XML 1.0 forbids
// (control characters other than tab, line feed and carriage return), which are left out.
// The text is UTF-8.
std::string EscapeXmlText(std::string_view text);
// Every character outside printable ASCII as a character reference, the rest unchanged:
// for texts written unescaped (a font name) that must still parse.
std::string AsciiWithCharRefs(std::string_view text);

// The column's component name, or "Column" and its index in the grid's columns.
std::string ColumnXmlName(const TdxDBGridColumn& column);
std::string ColumnXmlName(const std::string& componentName, int index);

// Each byte of the name's code page 936 form that is not "-", ".", a digit, a letter or
// "_" becomes "_".
std::string SafeFileName(std::string_view name);

// The style sheet beside a document: same folder, the document's name with ".xsl" in
// place of its extension; a name that had to be made safe, or is very long, gets its hash
// appended, so two documents in one folder never share a style sheet.
std::string StyleSheetName(const std::string& documentPath);
std::string StyleSheetPath(const std::string& documentPath);

// A day-count serial (day 0 = 1899-12-30) as "yyyy-mm-dd", "yyyy-mm-ddThh:nn:ss" or, on
// day 0, "hh:nn:ss"; -700000 exactly gives the empty text.
std::string FormatXmlDate(double d);
// A date, time or date-time value in those forms, with its fraction of a second when it has
// one; what they cannot say (an era, an infinity, a time beyond a day) as the cell's text.
std::string FormatXmlDate(const Value& v);

} // namespace rg
