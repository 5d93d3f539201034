#pragma once

// The option sets and modes of the grid report link.

#include <QColor>
#include <QFont>

#include <cstdint>
#include <initializer_list>

namespace rg {

enum class TdxTreeListPaintOption : uint8_t {
    tlpoBands,
    tlpoHeaders,
    tlpoFooters,
    tlpoRowFooters,
    tlpoPreview,
    tlpoPreviewGrid,
    tlpoGrid,
    tlpoFlatCheckMarks,
    tlpoImages,
    tlpoStateImages,
    tlpoSoft3D,
    tlpoRowFooterGrid,
    tlpoTransparentColumnGraphic,
    tlpoGraphicAsText,
    tlpo3DEffects,
    tlpoCheckMarksAsText,
    tlpoTreeLines,
    tlpoExpandButtons,
};
constexpr int kPaintOptionCount = 18;

// A set of enumerators of E, one bit each.
template <class E> class EnumSet {
public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<E> items) {
        for (E e : items)
            bits_ |= bit(e);
    }
    constexpr bool contains(E e) const { return (bits_ & bit(e)) != 0; }
    constexpr void set(E e, bool on = true) { bits_ = on ? (bits_ | bit(e)) : (bits_ & ~bit(e)); }
    constexpr uint32_t bits() const { return bits_; }
    constexpr bool operator==(const EnumSet&) const = default;

private:
    static constexpr uint32_t bit(E e) { return 1u << static_cast<int>(e); }
    uint32_t bits_ = 0;
};

using TdxTreeListPaintOptions = EnumSet<TdxTreeListPaintOption>;

// tldmStrict paints every row alike; tldmOddEven alternates the even and odd row looks.
enum class TdxTreeListDrawMode : uint8_t { tldmStrict, tldmOddEven };

enum class TdxReportTitleMode : uint8_t { tmNone, tmOnEveryTopPage, tmOnFirstPage };

// A font together with the colour its text is drawn in.
struct ReportFont {
    QFont font;
    QColor color;
    bool operator==(const ReportFont&) const = default;
};

} // namespace rg
