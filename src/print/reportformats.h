#pragma once

#include "export/exportregistry.h"

namespace rg {

// Every format the program writes: the core library's and PDF through the report link,
// with the window's PDF command. The window and the runner take their lists from here.
const ExportRegistry& ReportFormats();

} // namespace rg
