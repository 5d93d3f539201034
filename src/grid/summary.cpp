#include "grid/summary.h"

#include "common/capitalamount.h"

#include "common/datetime.h"
#include "common/displaytext.h"
#include "common/error.h"

#include <charconv>
#include <cmath>
#include <optional>

namespace rg {
namespace {

// Splits a pattern at ";" outside quotes.
std::vector<std::string> sections(const std::string& p) {
    std::vector<std::string> out(1);
    char quote = 0;
    for (char ch : p) {
        if (quote) {
            if (ch == quote)
                quote = 0;
        } else if (ch == '"' || ch == '\'') {
            quote = ch;
        } else if (ch == ';') {
            out.emplace_back();
            continue;
        }
        out.back() += ch;
    }
    return out;
}

struct Token {
    enum Kind { Literal, IntDigit, Point, FracDigit, Exponent } kind;
    std::string text; // literal text; for Exponent: "+" or "-" and the digit count in `digits`
    bool zero = false;
    int digits = 0;
};

std::string groupThousands(const std::string& digits) {
    std::string out;
    const int n = static_cast<int>(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += ',';
        out += digits[static_cast<size_t>(i)];
    }
    return out;
}

// The absolute value being formatted, exactly (a double by its exact binary value), or the
// word that stands for NaN or an infinity.
struct Magnitude {
    BigDecimal exact;
    std::string special;
};

// |value| with `places` fractional digits, "123.45", rounded half away from zero.
std::string fixedDigits(const BigDecimal& m, int places) {
    return m.abs().withScale(places).toString();
}

// NaN and the infinities have no digits: the word stands where the number's digits stand,
// between the section's literals.
std::string writeSpecial(const std::vector<Token>& tokens, const std::string& word) {
    std::string out;
    bool written = false;
    for (const Token& t : tokens) {
        if (t.kind == Token::Literal)
            out += t.text;
        else if (!written)
            out += word, written = true;
    }
    return out;
}

// The tokens of one section; `thousands` tells whether it asks for thousands separators.
std::vector<Token> tokenize(const std::string& section, bool& thousands) {
    std::vector<Token> tokens;
    bool afterPoint = false;
    thousands = false;
    for (size_t i = 0; i < section.size(); ++i) {
        const char ch = section[i];
        if (ch == '"' || ch == '\'') {
            const size_t end = section.find(ch, i + 1);
            const size_t stop = end == std::string::npos ? section.size() : end;
            tokens.push_back({Token::Literal, section.substr(i + 1, stop - i - 1)});
            i = stop;
        } else if (ch == '0' || ch == '#') {
            tokens.push_back({afterPoint ? Token::FracDigit : Token::IntDigit, {}, ch == '0'});
        } else if (ch == '.' && !afterPoint) {
            afterPoint = true;
            tokens.push_back({Token::Point, {}});
        } else if (ch == ',') {
            thousands = true;
        } else if ((ch == 'E' || ch == 'e') && i + 1 < section.size() &&
                   (section[i + 1] == '+' || section[i + 1] == '-')) {
            Token t{Token::Exponent, std::string(1, section[i + 1])};
            t.text.insert(0, 1, ch);
            size_t j = i + 2;
            while (j < section.size() && section[j] == '0')
                ++j, ++t.digits;
            tokens.push_back(t);
            i = j - 1;
            afterPoint = true; // digits after the exponent belong to it
        } else {
            tokens.push_back({Token::Literal, std::string(1, ch)});
        }
    }
    return tokens;
}

// Writes one section; `zero` tells whether every digit written was 0.
std::string formatSection(const std::string& section, const Magnitude& value,
                          bool* zero = nullptr) {
    bool thousands = false;
    const std::vector<Token> tokens = tokenize(section, thousands);
    if (!value.special.empty())
        return writeSpecial(tokens, value.special);

    int intSlots = 0, intRequired = -1, fracSlots = 0, fracRequired = 0;
    const Token* exponent = nullptr;
    for (const Token& t : tokens) {
        if (t.kind == Token::IntDigit) {
            if (t.zero && intRequired < 0)
                intRequired = intSlots;
            ++intSlots;
        } else if (t.kind == Token::FracDigit) {
            ++fracSlots;
            if (t.zero)
                fracRequired = fracSlots;
        } else if (t.kind == Token::Exponent && !exponent) {
            exponent = &t;
        }
    }
    intRequired = intRequired < 0 ? 0 : intSlots - intRequired;

    BigDecimal shown = value.exact;
    int exp10 = 0;
    if (exponent && !shown.isZero()) {
        // lead digits before the point: the value over 10^exp10, carried into one more
        // integer digit when rounding makes it (9.996 -> 10.00).
        const int lead = std::max(intSlots, 1);
        exp10 = value.exact.digitCount() - 1 - value.exact.scale - (lead - 1);
        auto scaled = [&](int e) {
            BigDecimal d = value.exact;
            d.scale += e;
            return d.scale < 0 ? d.withScale(0) : d;
        };
        shown = scaled(exp10);
        const BigDecimal rounded = shown.withScale(fracSlots);
        if (rounded.digitCount() - rounded.scale > lead)
            shown = scaled(++exp10);
    }
    const std::string digits = fixedDigits(shown, fracSlots);
    if (zero)
        *zero = digits.find_first_of("123456789") == std::string::npos;
    std::string intPart = digits.substr(0, digits.find('.'));
    std::string fracPart = fracSlots > 0 ? digits.substr(digits.find('.') + 1) : std::string();
    if (intPart == "0")
        intPart.clear();
    while (static_cast<int>(intPart.size()) < intRequired)
        intPart.insert(0, 1, '0');
    if (thousands)
        intPart = groupThousands(intPart);
    while (static_cast<int>(fracPart.size()) > fracRequired && fracPart.back() == '0')
        fracPart.pop_back();

    std::string out;
    bool intWritten = false, fracWritten = false;
    for (const Token& t : tokens) {
        switch (t.kind) {
        case Token::Literal:
            out += t.text;
            break;
        case Token::IntDigit:
            if (!intWritten)
                out += intPart;
            intWritten = true;
            break;
        case Token::Point:
            if (!intWritten)
                out += intPart, intWritten = true;
            if (!fracPart.empty())
                out += '.';
            break;
        case Token::FracDigit:
            if (!fracWritten)
                out += fracPart;
            fracWritten = true;
            break;
        case Token::Exponent: {
            out += t.text[0];
            if (exp10 < 0)
                out += '-';
            else if (t.text[1] == '+')
                out += '+';
            std::string e = std::to_string(std::abs(exp10));
            while (static_cast<int>(e.size()) < t.digits)
                e.insert(0, 1, '0');
            out += e;
            break;
        }
        }
    }
    return out;
}

} // namespace

std::string FormatFloatPattern(const std::string& pattern, const SummaryValue& value) {
    const bool exact = value.kind() == SummaryValue::Kind::Exact;
    if (pattern == kCapitalAmountPattern) {
        const std::optional<Decimal> amount =
            exact ? value.exact().toDecimal() : Decimal::fromDouble(value.toDouble());
        if (const std::optional<std::string> text = amount ? capitalAmount(*amount) : std::nullopt)
            return *text;
        return FormatFloatPattern("0.00;-0.00", value); // beyond the banks' units
    }
    if (pattern.empty())
        return exact ? value.exact().toString() : formatFloat(value.toDouble());
    Magnitude m;
    bool negative = false, isZero = false;
    if (exact) {
        m.exact = value.exact();
    } else if (const double d = value.toDouble(); std::isfinite(d)) {
        m.exact = BigDecimal::exactDouble(d);
    } else {
        negative = d < 0;
        m.special = d != d ? "NaN" : "Infinity";
    }
    if (m.special.empty()) {
        negative = m.exact.isNegative();
        isZero = m.exact.isZero();
        m.exact = m.exact.abs();
    }
    const std::vector<std::string> s = sections(pattern);
    // A value that rounds to zero in the positive section is zero: no "-0.00".
    bool roundsToZero = false;
    const std::string positive = formatSection(s[0], m, &roundsToZero);
    if (m.special.empty() && (isZero || roundsToZero)) {
        if (s.size() >= 3 && !s[2].empty())
            return formatSection(s[2], Magnitude{});
        return isZero ? positive : formatSection(s[0], Magnitude{});
    }
    if (negative && s.size() >= 2 && !s[1].empty())
        return formatSection(s[1], m);
    // A single section writes its own minus sign.
    return negative ? "-" + positive : positive;
}

std::string FormatFloatPattern(const std::string& pattern, double value) {
    return FormatFloatPattern(pattern, SummaryValue::floatValue(value));
}

std::string FormatSummaryValue(TdxSummaryType kind, const std::string& pattern,
                               SummaryValueKind valueKind, SummaryPlace place, double value) {
    return FormatSummaryValue(kind, pattern, valueKind, place, SummaryValue::floatValue(value));
}

std::string FormatSummaryValue(TdxSummaryType kind, const std::string& pattern,
                               SummaryValueKind valueKind, SummaryPlace place,
                               const SummaryValue& value) {
    if (kind == TdxSummaryType::cstNone || value.kind() == SummaryValue::Kind::Failed)
        return {};
    // Only a minimum or maximum can have nothing to show; sums and counts of nothing are 0.
    if (value.isEmpty() && (kind == TdxSummaryType::cstMin || kind == TdxSummaryType::cstMax))
        return {};
    if (value.isEmpty())
        return FormatSummaryValue(kind, pattern, valueKind, place,
                                  SummaryValue::exactValue(Decimal{}));
    const bool textValue = value.kind() == SummaryValue::Kind::Text;
    const bool row = place == SummaryPlace::GroupRow;
    if (!textValue && (kind == TdxSummaryType::cstCount || valueKind == SummaryValueKind::Number)) {
        std::string p = pattern;
        if (p.empty()) {
            switch (kind) {
            case TdxSummaryType::cstSum:
                p = row ? "(SUM=0.00);(SUM=-0.00)" : "0.00;-0.00";
                break;
            case TdxSummaryType::cstMin:
                p = row ? "(MIN=0.00);(MIN=-0.00)" : "MIN=0.00;MIN=-0.00";
                break;
            case TdxSummaryType::cstMax:
                p = row ? "(MAX=0.00);(MAX=-0.00)" : "MAX=0.00;MAX=-0.00";
                break;
            case TdxSummaryType::cstCount:
                p = row ? "(COUNT=0)" : "0";
                break;
            case TdxSummaryType::cstAvg:
                p = row ? "(AVG=0.00);(AVG=-0.00)" : "AVG=0.00;AVG=-0.00";
                break;
            case TdxSummaryType::cstNone:
                break;
            }
            // A sum, minimum or maximum of exact values shows the places of its column's
            // values (a NUMERIC(10,3) sum its three), not fewer.
            const bool exactKind = kind == TdxSummaryType::cstSum ||
                                   kind == TdxSummaryType::cstMin || kind == TdxSummaryType::cstMax;
            if (exactKind && value.kind() == SummaryValue::Kind::Exact && value.exact().scale > 2) {
                const std::string places =
                    "0." + std::string(static_cast<size_t>(value.exact().scale), '0');
                for (size_t at = p.find("0.00"); at != std::string::npos;
                     at = p.find("0.00", at + places.size()))
                    p.replace(at, 4, places);
            }
        }
        return FormatFloatPattern(p, value);
    }
    std::string prefix, suffix;
    if (!pattern.empty()) {
        prefix = pattern;
    } else {
        switch (kind) {
        case TdxSummaryType::cstSum:
            prefix = row ? "(SUM=" : "";
            break;
        case TdxSummaryType::cstMin:
            prefix = row ? "(MIN=" : "MIN=";
            break;
        case TdxSummaryType::cstMax:
            prefix = row ? "(MAX=" : "MAX=";
            break;
        case TdxSummaryType::cstAvg:
            prefix = row ? "(AVG=" : "AVG=";
            break;
        default:
            break;
        }
        suffix = row ? ")" : "";
    }
    std::string text;
    if (textValue)
        return prefix + value.text() + suffix;
    // A minimum or maximum keeps its microseconds; sums and averages are serials.
    const std::optional<int64_t> us = value.micros();
    switch (valueKind) {
    case SummaryValueKind::Date:
        text = us ? formatDateMicros(*us) : formatDate(value.toDouble());
        break;
    case SummaryValueKind::Time:
        text = us ? formatTimeMicros(*us) : formatTime(value.toDouble());
        break;
    default:
        text = us ? formatDateTimeMicros(*us) : formatDateTime(value.toDouble());
        break;
    }
    return prefix + text + suffix;
}

std::string FormatFooterValue(TdxSummaryType kind, const std::string& pattern,
                              SummaryValueKind valueKind, const SummaryValue& value,
                              bool namesKind) {
    const bool unnamed = kind == TdxSummaryType::cstSum || kind == TdxSummaryType::cstCount;
    if (!namesKind || !unnamed || !pattern.empty())
        return FormatSummaryValue(kind, pattern, valueKind, SummaryPlace::Footer, value);
    // A date or text value is written after a pattern taken as its prefix.
    const bool asNumber =
        kind == TdxSummaryType::cstCount ||
        (valueKind == SummaryValueKind::Number && value.kind() != SummaryValue::Kind::Text);
    const char* named = kind == TdxSummaryType::cstCount ? "COUNT=0"
                        : asNumber                       ? "SUM=0.00;SUM=-0.00"
                                                         : "SUM=";
    return FormatSummaryValue(kind, named, valueKind, SummaryPlace::Footer, value);
}

void TdxDBGridSummaryItem::changed() {
    if (owner_)
        owner_->changed();
}
void TdxDBGridSummaryItem::SetColumnName(const std::string& v) {
    if (v != columnName_)
        columnName_ = v, changed();
}
void TdxDBGridSummaryItem::SetSummaryField(const std::string& v) {
    if (v != summaryField_)
        summaryField_ = v, changed();
}
void TdxDBGridSummaryItem::SetSummaryType(TdxSummaryType v) {
    if (v != summaryType_)
        summaryType_ = v, changed();
}

void TdxDBGridSummaryItem::SetShowAs(ShowValuesAs v) {
    if (v == showAs_)
        return;
    showAs_ = v;
    if (owner_)
        owner_->shownChanged();
}

TdxDBGridSummaryItem& TdxDBGridSummaryItems::Add() {
    items_.push_back(std::make_unique<TdxDBGridSummaryItem>(this));
    changed();
    return *items_.back();
}

TdxDBGridSummaryItem& TdxDBGridSummaryItems::Items(int i) {
    if (i < 0 || i >= Count())
        throw Error(format("List index out of bounds (%d)", i));
    return *items_[static_cast<size_t>(i)];
}

const TdxDBGridSummaryItem& TdxDBGridSummaryItems::Items(int i) const {
    return const_cast<TdxDBGridSummaryItems*>(this)->Items(i);
}

void TdxDBGridSummaryItems::Delete(int i) {
    Items(i); // range check
    items_.erase(items_.begin() + i);
    changed();
}

void TdxDBGridSummaryItems::Clear() {
    items_.clear();
    changed();
}

void TdxDBGridSummaryItems::EndUpdate() {
    if (updates_ > 0 && --updates_ == 0 && pending_) {
        pending_ = false;
        if (onChange_)
            onChange_();
    }
}

void TdxDBGridSummaryItems::shownChanged() {
    if (updates_ > 0) {
        pending_ = true;
        return;
    }
    if (onShownChange_)
        onShownChange_();
}

void TdxDBGridSummaryItems::changed() {
    if (updates_ > 0) {
        pending_ = true;
        return;
    }
    if (onChange_)
        onChange_();
}

} // namespace rg
