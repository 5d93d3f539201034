#pragma once

// Summary kinds, items, groups and the formatter of summary values.

#include "grid/summaryvalue.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace rg {

// Where a summary text appears: the default patterns differ.
enum class SummaryPlace { GroupRow, Footer };
enum class ShowValuesAs : uint8_t;
// The kind of value handed to the formatter: dates print as dates, all else as numbers.
enum class SummaryValueKind { Number, Date, Time, DateTime };

// The text of a summary value: the pattern, or the default pattern of the kind for the
// place when it is empty. An empty value (a minimum of nulls only) is the empty text; a
// text value is written as a date would be, between the pattern's prefix and suffix.
std::string FormatSummaryValue(TdxSummaryType kind, const std::string& pattern,
                               SummaryValueKind valueKind, SummaryPlace place,
                               const SummaryValue& value);
std::string FormatSummaryValue(TdxSummaryType kind, const std::string& pattern,
                               SummaryValueKind valueKind, SummaryPlace place, double value);
// A footer cell's text. Where its column's footers are of several kinds (`namesKind`) every
// one says which it is, a sum "SUM=" and a count "COUNT=" as a minimum already says "MIN=";
// a pattern of the summary's own is written as it is.
std::string FormatFooterValue(TdxSummaryType kind, const std::string& pattern,
                              SummaryValueKind valueKind, const SummaryValue& value,
                              bool namesKind);
// What the grand total's row is called wherever it is shown or written.
inline constexpr const char* kGrandTotalLabel = "总计";

// A numeric pattern: up to three ";" sections (positive and zero, negative, zero); "0" a
// digit always written, "#" a digit written when significant, "." the decimal point, ","
// thousands separators, E+/E-/e+/e- an exponent, quoted text literal, anything else as is.
// Exact values round exactly (half away from zero); a value that rounds to zero is
// written as zero, never with a minus sign. "." whatever the process locale.
// The pattern kCapitalAmountPattern writes the amount in Chinese capitals as banks do
// (capitalAmount): 12345.67 as "壹万贰仟叁佰肆拾伍元陆角柒分".
std::string FormatFloatPattern(const std::string& pattern, const SummaryValue& value);
std::string FormatFloatPattern(const std::string& pattern, double value);
inline constexpr const char* kCapitalAmountPattern = "[大写金额]";

class TdxDBGridSummaryItems;

class TdxDBGridSummaryItem {
public:
    explicit TdxDBGridSummaryItem(TdxDBGridSummaryItems* owner) : owner_(owner) {}

    const std::string& ColumnName() const { return columnName_; }
    const std::string& SummaryField() const { return summaryField_; }
    // Empty: the values print in the default pattern of their kind; nothing sets another.
    const std::string& SummaryFormat() const { return summaryFormat_; }
    TdxSummaryType SummaryType() const { return summaryType_; }
    // Each setter notifies the grid only when the value differs.
    void SetColumnName(const std::string& v);
    void SetSummaryField(const std::string& v);
    void SetSummaryType(TdxSummaryType v);
    // How its group values are shown (showas.h); a change recomputes no summary.
    ShowValuesAs ShowAs() const { return showAs_; }
    void SetShowAs(ShowValuesAs v);

    int boundField = -1; // data set field resolved at every load, -1 when none

private:
    void changed();
    TdxDBGridSummaryItems* owner_;
    std::string columnName_, summaryField_, summaryFormat_;
    TdxSummaryType summaryType_ = TdxSummaryType::cstNone;
    ShowValuesAs showAs_{};
};

class TdxDBGridSummaryItems {
public:
    // `onShownChange` hears a change of how values are shown, which needs no recomputation.
    explicit TdxDBGridSummaryItems(std::function<void()> onChange,
                                   std::function<void()> onShownChange = {})
        : onChange_(std::move(onChange)), onShownChange_(std::move(onShownChange)) {}

    TdxDBGridSummaryItem& Add(); // appends and returns the new item
    int Count() const { return static_cast<int>(items_.size()); }
    TdxDBGridSummaryItem& Items(int i); // "List index out of bounds (%d)"
    const TdxDBGridSummaryItem& Items(int i) const;
    void Delete(int i);
    void Clear();
    // A batch of changes notifies once, at its end.
    void BeginUpdate() { ++updates_; }
    void EndUpdate();

    void changed();
    void shownChanged();

private:
    std::function<void()> onChange_, onShownChange_;
    std::vector<std::unique_ptr<TdxDBGridSummaryItem>> items_;
    int updates_ = 0;
    bool pending_ = false;
};

class TdxDBGridSummaryGroup {
public:
    explicit TdxDBGridSummaryGroup(std::function<void()> onChange,
                                   std::function<void()> onShownChange = {})
        : SummaryItems(std::move(onChange), std::move(onShownChange)) {}
    std::string Name;
    bool DefaultGroup = false;
    std::string BeginSummaryText, EndSummaryText;
    TdxDBGridSummaryItems SummaryItems;
};

} // namespace rg
