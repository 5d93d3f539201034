#pragma once

#include <string>

namespace rgtest {

// A temporary folder of this process, made at the first call and removed when the process
// ends, so that runs side by side never share a file and none is left behind. The SQLite
// files of makeSqliteFile (testsupport.h) are made here.
const std::string& processFolder();

} // namespace rgtest
