#pragma once

// A setup may let its stored procedure change the database. Setups travel between people,
// so that permission holds only once the user has said yes to it for this file, this
// connection and this procedure: the window asks at the first open, and a save by the user
// counts as a yes. The answers live in the user's configuration folder
// ($XDG_CONFIG_HOME/reportgen/procedure-writes.ini, else ~/.config/...).

#include <string>

namespace rg {

struct ProcedureWrite {
    std::string setupFile, connectionString, procedure;
};

bool ProcedureWritesApproved(const ProcedureWrite& w);
// Throws rg::Error naming the file when the answer cannot be stored.
void ApproveProcedureWrites(const ProcedureWrite& w);

// The question the window asks before such a setup opens for the first time.
std::string procedureWriteQuestion(const ProcedureWrite& w);

} // namespace rg
