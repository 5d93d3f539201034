#pragma once

// The report as lines for scripts and terminals, every group expanded: a CSV that keeps each
// line's kind (group, data, footer, total) and level, and aligned plain text. Both are
// written line by line, so that a report of any size passes through without being held.

#include <functional>
#include <string>
#include <string_view>

namespace rg {

class TdxDBGrid;

// Takes the listing piece by piece, in order.
using ListingSink = std::function<void(std::string_view)>;

void WriteGridAsCsv(const TdxDBGrid& grid, const ListingSink& out);
// The column widths come from a first pass over the rows; the second writes.
void WriteGridAsText(const TdxDBGrid& grid, const ListingSink& out);

// The whole CSV listing in one string, for comparing reports.
std::string gridAsCsv(const TdxDBGrid& grid);

// Runs `write` into the file at `path` through ExportFile, or with an empty path into
// standard output, checked to the last byte.
void WriteListing(const std::string& path, const std::function<void(const ListingSink&)>& write);

} // namespace rg
