// Connection strings as setups and data link files carry them: the reading of the pairs,
// the quoting of values, cutting a key out, the OLE DB translation and the guard that
// stands before the driver manager. Refusals are errors with a message; nothing else may
// go wrong, and a value quoted by the program reads back as itself.

#include "common/asciicase.h"
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

std::string unwrapped(const std::string& v) {
    return v.size() >= 2 && v.front() == '{' && v.back() == '}' ? v.substr(1, v.size() - 2) : v;
}

// Every pair written again with the program's own quoting reads back as the same pair.
void checkQuoting(const ConnParts& parts) {
    std::string again;
    for (const auto& [key, value] : parts)
        again += key + "=" + quoteConnValue(unwrapped(value)) + ";";
    const ConnParts reread = parseConnectionString(again);
    require(reread.size() == parts.size(), "quoted pairs read back as as many pairs");
    for (size_t i = 0; i < parts.size(); ++i) {
        require(reread[i].first == parts[i].first, "a quoted pair keeps its key");
        require(unwrapped(reread[i].second) == unwrapped(parts[i].second),
                "a quoted value reads back as itself");
    }
}

// Cutting a key out takes exactly its pairs: the rest reads as it did, in its order.
void checkCut(const std::string& s, const ConnParts& parts, const std::string& key) {
    ConnParts rest;
    for (const auto& pair : parts)
        if (!equalsIgnoringCase(pair.first, key))
            rest.push_back(pair);
    require(parseConnectionString(withoutConnKey(s, key)) == rest,
            "cutting a key leaves the other pairs as they were");
}

template <class F> void refusalsOnly(F f) {
    try {
        f();
    } catch (const Error&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string s(reinterpret_cast<const char*>(data), size);
    const ConnParts parts = parseConnectionString(s);
    for (const auto& [key, value] : parts)
        require(!key.empty(), "no pair without a key");
    checkQuoting(parts);
    checkCut(s, parts, kQueryTimeoutKey);
    // The first keys, not all: every cut reads the whole string again.
    for (size_t i = 0; i < parts.size() && i < 8; ++i)
        checkCut(s, parts, parts[i].first);

    refusalsOnly([&] { queryTimeoutOf(parts); });
    refusalsOnly([&] {
        const std::string odbc = odbcFromOleDb(withoutConnKey(s, kQueryTimeoutKey));
        guardedOdbcConnectionString(odbc);
        checkAccessFile(odbc);
    });
    return 0;
}
