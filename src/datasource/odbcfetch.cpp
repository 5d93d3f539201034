#include "datasource/odbcprovider.h"
#include "datasource/readonlysql.h"

#include "common/asciicase.h"
#include "common/databaseerror.h"
#include "common/displaytext.h"
#include "datasource/odbcnumbers.h"
#include "datasource/pgdatetexts.h"

#include <algorithm>

namespace rg {

using namespace odbc;

namespace {

// Rows of one fetch block: enough to amortise the driver round trips, small enough that
// the bound buffers of a wide result stay near a megabyte.
SQLULEN blockRows(size_t rowBytes) {
    const size_t rows = (1u << 20) / std::max<size_t>(rowBytes, 1);
    return static_cast<SQLULEN>(std::clamp<size_t>(rows, 16, 4096));
}

// Character columns are bound up to this declared width. A wider one, or one of no
// declared width (PostgreSQL's text), is bound this wide too: most of its values fit, and
// a longer one is read whole where it stands. Reading such a column piecewise instead
// would make every row a fetch of its own.
constexpr SQLULEN kMaxBoundChars = 4000, kLongTextBoundChars = 255;

} // namespace

// How one result column is read.
struct OdbcProvider::Binding {
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLLEN width = 0;  // bytes per row in the bound buffer
    bool bound = true; // false: read with SQLGetData row by row
    int bits = 0;      // a BIT(n) column of MariaDB or MySQL: n, its bytes shown as n digits
    std::vector<char> data;
    std::vector<SQLLEN> ind;
};

std::unique_ptr<ResultBuffer> OdbcProvider::query(const std::string& text,
                                                  const std::vector<Value>& params,
                                                  const std::vector<FieldKind>& kinds,
                                                  const ProgressFn& progress) {
    auto plain = [&](const std::string& sql) {
        CancellableStmt st(*this);
        auto buf = run(
            st,
            [&](Stmt& s) {
                if (!params.empty()) {
                    executeWith(s, sql, params);
                } else if (wide_) {
                    WString w = toW(sql);
                    s.check(SQLExecDirectW(s.h, wptr(w), static_cast<SQLINTEGER>(w.size())));
                } else {
                    s.check(SQLExecDirect(s.h, (SQLCHAR*)sql.c_str(),
                                          static_cast<SQLINTEGER>(sql.size())));
                }
            },
            progress, true, true);
        if (const int skipped = skipFurtherResults(st, {}))
            buf->notice = skippedResultsNotice(skipped);
        return buf;
    };
    checkReportStatement(text, sqlFamily_);
    try {
        setSessionWritable(false);
        if (postgres_)
            if (auto buf = queryWithServerDateTexts(
                    text, plain, [this](const std::string& n) { return quoteIdentifier(n); },
                    kinds))
                return std::move(*buf);
        return plain(text);
    } catch (const DatabaseError& e) {
        throw asWriteRefusal(e, text);
    }
}

std::string skippedResultsNotice(int skipped) {
    return "命令返回了 " + std::to_string(skipped + 1) + " 个结果集，报表只显示第一个，其余 " +
           std::to_string(skipped) + " 个没有显示。";
}

// Reads past the results after the first and returns how many held rows for the report
// (a call's result of output values, as MariaDB's driver hands it over, is none of them).
int OdbcProvider::skipFurtherResults(Stmt& st, const std::vector<Parameter>& params) {
    int skipped = 0;
    for (;;) {
        const SQLRETURN rc = SQLMoreResults(st.h);
        if (rc == SQL_NO_DATA || !SQL_SUCCEEDED(rc))
            break;
        SQLSMALLINT cols = 0;
        SQLNumResultCols(st.h, &cols);
        if (cols > 0) {
            if (!outputsAsResult_ || !isOutputsResult(st, cols, params))
                ++skipped;
            while (SQL_SUCCEEDED(SQLFetch(st.h))) {
            }
        }
    }
    return skipped;
}

// Runs the statement and fetches its whole result. A value longer than its bound buffer is
// read whole where it stands; a driver that cannot do that makes the fetch start over with
// that column read piecewise, so nothing is ever cut or left out. A call is never run twice
// (it may change data): its texts are read piecewise at once.
std::unique_ptr<ResultBuffer> OdbcProvider::run(Stmt& st, const Exec& exec,
                                                const ProgressFn& progress, bool needResult,
                                                bool mayRepeat) {
    std::vector<bool> unbound;
    if (!mayRepeat)
        unbound.assign(4096, true);
    for (;;) {
        bool truncated = false;
        auto buf = fetchAll(st, exec, progress, needResult, unbound, truncated);
        if (!truncated)
            return buf;
        // Each round reads one more column piecewise, so the rounds end.
        if (!mayRepeat)
            throw DatabaseError("读取结果时数据被截断，驱动程序无法读出完整的值。");
        SQLFreeStmt(st.h, SQL_CLOSE);
        SQLFreeStmt(st.h, SQL_UNBIND);
        SQLFreeStmt(st.h, SQL_RESET_PARAMS);
    }
}

// The digits of a column MariaDB or MySQL declares BIT(n), which their drivers report as
// binary; 0 for any other column. BIT(1) is reported as SQL_BIT and read as a Boolean.
int OdbcProvider::bitDigits(Stmt& st, size_t c, SQLSMALLINT type, SQLULEN size) {
    if ((type != SQL_BINARY && type != SQL_VARBINARY) || size == 0 || size > 64)
        return 0;
    return asciiLower(attribute(st, c, SQL_DESC_TYPE_NAME)) == "bit" ? static_cast<int>(size) : 0;
}

// Describes each result column into `buf` and chooses how it is read; returns the bytes
// of one bound row.
size_t OdbcProvider::describeColumns(Stmt& st, ResultBuffer& buf, std::vector<Binding>& bind,
                                     const std::vector<bool>& unbound) {
    size_t rowBytes = 0;
    for (size_t c = 0; c < bind.size(); ++c) {
        SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        ColumnInfo& ci = buf.info[c];
        if (wide_) {
            SQLWCHAR name[512];
            st.check(SQLDescribeColW(st.h, static_cast<SQLUSMALLINT>(c + 1), name, 512, &nameLen,
                                     &type, &size, &digits, &nullable));
            ci.name = fromW(name, static_cast<size_t>(std::clamp<SQLSMALLINT>(nameLen, 0, 511)));
        } else {
            SQLCHAR name[1024];
            st.check(SQLDescribeCol(st.h, static_cast<SQLUSMALLINT>(c + 1), name, sizeof name,
                                    &nameLen, &type, &size, &digits, &nullable));
            ci.name.assign(reinterpret_cast<char*>(name),
                           static_cast<size_t>(std::clamp<SQLSMALLINT>(nameLen, 0, 1023)));
        }
        ci.kind = odbcKind(type, static_cast<int64_t>(size));
        const int bits = bitDigits(st, c, type, size);
        if (bits > 0)
            ci.kind = FieldKind::String;
        if (ci.kind == FieldKind::Float || ci.kind == FieldKind::LargeInt) {
            SQLLEN isUnsigned = SQL_FALSE;
            if (ci.kind == FieldKind::LargeInt)
                SQLColAttribute(st.h, static_cast<SQLUSMALLINT>(c + 1), SQL_DESC_UNSIGNED, nullptr,
                                0, nullptr, &isUnsigned);
            ci.kind = exactNumericKind(ci.kind, attribute(st, c, SQL_DESC_TYPE_NAME),
                                       isUnsigned == SQL_TRUE);
        }
        ci.size = (ci.kind == FieldKind::String || ci.kind == FieldKind::Memo) && size < (1u << 30)
                      ? static_cast<int>(size)
                      : 0;
        ci.baseTable = attribute(st, c, SQL_DESC_BASE_TABLE_NAME);
        ci.baseColumn = attribute(st, c, SQL_DESC_BASE_COLUMN_NAME);
        ci.baseSchema =
            attribute(st, c, catalogOwners_ ? SQL_DESC_CATALOG_NAME : SQL_DESC_SCHEMA_NAME);
        buf.columns.emplace_back(ci.kind);
        Binding& b = bind[c];
        switch (storageFor(ci.kind)) {
        case Storage::Int:
            if (ci.kind == FieldKind::Boolean) {
                b.cType = SQL_C_BIT;
                b.width = 1;
            } else if (isDateKind(ci.kind)) {
                b.cType = SQL_C_CHAR;
                b.width = kDateTextBytes;
            } else {
                b.cType = SQL_C_SBIGINT;
                b.width = 8;
            }
            break;
        case Storage::Double:
            b.cType = SQL_C_DOUBLE;
            b.width = 8;
            break;
        case Storage::Decimal:
            // Exact decimals travel as their digits: a sign, a point and a leading zero
            // beside the precision. A longer value is read again piecewise.
            b.cType = SQL_C_CHAR;
            if (size == 0 || size > 1000 || unbound[c])
                b.bound = false;
            else
                b.width = static_cast<SQLLEN>(decimalTextWidth(ci.kind, size));
            break;
        case Storage::Text:
            b.cType = wide_ ? SQL_C_WCHAR : SQL_C_CHAR;
            if (unbound[c]) {
                b.bound = false;
            } else {
                const SQLULEN chars =
                    size == 0 || size > kMaxBoundChars ? kLongTextBoundChars : size;
                // Drivers count the declared size in characters, and a character beyond the
                // Basic Multilingual Plane takes two UTF-16 units (four bytes of UTF-8).
                b.width =
                    static_cast<SQLLEN>(wide_ ? (2 * chars + 1) * sizeof(SQLWCHAR) : chars * 4 + 1);
            }
            if (bits > 0) {
                b.cType = SQL_C_BINARY;
                b.bound = false;
                b.bits = bits;
                b.width = 0;
            }
            break;
        case Storage::Blob:
            b.cType = SQL_C_BINARY;
            b.bound = false;
            break;
        }
        rowBytes += static_cast<size_t>(b.width) + sizeof(SQLLEN);
    }
    return rowBytes;
}

namespace {

// Whether a bound character value did not fit its buffer. Besides the indicator: some
// drivers (MariaDB's) fill the whole buffer, terminator included, and report the length
// they wrote; and after a fetch that warned of truncation (01004), a value filling its
// buffer to the last unit is taken as cut too.
bool cutOff(const char* p, SQLLEN ind, SQLLEN width, SQLSMALLINT cType, bool warned) {
    const SQLLEN unit = cType == SQL_C_WCHAR ? static_cast<SQLLEN>(sizeof(SQLWCHAR)) : 1;
    if (ind == SQL_NO_TOTAL || ind > width - unit)
        return true;
    if (ind < width - unit)
        return false;
    if (warned)
        return true;
    const char* last = p + width - unit;
    return std::any_of(last, last + unit, [](char ch) { return ch != 0; });
}

} // namespace

// Reads a value the bound buffer cut, whole, with SQLGetData on its row; false when the
// driver cannot read a bound column there.
bool OdbcProvider::readWhole(Stmt& st, SQLUSMALLINT column, const Binding& b, SQLULEN row,
                             bool block, ColumnData& col) {
    if (!getDataBound_ || (block && !getDataBlock_))
        return false;
    if (block && !SQL_SUCCEEDED(SQLSetPos(st.h, static_cast<SQLSETPOSIROW>(row + 1), SQL_POSITION,
                                          SQL_LOCK_NO_CHANGE)))
        return false;
    readPiecewise(st, column, b, col);
    return true;
}

// Appends the `fetched` rows of a bound column; false when a value did not fit its buffer
// and could not be read whole. `warned`: the fetch reported a truncation.
bool OdbcProvider::appendBound(Stmt& st, SQLUSMALLINT column, const Binding& b, SQLULEN fetched,
                               bool block, bool warned, ColumnData& col, std::string& text) {
    const char* base = b.data.data();
    for (SQLULEN r = 0; r < fetched; ++r) {
        const SQLLEN ind = b.ind[r];
        if (ind == SQL_NULL_DATA) {
            col.appendNull();
            continue;
        }
        const char* p = base + r * static_cast<size_t>(b.width);
        switch (b.cType) {
        case SQL_C_BIT:
            col.appendInt(*reinterpret_cast<const unsigned char*>(p) ? 1 : 0);
            break;
        case SQL_C_SBIGINT:
            col.appendInt(*reinterpret_cast<const SQLBIGINT*>(p));
            break;
        case SQL_C_DOUBLE:
            col.appendDouble(*reinterpret_cast<const double*>(p));
            break;
        default: {
            if (cutOff(p, ind, b.width, b.cType, warned)) {
                if (!readWhole(st, column, b, r, block, col))
                    return false;
            } else if (b.cType == SQL_C_WCHAR) {
                text.clear();
                appendUtf8(text, reinterpret_cast<const SQLWCHAR*>(p),
                           static_cast<size_t>(ind) / sizeof(SQLWCHAR));
                col.appendText(text);
            } else {
                text.clear();
                appendValidUtf8(text, p, static_cast<size_t>(ind));
                col.appendText(text);
            }
        }
        }
    }
    return true;
}

std::unique_ptr<ResultBuffer> OdbcProvider::fetchAll(Stmt& st, const Exec& exec,
                                                     const ProgressFn& progress, bool needResult,
                                                     std::vector<bool>& unbound, bool& truncated) {
    exec(st);
    SQLSMALLINT cols = 0;
    st.check(SQLNumResultCols(st.h, &cols));
    auto buf = std::make_unique<ResultBuffer>();
    if (cols == 0) {
        if (needResult)
            throw DatabaseError("Command text does not return a result set");
        return buf;
    }
    const size_t n = static_cast<size_t>(cols);
    unbound.resize(std::max(n, unbound.size()), false);
    buf->info.resize(n);
    std::vector<Binding> bind(n);
    const size_t rowBytes = describeColumns(st, *buf, bind, unbound);
    const bool allBound =
        std::all_of(bind.begin(), bind.end(), [](const Binding& b) { return b.bound; });
    // Piecewise reads need single-row fetches; with the driver's leave, bound columns
    // before them stay bound.
    const bool mixed = !allBound && getDataAnyColumn_;
    if (!allBound && !mixed)
        for (auto& b : bind)
            b.bound = false;
    const SQLULEN block = allBound ? blockRows(rowBytes) : 1;
    SQLULEN fetched = 0;
    // The bound buffers and the row counter live in this call: the statement forgets
    // them at its end, before a later result (a call's output values) is fetched.
    struct Unbind {
        SQLHSTMT h;
        ~Unbind() {
            SQLFreeStmt(h, SQL_UNBIND);
            SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
            SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
        }
    } unbind{st.h};
    st.check(SQLSetStmtAttr(st.h, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, 0));
    st.check(SQLSetStmtAttr(st.h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(block), 0));
    st.check(SQLSetStmtAttr(st.h, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0));
    for (size_t c = 0; c < n; ++c) {
        Binding& b = bind[c];
        if (!b.bound)
            continue;
        b.data.resize(static_cast<size_t>(b.width) * block);
        b.ind.resize(block);
        st.check(SQLBindCol(st.h, static_cast<SQLUSMALLINT>(c + 1), b.cType, b.data.data(), b.width,
                            b.ind.data()));
    }
    int64_t rows = 0, nextReport = 4096;
    std::string text;
    for (;;) {
        // Some drivers (MariaDB's, for BIT) leave a non-null value's indicator unwritten:
        // one left from an earlier block would turn the value into a null.
        for (auto& b : bind)
            std::fill(b.ind.begin(), b.ind.end(), 0);
        const SQLRETURN rc = SQLFetchScroll(st.h, SQL_FETCH_NEXT, 0);
        if (rc == SQL_NO_DATA)
            break;
        st.check(rc);
        const bool warned = rc == SQL_SUCCESS_WITH_INFO && hasState(SQL_HANDLE_STMT, st.h, "01004");
        if (block == 1)
            fetched = 1;
        for (size_t c = 0; c < n; ++c) {
            Binding& b = bind[c];
            const auto column = static_cast<SQLUSMALLINT>(c + 1);
            if (!b.bound) {
                readPiecewise(st, column, b, buf->columns[c]);
            } else if (!appendBound(st, column, b, fetched, block > 1, warned, buf->columns[c],
                                    text)) {
                truncated = true;
                unbound[c] = true;
                return buf;
            }
        }
        rows += static_cast<int64_t>(fetched);
        if (progress && rows >= nextReport) {
            nextReport = rows + 4096;
            if (!progress(rows)) {
                SQLCancel(st.h);
                throw Error("Operation cancelled");
            }
        }
    }
    buf->rows = rows;
    buf->shrink();
    if (progress && !progress(rows))
        throw Error("Operation cancelled");
    return buf;
}

namespace {

// The value of BIT(n) bytes (most significant first) as n binary digits, as PostgreSQL
// writes its bit strings.
std::string bitString(const std::string& bytes, int digits) {
    std::string out(static_cast<size_t>(digits), '0');
    for (int k = 0; k < digits; ++k) {
        const size_t fromEnd = static_cast<size_t>(k / 8);
        if (fromEnd >= bytes.size())
            break;
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - 1 - fromEnd]);
        if ((byte >> (k % 8)) & 1)
            out[static_cast<size_t>(digits - 1 - k)] = '1';
    }
    return out;
}

} // namespace

