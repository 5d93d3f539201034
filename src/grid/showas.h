#pragma once

// How a summary's group values are shown: as they are, or against the other groups' values
// of the same summary (a share, a running total, a rank, the change from the previous
// interval or from the same interval a year before). Every mode is computed from the group
// values a load already holds, never from the rows again.

#include "grid/groupinterval.h"
#include "grid/rowtree.h"
#include "grid/summary.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rg {

enum class ShowValuesAs : uint8_t {
    Value,
    PercentOfTotal,
    PercentOfParent,
    RunningTotal,
    Rank,
    DifferenceFromPrevious,
    RatioToPrevious,
    DifferenceFromYearBefore,
    RatioToYearBefore,
    YearToDate,
};

// The one list of the modes: the name the setup and the command line use, the caption the
// dialog shows, whether its values are percents and whether it adds values up (then only
// sums and counts can be shown so).
struct ShowAsMode {
    ShowValuesAs mode;
    const char* name;
    const char* caption;
    bool percent;
    bool adds;
};
std::span<const ShowAsMode> ShowAsModes();
const ShowAsMode& ShowAsInfo(ShowValuesAs mode);
// Throws rg::Error naming an unknown name.
ShowValuesAs ShowAsFromName(std::string_view name);

// Throws rg::Error naming the summary (`what`) when `mode` cannot show a `kind` summary:
// shares, running totals and the year to date add values up, so they need sums or counts.
void CheckShowAsFits(ShowValuesAs mode, TdxSummaryType kind, const std::string& what);

// Percents have this many decimals wherever they are shown.
inline constexpr int kPercentPlaces = 2;

// Fills GroupRow::shown of every group of `tree` (one slot per item, `modes[i]` the mode of
// item i; empty vectors when no item has one). `intervals` holds each level's interval:
// the year-before modes and the year to date apply to date intervals only, and there the
// previous group is the previous interval. Shares are rounded by the largest remainder, so
// that the shares of the groups of one parent (of one level for the grand total) add up to
// exactly 100 % at kPercentPlaces.
void ComputeShownValues(RowTree& tree, const std::vector<ShowValuesAs>& modes,
                        const std::vector<IntervalSpec>& intervals);

// The summary footer's value under `mode`: a share of the whole is 100 %, a running total
// and the year to date the grand total itself; a rank or a change has none.
SummaryValue ShownFooterValue(ShowValuesAs mode, const SummaryValue& value);

// The text of a value shown under `mode`: percents "12.34%", ranks and counts as whole
// numbers, other numbers in the summary's pattern (else at two places); a group row says
// which mode ("(累计=1234.50)"), a footer cell where its column's footers are of several
// kinds. Under Value as the summary's own values are written (FormatSummaryValue,
// FormatFooterValue).
std::string FormatShownValue(ShowValuesAs mode, TdxSummaryType kind, const std::string& pattern,
                             SummaryValueKind valueKind, SummaryPlace place,
                             const SummaryValue& value, bool namesKind);

} // namespace rg
