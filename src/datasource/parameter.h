#pragma once

// What a data set runs: the kind of its command, and the parameters of a stored procedure.
// Shared by the data set and the providers that run the command.

#include "common/value.h"

#include <string>

namespace rg {

enum class CommandType { cmdUnknown, cmdText, cmdTable, cmdStoredProc, cmdFile, cmdTableDirect };

enum class ParameterDirection { Unknown, Input, Output, InputOutput, ReturnValue };

class Parameter {
public:
    std::string Name;
    ParameterDirection Direction = ParameterDirection::Input;
    FieldKind Kind = FieldKind::Unknown; // Unknown: takes the type of the value assigned
    int Size = 0;                        // grows to fit a variable-size value
    const rg::Value& Value() const { return value_; }
    void SetValue(const rg::Value& v); // an empty text or null is stored as null
private:
    rg::Value value_;
};

} // namespace rg
