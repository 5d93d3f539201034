#pragma once

// What the unixODBC driver manager has installed: drivers and data source names.

#include <string>
#include <vector>

namespace rg {

struct OdbcDataSource {
    std::string name;
    std::string driver; // the driver's description as the driver manager reports it
};

std::vector<std::string> listOdbcDrivers();
std::vector<OdbcDataSource> listOdbcDataSources();

} // namespace rg
