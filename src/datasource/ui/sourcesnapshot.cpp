#include "datasource/ui/sourcesnapshot.h"

#include "common/databaseerror.h"

namespace rg {

namespace {

bool sameParameter(const Parameter& a, const Parameter& b) {
    return a.Name == b.Name && a.Direction == b.Direction && a.Kind == b.Kind && a.Size == b.Size &&
           a.Value() == b.Value();
}

} // namespace

SourceSnapshot::SourceSnapshot(DataSet& dataSet, const Connection& connection)
    : connectionString_(connection.ConnectionString()), connected_(connection.Connected()),
      commandType_(dataSet.GetCommandType()), commandText_(dataSet.CommandText()),
      placement_(dataSet.GetRowPlacement()), procedureMayWrite_(dataSet.ProcedureMayWrite()),
      sqlParameters_(dataSet.SqlParameters()), active_(dataSet.Active()) {
    for (int i = 0; i < dataSet.ParameterCount(); ++i)
        parameters_.push_back(dataSet.Parameters(i));
    for (int i = 0; i < dataSet.FieldCount(); ++i)
        labels_.emplace_back(dataSet.Fields(i).FieldName(), dataSet.Fields(i).DisplayLabel());
}

bool SourceSnapshot::sameSource(DataSet& dataSet, const Connection& connection) const {
    if (connection.ConnectionString() != connectionString_ ||
        dataSet.GetCommandType() != commandType_ || dataSet.CommandText() != commandText_ ||
        dataSet.GetRowPlacement() != placement_ || dataSet.SqlParameters() != sqlParameters_ ||
        dataSet.ParameterCount() != static_cast<int>(parameters_.size()))
        return false;
    for (int i = 0; i < dataSet.ParameterCount(); ++i)
        if (!sameParameter(dataSet.Parameters(i), parameters_[static_cast<size_t>(i)]))
            return false;
    return true;
}

void SourceSnapshot::restore(DataSet& dataSet, Connection& connection) const {
    dataSet.SetProcedureMayWrite(procedureMayWrite_);
    if (!sameSource(dataSet, connection) || dataSet.Active() != active_) {
        dataSet.Close();
        connection.SetConnectionString(connectionString_);
        dataSet.SetCommandType(commandType_);
        dataSet.SetCommandText(commandText_);
        dataSet.SetRowPlacement(placement_);
        restoreParameters(dataSet);
        dataSet.SetSqlParameters(sqlParameters_);
        if (active_)
            withDatabaseContext(openFailureSentence(commandType_, commandText_),
                                [&] { dataSet.Open(); });
    }
    restoreLabels(dataSet);
    // A listing in the dialog connected a connection that was closed.
    if (!connected_ && !dataSet.Active() && connection.Connected())
        connection.Close();
}

// The parameter dialog replaces the list with the one of the procedure it describes; the
// database describes the given procedure again, and its values come back.
void SourceSnapshot::restoreParameters(DataSet& dataSet) const {
    if (dataSet.ParameterCount() != static_cast<int>(parameters_.size()))
        dataSet.RefreshParameters();
    if (dataSet.ParameterCount() != static_cast<int>(parameters_.size()))
        return; // the procedure itself changed meanwhile
    for (int i = 0; i < dataSet.ParameterCount(); ++i)
        dataSet.Parameters(i) = parameters_[static_cast<size_t>(i)];
}

// Captions belong to the fields, which a new open makes anew.
void SourceSnapshot::restoreLabels(DataSet& dataSet) const {
    for (const auto& [name, label] : labels_)
        if (Field* field = dataSet.FindField(name); field && field->DisplayLabel() != label)
            field->SetDisplayLabel(label);
}

} // namespace rg
