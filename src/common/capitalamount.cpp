#include "common/capitalamount.h"

#include <array>

namespace rg {

namespace {

constexpr std::array<const char*, 10> kDigits = {"零", "壹", "贰", "叁", "肆",
                                                 "伍", "陆", "柒", "捌", "玖"};
constexpr std::array<const char*, 4> kPlaces = {"", "拾", "佰", "仟"};
// The groups of four digits from the lowest: yuan, 万, 亿, 万亿.
constexpr std::array<const char*, 4> kGroups = {"", "万", "亿", "万亿"};

// One group of four digits, `lead` when a higher group was written: its leading zeros then
// read as one 零.
std::string groupText(int group, bool lead) {
    std::string out;
    bool zero = false; // zeros met since the last digit written
    constexpr std::array<int, 4> kPowers = {1, 10, 100, 1000};
    for (int place = 3; place >= 0; --place) {
        const int digit = group / kPowers[static_cast<size_t>(place)] % 10;
        if (digit == 0) {
            zero = zero || !out.empty() || lead;
            continue;
        }
        if (zero)
            out += kDigits[0];
        zero = false;
        out += kDigits[static_cast<size_t>(digit)];
        out += kPlaces[static_cast<size_t>(place)];
    }
    return out;
}

} // namespace

std::optional<std::string> capitalAmount(const Decimal& amount) {
    const std::optional<Decimal> fen = amount.withScale(2);
    if (!fen)
        return std::nullopt;
    int128 m = fen->mantissa < 0 ? -fen->mantissa : fen->mantissa;
    const int128 limit = pow10i(18); // 10^16 yuan in fen
    if (m >= limit)
        return std::nullopt;
    const auto cents = static_cast<int64_t>(m);
    const int64_t yuan = cents / 100;
    const int jiao = static_cast<int>(cents / 10 % 10), fenDigit = static_cast<int>(cents % 10);

    std::string out = fen->mantissa < 0 ? "负" : "";
    if (yuan > 0) {
        // Groups from the highest; a group of zeros between written ones reads as 零 in the
        // next group written.
        std::array<int, 4> groups{};
        int64_t rest = yuan;
        for (int& g : groups) {
            g = static_cast<int>(rest % 10000);
            rest /= 10000;
        }
        bool written = false, gap = false;
        for (size_t g = groups.size(); g-- > 0;) {
            if (groups[g] == 0) {
                gap = gap || written;
                continue;
            }
            std::string text = groupText(groups[g], written);
            if (gap && text.rfind(kDigits[0], 0) != 0)
                text = kDigits[0] + text;
            out += text + kGroups[g];
            written = true;
            gap = false;
        }
        out += "元";
    }
    if (jiao == 0 && fenDigit == 0)
        return out + (yuan > 0 ? "整" : "零元整");
    if (jiao > 0) {
        if (yuan > 0 && yuan % 10 == 0)
            out += kDigits[0];
        out += std::string(kDigits[static_cast<size_t>(jiao)]) + "角";
    } else if (yuan > 0) {
        out += kDigits[0];
    }
    if (fenDigit > 0)
        out += std::string(kDigits[static_cast<size_t>(fenDigit)]) + "分";
    return out;
}

} // namespace rg
