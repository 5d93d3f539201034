#pragma once

// The report as lines for scripts and terminals, every group expanded: a CSV that keeps each
// line's kind (group, data, footer, total) and level, and aligned plain text.

#include <string>

namespace rg {

class TdxDBGrid;

std::string gridAsCsv(const TdxDBGrid& grid);
std::string gridAsText(const TdxDBGrid& grid);

// Writes `text` into the file at `path` through ExportFile, or with an empty path to standard
// output, checked to the last byte.
void WriteListing(const std::string& path, const std::string& text);

} // namespace rg
