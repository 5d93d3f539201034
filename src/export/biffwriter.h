#pragma once

// The records of a BIFF4 worksheet stream, appended little-endian to a byte buffer.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace rg {

// A colour as 0xRRGGBB; kNoColor stands for the grid's "none" and is written as black.
using RgbColor = uint32_t;
constexpr RgbColor kNoColor = 0xFFFFFFFFu;

namespace biff {

constexpr uint16_t kBof = 0x0409, kCodePage = 0x0042, kGuts = 0x0080, kPalette = 0x0092,
                   kFont = 0x0231, kXf = 0x0443, kColInfo = 0x007D, kDimensions = 0x0200,
                   kBlank = 0x0201, kNumber = 0x0203, kLabel = 0x0204, kRk = 0x027E,
                   kFormula = 0x0406, kFormat = 0x041E, kBoolErr = 0x0205, kEof = 0x000A;

// Largest record data the format allows; a LABEL carries 8 bytes besides its text.
constexpr size_t kMaxRecordData = 2080;
constexpr size_t kMaxLabelText = kMaxRecordData - 8;
// Integers an RK record can carry in its upper 30 bits.
constexpr int64_t kRkMin = -536870912, kRkMax = 536870911;
// Row numbers the area references of formulas can hold.
constexpr int kMaxFormulaRow = 16383;

enum FontStyle : uint16_t { Bold = 1, Italic = 2, Underline = 4, StrikeOut = 8 };

// Summary functions of the footer row.
enum class Function { Sum, Min, Max, CountA, Average };

inline bool fitsRk(int64_t v) {
    return v >= kRkMin && v <= kRkMax;
}

// The first bytes of a code page 936 text, at most maxBytes, never splitting a character.
std::string_view cutAnsi(std::string_view ansi, size_t maxBytes);

class Writer {
public:
    explicit Writer(std::string& out) : out_(out) {}

    void Bof();
    void CodePage(uint16_t codePage);
    void Guts();
    void Palette(const std::array<RgbColor, 13>& colors);
    void Font(uint16_t twips, uint16_t style, uint16_t colorIndex, std::string_view ansiName);
    // Number formats are numbered in the order written; the first is the XFs' index 0.
    void Format(std::string_view ansiCode);
    void Xf(const std::array<uint8_t, 12>& data);
    void ColInfo(uint16_t firstCol, uint16_t lastCol, uint16_t width, uint16_t xf);
    void Dimensions();
    // The text is taken as code page bytes; callers keep it within kMaxLabelText.
    void Label(uint16_t row, uint16_t col, uint16_t xf, std::string_view ansi);
    void Blank(uint16_t row, uint16_t col, uint16_t xf);
    void Rk(uint16_t row, uint16_t col, uint16_t xf, int32_t value); // value within fitsRk
    void Number(uint16_t row, uint16_t col, uint16_t xf, double value);
    void Boolean(uint16_t row, uint16_t col, uint16_t xf, bool value);
    // A summary formula over the area firstRow..lastRow (each at most kMaxFormulaRow) of one
    // column, with `result` stored for readers that do not recalculate.
    void Formula(uint16_t row, uint16_t col, uint16_t xf, uint16_t firstRow, uint16_t lastRow,
                 uint8_t areaCol, Function f, double result);
    void Eof();

private:
    void header(uint16_t id, uint16_t length);
    void u8(uint8_t v) { out_.push_back(static_cast<char>(v)); }
    void u16(uint16_t v) {
        out_.push_back(static_cast<char>(v & 0xFF));
        out_.push_back(static_cast<char>(v >> 8));
    }
    void u32(uint32_t v) {
        u16(static_cast<uint16_t>(v & 0xFFFF));
        u16(static_cast<uint16_t>(v >> 16));
    }
    void cell(uint16_t id, uint16_t length, uint16_t row, uint16_t col, uint16_t xf) {
        header(id, length);
        u16(row);
        u16(col);
        u16(xf);
    }
    std::string& out_;
};

} // namespace biff
} // namespace rg
