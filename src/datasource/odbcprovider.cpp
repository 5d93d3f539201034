#include "datasource/provider.h"

#include "common/error.h"

namespace rg {

std::unique_ptr<Provider> openOdbcProvider(const std::string& connectionString) {
    throw Error("ODBC connections are not available yet");
}

} // namespace rg