void OdbcProvider::readPiecewise(Stmt& st, SQLUSMALLINT col, const Binding& b, ColumnData& out) {
    if (b.cType == SQL_C_WCHAR || b.cType == SQL_C_CHAR) {
        bool null = false;
        std::string t = st.text(col, &null);
        if (null)
            out.appendNull();
        else
            out.appendText(t);
        return;
    }
    std::string bytes;
    char chunk[8192];
    for (;;) {
        SQLLEN ind = 0;
        const SQLRETURN rc = SQLGetData(st.h, col, SQL_C_BINARY, chunk, sizeof chunk, &ind);
        if (rc == SQL_NO_DATA)
            break;
        st.check(rc);
        if (ind == SQL_NULL_DATA) {
            out.appendNull();
            return;
        }
        const size_t got = (ind == SQL_NO_TOTAL || ind > static_cast<SQLLEN>(sizeof chunk))
                               ? sizeof chunk
                               : static_cast<size_t>(ind);
        bytes.append(chunk, got);
        if (rc == SQL_SUCCESS)
            break;
    }
    out.appendText(b.bits > 0 ? bitString(bytes, b.bits) : bytes);
}

std::string OdbcProvider::attribute(Stmt& st, size_t c, SQLUSMALLINT field) {
    SQLSMALLINT len = 0;
    if (wide_) {
        SQLWCHAR buf[512] = {0};
        if (!SQL_SUCCEEDED(SQLColAttributeW(st.h, static_cast<SQLUSMALLINT>(c + 1), field, buf,
                                            sizeof buf, &len, nullptr)))
            return {};
        return fromW(buf, std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(len, 0)) /
                                               sizeof(SQLWCHAR),
                                           511));
    }
    SQLCHAR buf[1024] = {0};
    if (!SQL_SUCCEEDED(SQLColAttribute(st.h, static_cast<SQLUSMALLINT>(c + 1), field, buf,
                                       sizeof buf, &len, nullptr)))
        return {};
    return std::string(reinterpret_cast<char*>(buf),
                       std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(len, 0)), 1023));
}

} // namespace rg
