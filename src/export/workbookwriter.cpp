#include "export/workbookwriter.h"

#include "common/error.h"
#include "common/parallel.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace rg {
namespace {

constexpr size_t kChunk = 1 << 18;
// Level 4 compresses a sheet of a million rows in less than half the time of the default 6,
// its file a twentieth larger; level 3 and below, a seventh and more.
constexpr int kDeflateLevel = 4;
constexpr int kMaxOutlineLevel = 7;
constexpr uint32_t kMax32 = 0xFFFFFFFF;
// 1980-01-01 00:00 in the archive's MS-DOS time and date fields.
constexpr uint16_t kDosTime = 0, kDosDate = (0 << 9) | (1 << 5) | 1;

void put16(std::string& b, uint32_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void put64(std::string& b, uint64_t v) {
    put32(b, static_cast<uint32_t>(v));
    put32(b, static_cast<uint32_t>(v >> 32));
}

std::string hexColor(uint32_t rgb) {
    char s[12];
    std::snprintf(s, sizeof s, "FF%06X", rgb & 0xFFFFFF);
    return s;
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// "_xHHHH_", which readers take for an escaped character.
bool looksEscaped(std::string_view s) {
    return s.size() >= 7 && s[1] == 'x' && isHex(s[2]) && isHex(s[3]) && isHex(s[4]) &&
           isHex(s[5]) && s[6] == '_';
}

// Characters XML 1.0 cannot carry are written as the workbook format's _xHHHH_ escapes,
// and a literal "_x" that would read as one is escaped itself.
void appendEscaped(std::string& b, std::string_view s) {
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        switch (c) {
        case '&':
            b += "&amp;";
            break;
        case '<':
            b += "&lt;";
            break;
        case '>':
            b += "&gt;";
            break;
        case '"':
            b += "&quot;";
            break;
        case '_':
            b += looksEscaped(s.substr(i)) ? "_x005F_" : "_";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                char e[10];
                std::snprintf(e, sizeof e, "_x%04X_", static_cast<unsigned>(c));
                b += e;
            } else {
                b += c;
            }
        }
    }
}

} // namespace

// A zip archive written front to back: small parts whole, the sheet streamed through
// deflate with its sizes in a data descriptor; ZIP64 records where sizes or offsets pass
// 4 GiB. Compressing and writing run on a thread of their own in the order asked, while
// the caller makes the next part; the bytes are those of compressing on the caller's thread.
class WorkbookWriter::Zip {
public:
    explicit Zip(ExportFile& out) : out_(out) {}
    ~Zip() {
        worker_.reset(); // before the stream it may still be using
        if (streaming_)
            deflateEnd(&z_);
    }

