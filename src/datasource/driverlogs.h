#pragma once

// psqlODBC takes its log switches from odbcinst.ini before it reads any connection string,
// and writes its communication log at disconnect by those switches alone; Debian's
// odbcinst.ini switches it on. The driver manager's own trace (which names the connection
// string) is switched there too. So the process points the driver manager at a copy of
// odbcinst.ini in the user's cache folder with every log switch off, the system's odbc.ini
// staying where it is through a link.

#include <string>

namespace rg {

// Where the driver manager reads odbcinst.ini and odbc.ini from now on: the user's cache
// folder, else a private folder of the user's in the temporary folder; empty when no copy
// could be written (nothing changed). Runs once, before the first ODBC call of the process;
// later calls return the same.
std::string quietDriverLogs();

// Whether a driver may write a log with this process's connections: the copy could not be
// made and the system's or the user's odbcinst.ini switches a log on. Connections through
// ODBC are then refused.
bool driverLogsMayBeOn();

// The text of an odbcinst.ini with every log and trace switch turned off.
std::string withDriverLogsOff(const std::string& odbcinstIni);

// The copy the driver manager reads: the system's odbcinst.ini with its log switches off,
// the driver manager's trace switched off explicitly (which wins over the user's
// ~/.odbcinst.ini), and every log switch the user's file turns on written off in the same
// section, so that no setting of the user's file can switch a log on.
std::string quietOdbcinstIni(const std::string& systemIni, const std::string& userIni);

} // namespace rg
