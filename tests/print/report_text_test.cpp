#include "printfixture.h"

#include "print/reportlayout.h"
#include "print/reporttext.h"

#include <QGlyphRun>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <algorithm>

using namespace rg;

namespace {

// What Qt's own text layout makes of a text: glyphs with their baseline positions, left to
// right (its runs come a font at a time).
struct Laid {
    std::vector<std::pair<QPointF, quint32>> glyphs;
    double width = 0;
};

Laid layOut(const QFont& font, const QString& text) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(0x01000000);
    layout.endLayout();
    Laid out;
    out.width = line.naturalTextWidth();
    for (const QGlyphRun& run : layout.glyphRuns())
        for (qsizetype i = 0; i < run.glyphIndexes().size(); ++i)
            out.glyphs.push_back(
                {run.positions()[i] - QPointF(0, line.ascent()), run.glyphIndexes()[i]});
    std::sort(out.glyphs.begin(), out.glyphs.end(),
              [](const auto& a, const auto& b) { return a.first.x() < b.first.x(); });
    return out;
}

} // namespace

// Numbers, dates and Chinese texts are put together from cached glyphs rather than shaped;
// they must land exactly where Qt's layout puts them, kerning included, in every font the
// report may use, and stay right however often the cache is used.
TEST(ReportTexts, PutTogetherTextsMatchQtsLayout) {
    guiApp();
    ReportTexts texts;
    std::vector<std::string> samples = {"18014398509481985.00",
                                        "-1,234.50",
                                        "2024-02-29 23:59:59",
                                        "(12.5%)",
                                        "1.7976931348623157E+308",
                                        "备注 1973",
                                        "华东",
                                        "地区：华北，上海",
                                        "产品0 合计",
                                        "1",
                                        "١٢٣"};
    // Every pair of the characters numbers are made of, for the fonts' kerning.
    const std::string chars = "0123456789.,-+:/%()Ee ";
    std::string pairs;
    for (char a : chars)
        for (char b : chars)
            pairs += std::string{a, b};
    samples.push_back(pairs + "0");
    for (const char* family : {"Times New Roman", "Tahoma", "DejaVu Sans", "DejaVu Sans Mono"}) {
        for (int px : {11, 19, 53}) {
            QFont font(family);
            font.setPixelSize(px);
            for (int round = 0; round < 2; ++round) {
                for (const std::string& s : samples) {
                    SCOPED_TRACE(std::string(family) + " " + std::to_string(px) + " " + s);
                    const Laid want = layOut(font, QString::fromStdString(s));
                    EXPECT_NEAR(texts.width(font, s), want.width, 0.01);
                    const ShapedText& got = texts.shape(font, s);
                    EXPECT_NEAR(got.width, want.width, 0.01);
                    ASSERT_EQ(got.glyphs.size(), want.glyphs.size());
                    for (size_t i = 0; i < want.glyphs.size(); ++i) {
                        const auto& [at, index] = want.glyphs[i];
                        EXPECT_EQ(got.glyphs[i].index, index) << i;
                        EXPECT_NEAR(got.glyphs[i].x, at.x(), 0.01) << i;
                        EXPECT_NEAR(got.glyphs[i].y, at.y(), 0.01) << i;
                    }
                }
            }
        }
    }
    // Eliding keeps what fits and ends in "…".
    QFont font("Times New Roman");
    font.setPixelSize(11);
    const ShapedText& whole = texts.shape(font, "一段很长很长很长的备注文字");
    const double full = whole.width;
    const ShapedText& cut = texts.elided(font, "一段很长很长很长的备注文字", full / 2);
    EXPECT_LE(cut.width, full / 2);
    EXPECT_GT(cut.width, 0);
    EXPECT_EQ(&texts.elided(font, "12", 100), &texts.shape(font, "12"));
}
