// Data link files ("FILE NAME=" strings name one): UTF-16 either way round, UTF-8 with or
// without its mark, comments and the "[oledb]" header. The line found is one line of
// the file (well-formed UTF-8 when the file is UTF-16), and what it holds then goes
// through the connection string guard.

#include "common/error.h"
#include "datasource/connguard.h"
#include "datasource/connstring.h"
#include "datasource/oledb.h"
#include "fuzzsupport.h"

#include <cstdint>
#include <string>

using namespace rg;
using rgfuzz::require;

namespace {

// Well-formed UTF-8: no surrogate, no overlong form, nothing beyond U+10FFFF.
bool validUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80         ? 1
                         : (c >> 5) == 6  ? 2
                         : (c >> 4) == 14 ? 3
                         : (c >> 3) == 30 ? 4
                                          : 0;
        if (n == 0 || i + n > s.size())
            return false;
        uint32_t cp = n == 1 ? c : c & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (t & 0x3F);
        }
        const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))
            return false;
        i += n;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path =
        rgfuzz::scratchFile("link.udl", {reinterpret_cast<const char*>(data), size});
    std::string line;
    try {
        line = readDataLinkFile(path);
    } catch (const Error& e) {
        const bool empty = std::string(e.what()).find("没有连接字符串") != std::string::npos;
        require(size > kMaxDataLinkFileSize || empty,
                "a regular file within the size limit is read");
        return 0;
    }
    require(line.find('\n') == std::string::npos, "one line");
    const bool utf16 =
        size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF));
    if (utf16)
        require(validUtf8(line), "a UTF-16 file gives well-formed UTF-8");
    require(line.empty() || (line.front() != ';' && line.front() != ' ' && line.back() != ' '),
            "no comment, no blanks around");
    try {
        const std::string odbc = odbcFromOleDb(withoutConnKey(line, kQueryTimeoutKey));
        guardedOdbcConnectionString(odbc);
    } catch (const Error&) {
    }
    return 0;
}
