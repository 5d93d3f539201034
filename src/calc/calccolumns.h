#pragma once

// The columns of calculated fields appended to a fetched result.

#include "calc/calcfield.h"

#include <string>
#include <vector>

namespace rg {

struct ResultBuffer;

// Appends one column per field after the result's columns, each computed over them and the
// fields before it; `captions` are those of the result's columns (empty: none). Throws
// rg::Error "计算字段“名称”：…" for a field that cannot be computed or whose name is taken.
void AppendCalculatedColumns(ResultBuffer& buf, const std::vector<CalculatedField>& fields,
                             const std::vector<std::string>& captions);

} // namespace rg
