// Data link files ("FILE NAME=" strings name one): UTF-16 either way round, UTF-8 with or
// without its mark, comments and the "[oledb]" header. The line found is one line of
// the file, and what it holds then goes through the connection string guard.

#include "common/error.h"
#include "datasource/connguard.h"
#include "datasource/connstring.h"
#include "datasource/oledb.h"
#include "fuzzsupport.h"

#include <cstdint>
#include <string>

using namespace rg;
using rgfuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = rgfuzz::scratchFile("link.udl", {reinterpret_cast<const char*>(data), size});
    std::string line;
    try {
        line = readDataLinkFile(path);
    } catch (const Error&) {
        require(size > kMaxDataLinkFileSize, "a regular file within the size limit is read");
        return 0;
    }
    require(line.find('\n') == std::string::npos, "one line");
    require(line.empty() || (line.front() != ';' && line.front() != ' ' && line.back() != ' '),
            "no comment, no blanks around");
    try {
        const std::string odbc = odbcFromOleDb(withoutConnKey(line, kQueryTimeoutKey));
        checkOdbcConnectionString(odbc);
    } catch (const Error&) {
    }
    return 0;
}