    void add(const std::string& name, std::string data) {
        worker_->post([this, name, data = std::move(data)] {
            startEntry(name);
            compress(data);
            close();
        });
    }
    void begin(const std::string& name) {
        worker_->post([this, name] { startEntry(name); });
    }
    void write(std::string data) {
        worker_->post([this, data = std::move(data)] { compress(data); });
    }
    void end() {
        worker_->post([this] { close(); });
    }
    // The central directory; returns once everything is written.
    void finish() {
        worker_->post([this] { directory(); });
        worker_->drain();
    }

private:
    void startEntry(const std::string& name) {
        Entry e{name, 0, 0, 0, offset_};
        std::string h;
        put32(h, 0x04034b50);
        put16(h, 20);
        put16(h, 1 << 3); // sizes and CRC follow the data
        put16(h, 8);
        put16(h, kDosTime);
        put16(h, kDosDate);
        put32(h, 0);
        put32(h, 0);
        put32(h, 0);
        put16(h, static_cast<uint32_t>(name.size()));
        put16(h, 0);
        h += name;
        emit(h);
        entries_.push_back(e);
        z_ = {};
        if (deflateInit2(&z_, kDeflateLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw Error("写入 Excel 工作簿失败：deflate");
        streaming_ = true;
    }
    void compress(std::string_view data) {
        Entry& e = entries_.back();
        e.crc = crc32_z(e.crc, reinterpret_cast<const Bytef*>(data.data()), data.size());
        e.size += data.size();
        run(data, Z_NO_FLUSH);
    }
    void close() {
        run({}, Z_FINISH);
        deflateEnd(&z_);
        streaming_ = false;
        const Entry& e = entries_.back();
        std::string d;
        put32(d, 0x08074b50);
        put32(d, static_cast<uint32_t>(e.crc));
        if (e.size >= kMax32 || e.packed >= kMax32) {
            put64(d, e.packed);
            put64(d, e.size);
        } else {
            put32(d, static_cast<uint32_t>(e.packed));
            put32(d, static_cast<uint32_t>(e.size));
        }
        emit(d);
    }
    void directory() {
        const uint64_t start = offset_;
        std::string c;
        for (const Entry& e : entries_) {
            const bool big = e.size >= kMax32 || e.packed >= kMax32 || e.offset >= kMax32;
            std::string extra;
            if (big) {
                put16(extra, 1);
                put16(extra, 24);
                put64(extra, e.size);
                put64(extra, e.packed);
                put64(extra, e.offset);
            }
            put32(c, 0x02014b50);
            put16(c, big ? 45 : 20);
            put16(c, big ? 45 : 20);
            put16(c, 1 << 3);
            put16(c, 8);
            put16(c, kDosTime);
            put16(c, kDosDate);
            put32(c, static_cast<uint32_t>(e.crc));
            put32(c, big ? kMax32 : static_cast<uint32_t>(e.packed));
            put32(c, big ? kMax32 : static_cast<uint32_t>(e.size));
            put16(c, static_cast<uint32_t>(e.name.size()));
            put16(c, static_cast<uint32_t>(extra.size()));
            put32(c, 0); // comment length, disk number
            put16(c, 0);
            put32(c, 0);
            put32(c, big ? kMax32 : static_cast<uint32_t>(e.offset));
            c += e.name;
            c += extra;
        }
        emit(c);
        const uint64_t size = offset_ - start;
        const bool big = start >= kMax32;
        std::string t;
        if (big) {
            const uint64_t at = offset_;
            put32(t, 0x06064b50);
            put64(t, 44);
            put16(t, 45);
            put16(t, 45);
            put32(t, 0);
            put32(t, 0);
            put64(t, entries_.size());
            put64(t, entries_.size());
            put64(t, size);
            put64(t, start);
            put32(t, 0x07064b50);
            put32(t, 0);
            put64(t, at);
            put32(t, 1);
        }
        put32(t, 0x06054b50);
        put32(t, 0);
        put16(t, static_cast<uint32_t>(entries_.size()));
        put16(t, static_cast<uint32_t>(entries_.size()));
        put32(t, static_cast<uint32_t>(size));
        put32(t, big ? kMax32 : static_cast<uint32_t>(start));
        put16(t, 0);
        emit(t);
    }

    struct Entry {
        std::string name;
        unsigned long crc;
        uint64_t size, packed, offset;
    };
    void emit(std::string_view bytes) {
        out_.Write(bytes);
        offset_ += bytes.size();
    }
    void run(std::string_view data, int flush) {
        z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        z_.avail_in = static_cast<uInt>(data.size());
        int rc;
        do {
            z_.next_out = buffer_;
            z_.avail_out = sizeof buffer_;
            rc = deflate(&z_, flush);
            const size_t produced = sizeof buffer_ - z_.avail_out;
            entries_.back().packed += produced;
            emit({reinterpret_cast<const char*>(buffer_), produced});
        } while (z_.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
    }

    ExportFile& out_;
    uint64_t offset_ = 0;
    std::vector<Entry> entries_;
    z_stream z_{};
    bool streaming_ = false;
    Bytef buffer_[1 << 16];
    std::unique_ptr<SerialWorker> worker_ = std::make_unique<SerialWorker>();
};

WorkbookWriter::WorkbookWriter(ExportFile& out) : zip_(std::make_unique<Zip>(out)) {
    styles_.push_back(CellStyle{});
    sheet_.reserve(kChunk + 4096);
}

WorkbookWriter::~WorkbookWriter() = default;

std::string WorkbookWriter::columnName(int col) {
    std::string s;
    for (int c = col + 1; c > 0; c = (c - 1) / 26)
        s.insert(s.begin(), static_cast<char>('A' + (c - 1) % 26));
    return s;
}

int WorkbookWriter::addStyle(const CellStyle& style) {
    for (size_t i = 0; i < styles_.size(); ++i)
        if (styles_[i] == style)
            return static_cast<int>(i);
    styles_.push_back(style);
    return static_cast<int>(styles_.size() - 1);
}

void WorkbookWriter::setColumnPixels(int first, int last, int pixels) {
    columns_.push_back({{first, last}, pixels});
}
void WorkbookWriter::freezeRows(int rows) {
    frozenRows_ = rows;
}
void WorkbookWriter::freezeColumns(int columns) {
    frozenColumns_ = columns;
}
void WorkbookWriter::setMaxOutlineLevel(int level) {
    maxLevel_ = level;
}
void WorkbookWriter::setSummaryRowsAbove(bool above) {
    summaryAbove_ = above;
}

void WorkbookWriter::autofilter(int64_t firstRow, int firstCol, int64_t lastRow, int lastCol) {
    if (!sheetStarted_)
        beginSheet();
    filters_.back() = "$" + columnName(firstCol) + "$" + std::to_string(firstRow + 1) + ":$" +
                      columnName(lastCol) + "$" + std::to_string(lastRow + 1);
}

std::string WorkbookWriter::sheetName(int sheet) {
    return "Sheet" + std::to_string(sheet + 1);
}

void WorkbookWriter::nextSheet() {
    if (!sheetStarted_)
        beginSheet();
    endSheet();
    beginSheet();
}

void WorkbookWriter::beginSheet() {
    sheetStarted_ = true;
    filters_.emplace_back();
    zip_->begin("xl/worksheets/sheet" + std::to_string(filters_.size()) + ".xml");
    std::string& b = sheet_;
    b += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
         "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
         "<sheetPr><outlinePr summaryBelow=\"";
    b += summaryAbove_ ? '0' : '1';
    b += "\" summaryRight=\"1\"/></sheetPr><sheetViews><sheetView workbookViewId=\"0\">";
    if (frozenRows_ > 0 || frozenColumns_ > 0) {
        const std::string top = columnName(frozenColumns_) + std::to_string(frozenRows_ + 1);
        const std::string pane = frozenColumns_ == 0 ? "bottomLeft"
                                 : frozenRows_ == 0  ? "topRight"
                                                     : "bottomRight";
        b += "<pane";
        if (frozenColumns_ > 0)
            b += " xSplit=\"" + std::to_string(frozenColumns_) + "\"";
        if (frozenRows_ > 0)
            b += " ySplit=\"" + std::to_string(frozenRows_) + "\"";
        b += " topLeftCell=\"" + top + "\" activePane=\"" + pane +
             "\" state=\"frozen\"/><selection pane=\"" + pane + "\" activeCell=\"" + top +
             "\" sqref=\"" + top + "\"/>";
    }
    b += "</sheetView></sheetViews><sheetFormatPr defaultRowHeight=\"15\"";
    if (maxLevel_ > 0)
        b += " outlineLevelRow=\"" + std::to_string(maxLevel_) + "\"";
    b += "/>";
    if (!columns_.empty()) {
        b += "<cols>";
        // Widths in characters of the default font, seven pixels each.
        for (const auto& [range, pixels] : columns_) {
            char w[32];
            std::snprintf(w, sizeof w, "%.17g", pixels / 7.0);
            b += "<col min=\"" + std::to_string(range.first + 1) + "\" max=\"" +
                 std::to_string(range.second + 1) + "\" width=\"" + w + "\" customWidth=\"1\"/>";
        }
        b += "</cols>";
    }
    b += "<sheetData>";
}

void WorkbookWriter::row(int64_t row, int outlineLevel) {
    if (!sheetStarted_)
        beginSheet();
    std::string& b = sheet_;
    if (rowOpen_)
        b += "</row>";
    if (b.size() >= kChunk) {
        zip_->write(std::move(b));
        b = std::string();
        b.reserve(kChunk + 4096);
    }
    rowNumber_ = std::to_string(row + 1);
    b += "<row r=\"";
    b += rowNumber_;
    if (outlineLevel > 0) {
        b += "\" outlineLevel=\"";
        b += static_cast<char>('0' + std::min(outlineLevel, kMaxOutlineLevel));
    }
    b += "\">";
    rowOpen_ = true;
}

void WorkbookWriter::cellStart(int col, int style, const char* type) {
    if (static_cast<size_t>(col) >= columnNames_.size())
        for (int c = static_cast<int>(columnNames_.size()); c <= col; ++c)
            columnNames_.push_back(columnName(c));
    std::string& b = sheet_;
    b += "<c r=\"";
    b += columnNames_[static_cast<size_t>(col)];
    b += rowNumber_;
    b += '"';
    if (style > 0) {
        b += " s=\"";
        b += std::to_string(style);
        b += '"';
    }
    if (type)
        b += type;
    b += '>';
}

// The shortest text that reads back as the same double; a value no reader takes as a
// number (NaN, infinities) is the error cell spreadsheets give for it.
void WorkbookWriter::number(int col, double value, int style) {
    if (!std::isfinite(value)) {
        error(col, "#NUM!", style);
        return;
    }
    cellStart(col, style, nullptr);
    char digits[32];
    const auto r = std::to_chars(digits, digits + sizeof digits, value);
    sheet_ += "<v>";
    sheet_.append(digits, r.ptr);
    sheet_ += "</v></c>";
}

void WorkbookWriter::text(int col, std::string_view utf8, int style) {
    cellStart(col, style, " t=\"inlineStr\"");
    const bool keepSpaces =
        !utf8.empty() && (utf8.front() == ' ' || utf8.back() == ' ' ||
                          utf8.find_first_of("\t\n\r") != std::string_view::npos);
    sheet_ += keepSpaces ? "<is><t xml:space=\"preserve\">" : "<is><t>";
    appendEscaped(sheet_, utf8);
    sheet_ += "</t></is></c>";
}

void WorkbookWriter::boolean(int col, bool value, int style) {
    cellStart(col, style, " t=\"b\"");
    sheet_ += value ? "<v>1</v></c>" : "<v>0</v></c>";
}

void WorkbookWriter::blank(int col, int style) {
    cellStart(col, style, nullptr);
    sheet_.back() = '/';
    sheet_ += '>';
}

void WorkbookWriter::formula(int col, std::string_view formula, double cached, int style) {
    cellStart(col, style, std::isfinite(cached) ? nullptr : " t=\"e\"");
    sheet_ += "<f>";
    appendEscaped(sheet_, formula);
    sheet_ += "</f><v>";
    if (std::isfinite(cached)) {
        char digits[32];
        const auto r = std::to_chars(digits, digits + sizeof digits, cached);
        sheet_.append(digits, r.ptr);
    } else {
        sheet_ += "#NUM!";
    }
    sheet_ += "</v></c>";
}

void WorkbookWriter::error(int col, std::string_view code, int style) {
    cellStart(col, style, " t=\"e\"");
    sheet_ += "<v>";
    sheet_ += code;
    sheet_ += "</v></c>";
}

std::string WorkbookWriter::stylesXml() const {
    std::vector<std::string> formats;
    std::string fonts, fills, xfs;
    int fontCount = 0, fillCount = 2;
    for (const CellStyle& s : styles_) {
        int numFmt = 0;
        if (!s.numberFormat.empty()) {
            size_t i = 0;
            while (i < formats.size() && formats[i] != s.numberFormat)
                ++i;
            if (i == formats.size())
                formats.push_back(s.numberFormat);
            numFmt = 164 + static_cast<int>(i);
        }
        char size[32];
        std::snprintf(size, sizeof size, "%g", s.fontSize);
        fonts += std::string("<font>") + (s.bold ? "<b/>" : "") + "<sz val=\"" + size +
                 "\"/><color rgb=\"" + hexColor(s.fontColor) + "\"/><name val=\"";
        appendEscaped(fonts, s.fontName);
        fonts += "\"/></font>";
        int fill = 0;
        if (s.fill != CellStyle::kNoFill) {
            fills += "<fill><patternFill patternType=\"solid\"><fgColor rgb=\"" + hexColor(s.fill) +
                     "\"/><bgColor indexed=\"64\"/></patternFill></fill>";
            fill = fillCount++;
        }
        xfs += "<xf numFmtId=\"" + std::to_string(numFmt) + "\" fontId=\"" +
               std::to_string(fontCount++) + "\" fillId=\"" + std::to_string(fill) +
               "\" borderId=\"" + (s.border ? "1" : "0") + "\" xfId=\"0\"" +
               (numFmt ? " applyNumberFormat=\"1\"" : "") + " applyFont=\"1\"" +
               (fill ? " applyFill=\"1\"" : "") + (s.border ? " applyBorder=\"1\"" : "") + "/>";
    }
    std::string b =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
    if (!formats.empty()) {
        b += "<numFmts count=\"" + std::to_string(formats.size()) + "\">";
        for (size_t i = 0; i < formats.size(); ++i) {
            b += "<numFmt numFmtId=\"" + std::to_string(164 + i) + "\" formatCode=\"";
            appendEscaped(b, formats[i]);
            b += "\"/>";
        }
        b += "</numFmts>";
    }
    b += "<fonts count=\"" + std::to_string(fontCount) + "\">" + fonts + "</fonts>";
    b += "<fills count=\"" + std::to_string(fillCount) +
         "\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill "
         "patternType=\"gray125\"/></fill>" +
         fills + "</fills>";
    b += "<borders count=\"2\"><border><left/><right/><top/><bottom/><diagonal/></border>"
         "<border><left style=\"thin\"><color auto=\"1\"/></left><right style=\"thin\"><color "
         "auto=\"1\"/></right>"
         "<top style=\"thin\"><color auto=\"1\"/></top><bottom style=\"thin\"><color "
         "auto=\"1\"/></bottom>"
         "<diagonal/></border></borders>";
    b += "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
         "borderId=\"0\"/></cellStyleXfs>";
    b += "<cellXfs count=\"" + std::to_string(styles_.size()) + "\">" + xfs + "</cellXfs>";
    b += "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
         "builtinId=\"0\"/></cellStyles>"
         "<dxfs count=\"0\"/></styleSheet>";
    return b;
}

std::string WorkbookWriter::workbookXml() const {
    std::string b =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
        "<bookViews><workbookView/></bookViews>"
        "<sheets>";
    std::string names;
    for (size_t k = 0; k < filters_.size(); ++k) {
        const std::string n = std::to_string(k + 1);
        b += "<sheet name=\"" + sheetName(static_cast<int>(k)) + "\" sheetId=\"" + n +
             "\" r:id=\"rId" + n + "\"/>";
        if (!filters_[k].empty())
            names += "<definedName name=\"_xlnm._FilterDatabase\" localSheetId=\"" +
                     std::to_string(k) + "\" hidden=\"1\">" + sheetName(static_cast<int>(k)) + "!" +
                     filters_[k] + "</definedName>";
    }
    b += "</sheets>";
    if (!names.empty())
        b += "<definedNames>" + names + "</definedNames>";
    // Spreadsheets recompute the subtotals on opening instead of trusting stored results.
    b += "<calcPr calcId=\"124519\" fullCalcOnLoad=\"1\"/></workbook>";
    return b;
}

void WorkbookWriter::writeDrawing() {
    const DrawingParts parts = drawing_();
    const std::string head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    zip_->add("xl/worksheets/_rels/sheet1.xml.rels",
              head + "drawing\" Target=\"../drawings/drawing1.xml\"/></Relationships>");
    zip_->add("xl/drawings/_rels/drawing1.xml.rels",
              head + "chart\" Target=\"../charts/chart1.xml\"/></Relationships>");
    zip_->add("xl/drawings/drawing1.xml", parts.drawing);
    zip_->add("xl/charts/chart1.xml", parts.chart);
}

void WorkbookWriter::writePackageParts() {
    std::string sheetTypes, sheetRelations;
    for (size_t k = 1; k <= filters_.size(); ++k) {
        const std::string n = std::to_string(k);
        sheetTypes += "<Override PartName=\"/xl/worksheets/sheet" + n +
                      ".xml\" ContentType=\"application/"
                      "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
        sheetRelations += "<Relationship Id=\"rId" + n +
                          "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                          "relationships/worksheet\" Target=\"worksheets/sheet" +
                          n + ".xml\"/>";
    }
    const std::string stylesId = "rId" + std::to_string(filters_.size() + 1);
    zip_->add("[Content_Types].xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
              "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
              "<Default Extension=\"rels\" "
              "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
              "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
              "<Override PartName=\"/xl/workbook.xml\" "
              "ContentType=\"application/"
              "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>" +
                  sheetTypes +
                  "<Override PartName=\"/xl/styles.xml\" "
                  "ContentType=\"application/"
                  "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>" +
                  std::string(drawing_ ? "<Override PartName=\"/xl/drawings/drawing1.xml\" "
                                         "ContentType=\"application/"
                                         "vnd.openxmlformats-officedocument.drawing+xml\"/>"
                                         "<Override PartName=\"/xl/charts/chart1.xml\" "
                                         "ContentType=\"application/"
                                         "vnd.openxmlformats-officedocument.drawingml.chart+xml\"/>"
                                       : "") +
                  "</Types>");
    zip_->add(
        "_rels/.rels",
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
        "officeDocument\" "
        "Target=\"xl/workbook.xml\"/></Relationships>");
    zip_->add(
        "xl/_rels/workbook.xml.rels",
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
            sheetRelations + "<Relationship Id=\"" + stylesId +
            "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
            "styles\" Target=\"styles.xml\"/></Relationships>");
}

void WorkbookWriter::endSheet() {
    std::string& b = sheet_;
    if (rowOpen_)
        b += "</row>";
    rowOpen_ = false;
    b += "</sheetData>";
    if (!filters_.back().empty()) {
        std::string ref = filters_.back();
        std::erase(ref, '$');
        b += "<autoFilter ref=\"" + ref + "\"/>";
    }
    b += "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
         "footer=\"0.3\"/>";
    // The chart stands beside the first sheet, whose rows it names.
    if (drawing_ && filters_.size() == 1)
        b += "<drawing r:id=\"rId1\"/>";
    b += "</worksheet>";
    zip_->write(std::move(b));
    b = std::string();
    zip_->end();
}

void WorkbookWriter::finish() {
    if (!sheetStarted_)
        beginSheet();
    endSheet();
    writePackageParts();
    zip_->add("xl/workbook.xml", workbookXml());
    zip_->add("xl/styles.xml", stylesXml());
    if (drawing_)
        writeDrawing();
    zip_->finish();
}

} // namespace rg
