#pragma once

// Small helpers shared by the grid's source files.

#include "common/asciicase.h"
#include "common/value.h"
#include "grid/summary.h"

#include <string>

namespace rg {

// Dates, times and date-times print as such in summaries; everything else as a number.
inline SummaryValueKind valueKindOf(FieldKind k) {
    switch (k) {
    case FieldKind::Date:
        return SummaryValueKind::Date;
    case FieldKind::Time:
        return SummaryValueKind::Time;
    case FieldKind::DateTime:
    case FieldKind::TimeStamp:
        return SummaryValueKind::DateTime;
    default:
        return SummaryValueKind::Number;
    }
}

} // namespace rg
