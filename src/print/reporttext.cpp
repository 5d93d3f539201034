#include "print/reporttext.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QTextLayout>

#include <algorithm>
#include <array>

namespace rg {

namespace {

// Characters of numbers, dates and times: every number is a new text, so these are put
// together from single glyphs and the font's pair kerning instead of being shaped.
constexpr std::string_view kComposable = "0123456789.,-+:/%()Ee ";
constexpr size_t kSlots = kComposable.size();
// Beyond this many cached texts a font starts again, so a long report holds no more.
constexpr size_t kCacheLimit = 8192;

// Chinese characters and punctuation, which the fonts neither kern nor join: names and
// notes are mostly new texts too, and are put together like numbers.
bool ideographic(char32_t c) {
    return (c >= 0x3000 && c <= 0x303F) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xFF00 && c <= 0xFFEF);
}

// The code point at `i` of UTF-8 text and its length; 0 for a malformed sequence.
char32_t decodeUtf8(std::string_view s, size_t i, size_t& length) {
    const auto b = static_cast<unsigned char>(s[i]);
    length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
    if (length == 0 || i + length > s.size())
        return 0;
    char32_t c = b & (0x7F >> length);
    for (size_t k = 1; k < length; ++k)
        c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    return c;
}

} // namespace

struct ReportTexts::FontTexts {
    struct Wide {
        quint32 glyph = 0;
        float advance = 0, ascent = 0, descent = 0;
        uint16_t font = 0;
        bool single = false; // one glyph when shaped alone
    };
    QFont font;
    std::array<int8_t, 128> slot{};
    std::array<quint32, kSlots> glyph{};
    std::array<float, kSlots> advance{};
    std::array<std::array<float, kSlots>, kSlots> kern{};
    uint16_t rawFont = 0;
    double ascent = 0, descent = 0;
    std::unordered_map<char32_t, Wide> wide;
    std::unordered_map<std::string, ShapedText> cache, elided;
    ShapedText scratch;
};

bool ReportTexts::compose(FontTexts& f, std::string_view s) {
    // A trailing space counts in no width: such texts are laid out.
    if (s.empty() || s.back() == ' ')
        return false;
    ShapedText& out = f.scratch;
    out.glyphs.clear();
    out.ascent = f.ascent;
    out.descent = f.descent;
    double x = 0;
    int previous = -1; // the ASCII character before, for kerning
    for (size_t i = 0, length = 1; i < s.size(); i += length) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            length = 1;
            const int k = f.slot[c];
            if (k < 0)
                return false;
            const auto slot = static_cast<size_t>(k);
            if (previous >= 0)
                x += f.kern[static_cast<size_t>(previous)][slot];
            out.glyphs.push_back({f.glyph[slot], static_cast<float>(x), 0, f.rawFont});
            x += f.advance[slot];
            previous = k;
            continue;
        }
        const char32_t cp = decodeUtf8(s, i, length);
        if (!ideographic(cp))
            return false;
        auto [it, added] = f.wide.try_emplace(cp);
        FontTexts::Wide& w = it->second;
        if (added) {
            ShapedText one;
            layOut(f.font, QString::fromUcs4(&cp, 1), one);
            w.single = one.glyphs.size() == 1;
            if (w.single)
                w = {one.glyphs[0].index,
                     advanceOf(one.glyphs[0]),
                     static_cast<float>(one.ascent),
                     static_cast<float>(one.descent),
                     one.glyphs[0].font,
                     true};
        }
        if (!w.single)
            return false;
        out.glyphs.push_back({w.glyph, static_cast<float>(x), 0, w.font});
        x += w.advance;
        out.ascent = std::max<double>(out.ascent, w.ascent);
        out.descent = std::max<double>(out.descent, w.descent);
        previous = -1;
    }
    out.width = x;
    return true;
}

ReportTexts::ReportTexts() = default;
ReportTexts::~ReportTexts() = default;

float ReportTexts::advanceOf(const ShapedGlyph& g) const {
    // The glyph's own advance: a space alone has no width in a laid out line.
    const QList<QPointF> a = rawFonts_[g.font].advancesForGlyphIndexes(QList<quint32>{g.index});
    return a.isEmpty() ? 0 : static_cast<float>(a[0].x());
}

uint16_t ReportTexts::rawFontIndex(const QRawFont& f) {
    for (size_t i = 0; i < rawFonts_.size(); ++i)
        if (rawFonts_[i] == f)
            return static_cast<uint16_t>(i);
    rawFonts_.push_back(f);
    return static_cast<uint16_t>(rawFonts_.size() - 1);
}

namespace {

// The fonts of the CJK extension planes (𠮷 and the like), which the desktop's fallback for Han
// text leaves out: without them such a character prints as a box.
const QStringList& extensionPlaneFamilies() {
    static const QStringList families = [] {
        QStringList found;
        const QStringList installed = QFontDatabase::families();
        for (const QString& family : {QStringLiteral("HanaMinB"), QStringLiteral("HanaMinA")})
            if (installed.contains(family))
                found << family;
        return found;
    }();
    return families;
}

} // namespace

QFont fontForText(const QFont& font, const QString& text) {
    if (extensionPlaneFamilies().isEmpty() ||
        std::none_of(text.begin(), text.end(), [](QChar c) { return c.isHighSurrogate(); }))
        return font;
    QFont f = font;
    f.setFamilies(QStringList{font.family()} + extensionPlaneFamilies());
    return f;
}

void ReportTexts::layOut(const QFont& font, const QString& text, ShapedText& out) {
    QString s = text;
    s.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    QTextLayout layout(s, fontForText(font, s));
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
            t->advance[k] = advanceOf(one.glyphs[0]);
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
    if (compose(f, text))
        return f.scratch;
    if (f.cache.size() >= kCacheLimit)
        f.cache.clear();
    auto [it, added] = f.cache.try_emplace(std::string(text));
    if (added)
        layOut(font, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
               it->second);
    return it->second;
}

double ReportTexts::width(const QFont& font, std::string_view text) {
    // Numbers, measured by the million when a report is built, need no glyphs.
    FontTexts& f = of(font);
    double x = 0;
    int previous = -1;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        const int k = c < 0x80 ? f.slot[c] : -1;
        if (k < 0 || c == ' ')
            return shape(font, text).width;
        if (previous >= 0)
            x += f.kern[static_cast<size_t>(previous)][static_cast<size_t>(k)];
        x += f.advance[static_cast<size_t>(k)];
        previous = k;
    }
    return x;
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
