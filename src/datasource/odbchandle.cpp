#include "datasource/odbchandle.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <optional>
#include <vector>

namespace rg::odbc {

WString toW(const std::string& s) {
    WString out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        int extra;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            cp = 0xFFFD;
            extra = 0;
        }
        ++i;
        for (int k = 0; k < extra && i < s.size(); ++k, ++i)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<SQLWCHAR>(0xD800 + (cp >> 10));
            out += static_cast<SQLWCHAR>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<SQLWCHAR>(cp);
        }
    }
    return out;
}

void appendUtf8(std::string& out, const SQLWCHAR* w, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        uint32_t cp = w[i];
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        if (cp >= 0xD800 && cp < 0xE000) {
            // A surrogate stands for a character only as a pair; a lone one has no UTF-8.
            if (cp < 0xDC00 && i + 1 < n && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (w[i + 1] - 0xDC00);
                ++i;
            } else {
                cp = 0xFFFD;
            }
        }
        if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        }
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

namespace {

// The length of the valid UTF-8 sequence at p (of at most n bytes), 0 when none starts there.
size_t sequenceLength(const unsigned char* p, size_t n) {
    const unsigned char c = p[0];
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF; // the range of the second byte
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        len = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0)
            lo = 0xA0;
        if (c == 0xED)
            hi = 0x9F; // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0)
            lo = 0x90;
        if (c == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (n < len || p[1] < lo || p[1] > hi)
        return 0;
    for (size_t k = 2; k < len; ++k)
        if ((p[k] & 0xC0) != 0x80)
            return 0;
    return len;
}

} // namespace

void appendValidUtf8(std::string& out, const char* text, size_t n) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    while (i < n) {
        size_t run = i;
        for (size_t len; run < n && (len = sequenceLength(p + run, n - run)) != 0;)
            run += len;
        out.append(text + i, run - i);
        if (run == n)
            break;
        out += "\xEF\xBF\xBD";
        i = run + 1;
    }
}

std::string fromW(const SQLWCHAR* w, size_t n) {
    std::string s;
    appendUtf8(s, w, n);
    return s;
}

namespace {

// One diagnostic record's message, however long; false when there is no such record.
bool diagnosticRecord(SQLSMALLINT type, SQLHANDLE h, SQLSMALLINT i, bool wide, std::string& state,
                      SQLINTEGER& native, std::string& message) {
    SQLSMALLINT len = 0;
    if (wide) {
        SQLWCHAR st[6] = {0};
        std::vector<SQLWCHAR> msg(1024);
        for (int round = 0; round < 2; ++round) {
            if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, h, i, st, &native, msg.data(),
                                              static_cast<SQLSMALLINT>(msg.size()), &len)))
                return false;
            if (len < static_cast<SQLSMALLINT>(msg.size()))
                break;
            msg.resize(static_cast<size_t>(len) + 1);
        }
        message = fromW(msg.data(), std::min(static_cast<size_t>(std::max<SQLSMALLINT>(len, 0)),
                                             msg.size() - 1));
        state = fromW(st, 5);
    } else {
        SQLCHAR st[6] = {0};
        std::vector<SQLCHAR> msg(2048);
        for (int round = 0; round < 2; ++round) {
            if (!SQL_SUCCEEDED(SQLGetDiagRec(type, h, i, st, &native, msg.data(),
                                             static_cast<SQLSMALLINT>(msg.size()), &len)))
                return false;
            if (len < static_cast<SQLSMALLINT>(msg.size()))
                break;
            msg.resize(static_cast<size_t>(len) + 1);
        }
        message.assign(
            reinterpret_cast<char*>(msg.data()),
            std::min(static_cast<size_t>(std::max<SQLSMALLINT>(len, 0)), msg.size() - 1));
        state.assign(reinterpret_cast<char*>(st), 5);
    }
    while (!state.empty() && state.back() == 0)
        state.pop_back();
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == ' ' || message.back() == 0))
        message.pop_back();
    return true;
}

} // namespace

