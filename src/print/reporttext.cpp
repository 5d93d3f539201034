#include "print/reporttext.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QTextLayout>

#include <algorithm>
#include <array>

namespace rg {

namespace {

// Characters of numbers, dates and times: every number is a new text, so these are put
// together from single glyphs and the font's pair kerning instead of being shaped.
constexpr std::string_view kComposable = "0123456789.,-+:/%()Ee";
constexpr size_t kSlots = kComposable.size();
// Beyond this many cached texts a font starts again, so a long report holds no more.
constexpr size_t kCacheLimit = 8192;

} // namespace

struct ReportTexts::FontTexts {
    QFont font;
    std::array<int8_t, 128> slot{};
    std::array<quint32, kSlots> glyph{};
    std::array<float, kSlots> advance{};
    std::array<std::array<float, kSlots>, kSlots> kern{};
    uint16_t rawFont = 0;
    double ascent = 0, descent = 0;
    std::unordered_map<std::string, ShapedText> cache, elided;
    ShapedText scratch;

    bool compose(std::string_view s) {
        if (s.empty() || s.back() == ' ')
            return false;
        scratch.glyphs.clear();
        double x = 0;
        int previous = -1;
        for (const char ch : s) {
            const auto c = static_cast<unsigned char>(ch);
            if (c >= 128 || slot[c] < 0)
                return false;
            const int k = slot[c];
            if (previous >= 0)
                x += kern[static_cast<size_t>(previous)][static_cast<size_t>(k)];
            scratch.glyphs.push_back(
                {glyph[static_cast<size_t>(k)], static_cast<float>(x), 0, rawFont});
            x += advance[static_cast<size_t>(k)];
            previous = k;
        }
        scratch.width = x;
        scratch.ascent = ascent;
        scratch.descent = descent;
        return true;
    }
};

ReportTexts::ReportTexts() = default;
ReportTexts::~ReportTexts() = default;

uint16_t ReportTexts::rawFontIndex(const QRawFont& f) {
    for (size_t i = 0; i < rawFonts_.size(); ++i)
        if (rawFonts_[i] == f)
            return static_cast<uint16_t>(i);
    rawFonts_.push_back(f);
    return static_cast<uint16_t>(rawFonts_.size() - 1);
}

void ReportTexts::layOut(const QFont& font, const QString& text, ShapedText& out) {
    QString s = text;
    s.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    QTextLayout layout(s, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setLineWidth(0x01000000);
    layout.endLayout();
    out.glyphs.clear();
    if (!line.isValid()) {
        const QFontMetricsF m(font);
        out.width = 0;
        out.ascent = m.ascent();
        out.descent = m.descent();
        return;
    }
    out.width = line.naturalTextWidth();
    out.ascent = line.ascent();
    out.descent = line.descent();
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const uint16_t f = rawFontIndex(run.rawFont());
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i)
            out.glyphs.push_back({indexes[i], static_cast<float>(positions[i].x()),
                                  static_cast<float>(positions[i].y() - out.ascent), f});
    }
}

ReportTexts::FontTexts& ReportTexts::of(const QFont& font) {
    if (last_ != nullptr && font == lastFont_)
        return *last_;
    std::unique_ptr<FontTexts>& slot = fonts_[font.key()];
    if (!slot) {
        auto t = std::make_unique<FontTexts>();
        t->font = font;
        t->slot.fill(-1);
        ShapedText one;
        bool first = true;
        for (size_t k = 0; k < kSlots; ++k) {
            layOut(font, QString(QLatin1Char(kComposable[k])), one);
            if (one.glyphs.size() != 1 || (!first && one.glyphs[0].font != t->rawFont))
                continue;
            if (first) {
                t->rawFont = one.glyphs[0].font;
                t->ascent = one.ascent;
                t->descent = one.descent;
                first = false;
            }
            t->slot[static_cast<unsigned char>(kComposable[k])] = static_cast<int8_t>(k);
            t->glyph[k] = one.glyphs[0].index;
            t->advance[k] = static_cast<float>(one.width);
        }
        // Pair kerning, as the shaper applies it between two of these characters.
        for (size_t a = 0; a < kSlots; ++a) {
            for (size_t b = 0; b < kSlots; ++b) {
                const auto ca = static_cast<unsigned char>(kComposable[a]),
                           cb = static_cast<unsigned char>(kComposable[b]);
                if (t->slot[ca] < 0 || t->slot[cb] < 0)
                    continue;
                const char pair[] = {kComposable[a], kComposable[b]};
                layOut(font, QString::fromLatin1(pair, 2), one);
                if (one.glyphs.size() != 2 || one.glyphs[1].y != 0) {
                    t->slot[ca] = t->slot[cb] = -1; // shaped beyond simple kerning
                    continue;
                }
                t->kern[a][b] = one.glyphs[1].x - t->advance[a];
            }
        }
        slot = std::move(t);
    }
    last_ = slot.get();
    lastFont_ = font;
    return *last_;
}

const ShapedText& ReportTexts::shape(const QFont& font, std::string_view text) {
    FontTexts& f = of(font);
    if (f.compose(text))
        return f.scratch;
    if (f.cache.size() >= kCacheLimit)
        f.cache.clear();
    auto [it, added] = f.cache.try_emplace(std::string(text));
    if (added)
        layOut(font, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
               it->second);
    return it->second;
}

const ShapedText& ReportTexts::shape(const QFont& font, const QString& text) {
    return shape(font, std::string_view(text.toStdString()));
}

const ShapedText& ReportTexts::elided(const QFont& font, std::string_view text, double width) {
    const ShapedText& whole = shape(font, text);
    if (whole.width <= width)
        return whole;
    FontTexts& f = of(font);
    if (f.elided.size() >= kCacheLimit)
        f.elided.clear();
    std::string key(text);
    key += '\0';
    key += std::to_string(std::lround(width * 16));
    auto [it, added] = f.elided.try_emplace(std::move(key));
    if (added) {
        const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        layOut(font, QFontMetricsF(font).elidedText(s, Qt::ElideRight, width), it->second);
    }
    return it->second;
}

} // namespace rg
