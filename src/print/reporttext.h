#pragma once

// Texts of a report shaped once: a report prints the same names, dates and digits many
// thousand times, and laying each cell out anew was most of a page's cost.

#include <QFont>
#include <QRawFont>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace rg {

// The font a text is drawn in: for a character beyond the first plane (𠮷), the installed
// fonts of the CJK extension planes follow `font`, which the desktop's fallback leaves out.
QFont fontForText(const QFont& font, const QString& text);

// One glyph, placed from the left end of the text's baseline.
struct ShapedGlyph {
    quint32 index;
    float x, y;
    uint16_t font; // ReportTexts::rawFont
};

struct ShapedText {
    std::vector<ShapedGlyph> glyphs;
    double width = 0, ascent = 0, descent = 0;
};

class ReportTexts {
public:
    ReportTexts();
    ~ReportTexts();
    ReportTexts(const ReportTexts&) = delete;
    ReportTexts& operator=(const ReportTexts&) = delete;

    // `text` on one line in `font` (a layout font), as QTextLayout shapes it; line breaks
    // become spaces. Valid until the next call.
    const ShapedText& shape(const QFont& font, std::string_view text);
    // Cut to `width` with "…" when longer.
    const ShapedText& elided(const QFont& font, std::string_view text, double width);
    double width(const QFont& font, std::string_view text);

    const QRawFont& rawFont(uint16_t i) const { return rawFonts_[i]; }

private:
    struct FontTexts;
    FontTexts& of(const QFont& font);
    // Puts a text of number, date and Chinese characters together from single glyphs into
    // f.scratch; false for any other text.
    bool compose(FontTexts& f, std::string_view s);
    uint16_t rawFontIndex(const QRawFont& f);
    float advanceOf(const ShapedGlyph& g) const;
    void layOut(const QFont& font, const QString& text, ShapedText& out);

    std::vector<QRawFont> rawFonts_;
    std::unordered_map<QString, std::unique_ptr<FontTexts>> fonts_;
    FontTexts* last_ = nullptr;
    QFont lastFont_;
};

} // namespace rg
