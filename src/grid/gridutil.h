#pragma once

// Small helpers shared by the grid's source files.

#include "common/value.h"
#include "grid/summary.h"

#include <cctype>
#include <string>

namespace rg {

// Names of columns and fields compare ignoring ASCII case.
inline bool sameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x != y && std::tolower(x) != std::tolower(y)) return false;
    }
    return true;
}

// Dates, times and date-times print as such in summaries; everything else as a number.
inline SummaryValueKind valueKindOf(FieldKind k) {
    switch (k) {
    case FieldKind::Date: return SummaryValueKind::Date;
    case FieldKind::Time: return SummaryValueKind::Time;
    case FieldKind::DateTime: case FieldKind::TimeStamp: return SummaryValueKind::DateTime;
    default: return SummaryValueKind::Number;
    }
}

} // namespace rg
