#include "datasource/odbchandle.h"

#include <algorithm>
#include <dlfcn.h>
#include <link.h>

namespace rg::odbc {

WString toW(const std::string& s) {
    WString out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        int extra;
        if (c < 0x80) { cp = c; extra = 0; }
        else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
        else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
        else { cp = 0xFFFD; extra = 0; }
        ++i;
        for (int k = 0; k < extra && i < s.size(); ++k, ++i) cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
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
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < n && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (w[i + 1] - 0xDC00);
            ++i;
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

std::string fromW(const SQLWCHAR* w, size_t n) {
    std::string s;
    appendUtf8(s, w, n);
    return s;
}

std::string diagnostics(SQLSMALLINT type, SQLHANDLE h, bool wide) {
    std::string text;
    for (SQLSMALLINT i = 1; i < 10; ++i) {
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        std::string m;
        if (wide) {
            SQLWCHAR state[6], msg[2048];
            if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, h, i, state, &native, msg, 2048, &len))) break;
            m = fromW(msg, static_cast<size_t>(std::clamp<SQLSMALLINT>(len, 0, 2047)));
        } else {
            SQLCHAR state[6], msg[4096];
            if (!SQL_SUCCEEDED(SQLGetDiagRec(type, h, i, state, &native, msg, 4096, &len))) break;
            m.assign(reinterpret_cast<char*>(msg), static_cast<size_t>(std::clamp<SQLSMALLINT>(len, 0, 4095)));
        }
        while (!m.empty() && (m.back() == '\n' || m.back() == ' ')) m.pop_back();
        if (m.empty()) continue;
        if (!text.empty()) text += '\n';
        text += m;
    }
    return text.empty() ? "Unknown ODBC error" : text;
}

std::string Stmt::text(SQLUSMALLINT col, bool* null) {
    const size_t unit = wide ? sizeof(SQLWCHAR) : 1;
    char buf[4096];
    SQLLEN ind = 0;
    std::string out;
    if (null) *null = false;
    for (;;) {
        const SQLRETURN rc = SQLGetData(h, col, wide ? SQL_C_WCHAR : SQL_C_CHAR, buf, sizeof buf, &ind);
        if (rc == SQL_NO_DATA) return out;
        check(rc);
        if (ind == SQL_NULL_DATA) {
            if (null) *null = true;
            return out;
        }
        // Without the terminator a full buffer holds one unit less than its size.
        const size_t full = sizeof buf / unit - 1;
        const size_t units = (ind == SQL_NO_TOTAL || static_cast<size_t>(ind) / unit > full) ? full : static_cast<size_t>(ind) / unit;
        if (wide) appendUtf8(out, reinterpret_cast<const SQLWCHAR*>(buf), units);
        else out.append(buf, units);
        if (rc == SQL_SUCCESS) return out;
    }
}
SQLLEN Stmt::integer(SQLUSMALLINT col, bool* null) {
    SQLBIGINT v = 0;
    SQLLEN ind = 0;
    check(SQLGetData(h, col, SQL_C_SBIGINT, &v, sizeof v, &ind));
    if (null) *null = ind == SQL_NULL_DATA;
    return static_cast<SQLLEN>(v);
}

bool driverIsWide(SQLHDBC dbc) {
    SQLCHAR name[512] = {0};
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_DRIVER_NAME, name, sizeof name, &len)) || !name[0]) return true;
    struct Search {
        std::string name;
        std::string path;
    } search{reinterpret_cast<char*>(name), {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            const std::string path = info->dlpi_name ? info->dlpi_name : "";
            // Drivers name themselves by their file name, sometimes without its "lib".
            if (path.size() >= s->name.size() && path.compare(path.size() - s->name.size(), std::string::npos, s->name) == 0) {
                s->path = path;
                return 1;
            }
            return 0;
        },
        &search);
    if (search.path.empty()) return true;
    void* lib = dlopen(search.path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (!lib) return true;
    const bool wide = dlsym(lib, "SQLDriverConnectW") || dlsym(lib, "SQLConnectW");
    dlclose(lib);
    return wide;
}

} // namespace rg::odbc