DatabaseError driverError(SQLSMALLINT type, SQLHANDLE h, bool wide) {
    std::string text, state, m, firstState;
    SQLINTEGER native = 0;
    std::optional<long> firstNative;
    for (SQLSMALLINT i = 1; i < 10; ++i) {
        if (!diagnosticRecord(type, h, i, wide, state, native, m))
            break;
        if (i == 1) {
            firstState = state;
            firstNative = native;
        }
        if (m.empty())
            continue;
        if (!text.empty())
            text += '\n';
        text += m;
    }
    // A driver may leave its message empty: its codes are all there is to tell.
    if (text.empty() && !firstNative)
        text = "Unknown ODBC error";
    return DatabaseError(text, firstState, firstNative);
}

bool hasState(SQLSMALLINT type, SQLHANDLE h, const char* wanted) {
    SQLCHAR state[6] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    for (SQLSMALLINT i = 1;
         SQL_SUCCEEDED(SQLGetDiagRec(type, h, i, state, &native, nullptr, 0, &len)); ++i)
        if (std::strncmp(reinterpret_cast<char*>(state), wanted, 5) == 0)
            return true;
    return false;
}

std::string Stmt::text(SQLUSMALLINT col, bool* null) {
    const size_t unit = wide ? sizeof(SQLWCHAR) : 1;
    alignas(SQLWCHAR) char buf[4096];
    SQLLEN ind = 0;
    std::string out;
    WString pending; // a piece's last unit when it opens a surrogate pair
    if (null)
        *null = false;
    for (;;) {
        const SQLRETURN rc =
            SQLGetData(h, col, wide ? SQL_C_WCHAR : SQL_C_CHAR, buf, sizeof buf, &ind);
        if (rc == SQL_NO_DATA)
            break;
        check(rc);
        if (ind == SQL_NULL_DATA) {
            if (null)
                *null = true;
            return out;
        }
        // Without the terminator a full buffer holds one unit less than its size.
        const size_t full = sizeof buf / unit - 1;
        const size_t units = (ind == SQL_NO_TOTAL || static_cast<size_t>(ind) / unit > full)
                                 ? full
                                 : static_cast<size_t>(ind) / unit;
        if (wide) {
            pending.append(reinterpret_cast<const SQLWCHAR*>(buf), units);
            // The pieces may part a pair: its first half waits for the next piece.
            const bool opensPair = rc != SQL_SUCCESS && !pending.empty() &&
                                   pending.back() >= 0xD800 && pending.back() < 0xDC00;
            const size_t take = pending.size() - (opensPair ? 1 : 0);
            appendUtf8(out, pending.data(), take);
            pending.erase(0, take);
        } else {
            out.append(buf, units);
        }
        if (rc == SQL_SUCCESS)
            break;
    }
    appendUtf8(out, pending.data(), pending.size());
    if (wide)
        return out;
    std::string valid;
    appendValidUtf8(valid, out.data(), out.size());
    return valid;
}
SQLLEN Stmt::integer(SQLUSMALLINT col, bool* null) {
    SQLBIGINT v = 0;
    SQLLEN ind = 0;
    check(SQLGetData(h, col, SQL_C_SBIGINT, &v, sizeof v, &ind));
    if (null)
        *null = ind == SQL_NULL_DATA;
    return static_cast<SQLLEN>(v);
}

bool driverIsWide(SQLHDBC dbc) {
    SQLCHAR name[512] = {0};
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_DRIVER_NAME, name, sizeof name, &len)) || !name[0])
        return true;
    struct Search {
        std::string name;
        std::string path;
    } search{reinterpret_cast<char*>(name), {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            const std::string path = info->dlpi_name ? info->dlpi_name : "";
            // Drivers name themselves by their file name, sometimes without its "lib".
            if (path.size() >= s->name.size() &&
                path.compare(path.size() - s->name.size(), std::string::npos, s->name) == 0) {
                s->path = path;
                return 1;
            }
            return 0;
        },
        &search);
    if (search.path.empty())
        return true;
    void* lib = dlopen(search.path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (!lib)
        return true;
    const bool wide = dlsym(lib, "SQLDriverConnectW") || dlsym(lib, "SQLConnectW");
    dlclose(lib);
    return wide;
}

} // namespace rg::odbc
