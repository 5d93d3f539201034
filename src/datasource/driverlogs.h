#pragma once

// psqlODBC takes its log switches from odbcinst.ini before it reads any connection string,
// and writes its communication log at disconnect by those switches alone; Debian's
// odbcinst.ini switches it on. The driver manager's own trace (which names the connection
// string) is switched there too. So the process points the driver manager at a copy of
// odbcinst.ini in the user's cache folder with every log switch off, the system's odbc.ini
// staying where it is through a link.

#include <string>

namespace rg {

// Where the driver manager reads odbcinst.ini and odbc.ini from now on; empty when the
// system's odbcinst.ini switches no log on or no copy could be written (nothing changed).
// Runs once, before the first ODBC call of the process; later calls return the same.
std::string quietDriverLogs();

// The text of an odbcinst.ini with every log and trace switch turned off.
std::string withDriverLogsOff(const std::string& odbcinstIni);

} // namespace rg
