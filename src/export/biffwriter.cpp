#include "export/biffwriter.h"

#include <cstring>

namespace rg::biff {

std::string_view cutAnsi(std::string_view s, size_t maxBytes) {
    if (s.size() <= maxBytes)
        return s;
    size_t i = 0;
    while (i < s.size()) {
        size_t len = 1;
        const auto b = static_cast<unsigned char>(s[i]);
        if (b >= 0x81 && b <= 0xFE && i + 1 < s.size()) {
            const auto b2 = static_cast<unsigned char>(s[i + 1]);
            // GB18030 four-byte sequences have a digit as their second byte.
            len = (b2 >= 0x30 && b2 <= 0x39) ? 4 : 2;
        }
        if (i + len > maxBytes)
            break;
        i += len;
    }
    return s.substr(0, i);
}

void Writer::header(uint16_t id, uint16_t length) {
    u16(id);
    u16(length);
}

void Writer::Bof() {
    header(kBof, 6);
    u16(0);
    u16(0x0010);
    u16(0);
}

void Writer::CodePage(uint16_t codePage) {
    header(kCodePage, 2);
    u16(codePage);
}

void Writer::Guts() {
    header(kGuts, 8);
    out_.append(8, '\0');
}

void Writer::Palette(const std::array<RgbColor, 13>& colors) {
    header(kPalette, 2 + 4 * 13);
    u16(13);
    for (RgbColor c : colors) {
        if (c == kNoColor)
            c = 0;
        u8(static_cast<uint8_t>(c >> 16));
        u8(static_cast<uint8_t>(c >> 8));
        u8(static_cast<uint8_t>(c));
        u8(0);
    }
}

void Writer::Font(uint16_t twips, uint16_t style, uint16_t colorIndex, std::string_view name) {
    if (name.size() > 255)
        name = cutAnsi(name, 255);
    header(kFont, static_cast<uint16_t>(7 + name.size()));
    u16(twips);
    u16(style);
    u16(colorIndex);
    u8(static_cast<uint8_t>(name.size()));
    out_.append(name);
}

void Writer::Format(std::string_view code) {
    if (code.size() > 255)
        code = cutAnsi(code, 255);
    header(kFormat, static_cast<uint16_t>(3 + code.size()));
    u16(0);
    u8(static_cast<uint8_t>(code.size()));
    out_.append(code);
}

void Writer::Xf(const std::array<uint8_t, 12>& data) {
    header(kXf, 12);
    out_.append(reinterpret_cast<const char*>(data.data()), data.size());
}

void Writer::ColInfo(uint16_t firstCol, uint16_t lastCol, uint16_t width, uint16_t xf) {
    header(kColInfo, 12);
    u16(firstCol);
    u16(lastCol);
    u16(width);
    u16(xf);
    u16(0);
    u16(0);
}

void Writer::Dimensions() {
    header(kDimensions, 10);
    u16(0);
    u16(0xFFFF);
    u16(0);
    u16(0x00FF);
    u16(0);
}

void Writer::Label(uint16_t row, uint16_t col, uint16_t xf, std::string_view text) {
    cell(kLabel, static_cast<uint16_t>(8 + text.size()), row, col, xf);
    u16(static_cast<uint16_t>(text.size()));
    out_.append(text);
}

void Writer::Blank(uint16_t row, uint16_t col, uint16_t xf) {
    cell(kBlank, 6, row, col, xf);
}

void Writer::Rk(uint16_t row, uint16_t col, uint16_t xf, int32_t value) {
    cell(kRk, 10, row, col, xf);
    u32((static_cast<uint32_t>(value) << 2) | 2u);
}

void Writer::Number(uint16_t row, uint16_t col, uint16_t xf, double value) {
    cell(kNumber, 14, row, col, xf);
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    u32(static_cast<uint32_t>(bits));
    u32(static_cast<uint32_t>(bits >> 32));
}

void Writer::Boolean(uint16_t row, uint16_t col, uint16_t xf, bool value) {
    cell(kBoolErr, 8, row, col, xf);
    u8(value ? 1 : 0);
    u8(0); // a Boolean, not an error code
}

void Writer::Formula(uint16_t row, uint16_t col, uint16_t xf, uint16_t firstRow, uint16_t lastRow,
                     uint8_t areaCol, Function f, double result) {
    cell(kFormula, 29, row, col, xf);
    uint64_t bits;
    std::memcpy(&bits, &result, sizeof bits);
    u32(static_cast<uint32_t>(bits));
    u32(static_cast<uint32_t>(bits >> 32));
    u16(0x0003);
    u16(11);
    u8(0x25);
    u16(static_cast<uint16_t>(0xC000 | (firstRow & 0x3FFF)));
    u16(static_cast<uint16_t>(0xC000 | (lastRow & 0x3FFF)));
    u8(areaCol);
    u8(areaCol);
    if (f == Function::Sum) {
        u8(0x19);
        u8(0x10);
        u16(0);
        return;
    }
    u8(0x42);
    u8(0x01);
    switch (f) {
    case Function::Min:
        u16(6);
        break;
    case Function::Max:
        u16(7);
        break;
    case Function::CountA:
        u16(169);
        break;
    default:
        u16(5);
        break;
    }
}

void Writer::Eof() {
    header(kEof, 0);
}

} // namespace rg::biff
