#include "datasource/odbcprovider.h"

#include "common/asciicase.h"
#include "common/databaseerror.h"
#include "common/displaytext.h"
#include "datasource/readonlysql.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace rg {

using namespace odbc;

namespace {

// Parameter values bound for a call: the buffer lives until the statement has run.
struct ParamBuffer {
    std::vector<char> data;
    SQLLEN ind = 0;
};

// A date, time or timestamp parameter as text, so that an era, an infinity, a fraction or a
// time beyond a day arrive.
void putTemporal(const Value& v, ParamBuffer& b, SQLSMALLINT& cType, SQLSMALLINT& sqlType,
                 SQLULEN& size, SQLSMALLINT& digits) {
    const std::string t = v.displayText();
    b.data.assign(static_cast<size_t>(kDateTextBytes), 0);
    std::memcpy(b.data.data(), t.data(), std::min(t.size(), b.data.size() - 1));
    cType = SQL_C_CHAR;
    sqlType = v.type() == Value::Type::Date   ? SQL_TYPE_DATE
              : v.type() == Value::Type::Time ? SQL_TYPE_TIME
                                              : SQL_TYPE_TIMESTAMP;
    size = std::max<SQLULEN>(t.size(), 1);
    digits = v.type() == Value::Type::Date ? 0 : 6;
    b.ind = static_cast<SQLLEN>(t.size());
}

// A text parameter in UTF-16 or UTF-8, with room for `outChars` characters read back;
// returns the column size to declare.
SQLULEN putText(const std::string& text, ParamBuffer& b, bool wide, SQLLEN outChars) {
    if (wide) {
        const WString w = toW(text);
        // Room for output characters of two UTF-16 units each.
        const size_t chars = std::max<size_t>(w.size(), 2 * static_cast<size_t>(outChars));
        b.data.assign((chars + 1) * sizeof(SQLWCHAR), 0);
        std::memcpy(b.data.data(), w.data(), w.size() * sizeof(SQLWCHAR));
        b.ind = static_cast<SQLLEN>(w.size() * sizeof(SQLWCHAR));
        return std::max<SQLULEN>(chars, 1);
    }
    const size_t bytes = std::max<size_t>(text.size(), static_cast<size_t>(outChars) * 4);
    b.data.assign(bytes + 1, 0);
    std::memcpy(b.data.data(), text.data(), text.size());
    b.ind = static_cast<SQLLEN>(text.size());
    return std::max<SQLULEN>(text.size(), 1);
}

// `narrow`: texts travel as UTF-8 even on a wide driver.
void bindValue(Stmt& st, SQLUSMALLINT i, const Value& v, ParamBuffer& b,
               SQLSMALLINT io = SQL_PARAM_INPUT, SQLSMALLINT sqlTypeHint = 0, SQLLEN outChars = 0,
               bool narrow = false) {
    auto put = [&](const void* p, size_t n) {
        b.data.assign(static_cast<const char*>(p), static_cast<const char*>(p) + n);
    };
    const bool wide = st.wide && !narrow;
    const size_t unit = wide ? sizeof(SQLWCHAR) : 1;
    SQLSMALLINT cType = wide ? SQL_C_WCHAR : SQL_C_CHAR,
                sqlType = wide ? SQL_WVARCHAR : SQL_VARCHAR;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    switch (v.type()) {
    case Value::Type::Null:
        b.data.assign(static_cast<size_t>(std::max<SQLLEN>(outChars, 1) * 4 + 1) * unit, 0);
        b.ind = SQL_NULL_DATA;
        size = static_cast<SQLULEN>(std::max<SQLLEN>(outChars, 1));
        if (sqlTypeHint)
            sqlType = sqlTypeHint;
        break;
    case Value::Type::Bool: {
        const unsigned char c = v.asBool() ? 1 : 0;
        put(&c, 1);
        cType = SQL_C_BIT;
        sqlType = SQL_BIT;
        b.ind = 1;
        break;
    }
    case Value::Type::Int: {
        const SQLBIGINT x = v.asInt();
        put(&x, sizeof x);
        cType = SQL_C_SBIGINT;
        sqlType =
            (sqlTypeHint == SQL_INTEGER || sqlTypeHint == SQL_SMALLINT) ? sqlTypeHint : SQL_BIGINT;
        b.ind = sizeof x;
        break;
    }
    case Value::Type::Double: {
        const double x = v.asDouble();
        put(&x, sizeof x);
        cType = SQL_C_DOUBLE;
        sqlType = SQL_DOUBLE;
        size = 15;
        b.ind = sizeof x;
        break;
    }
    case Value::Type::Date:
    case Value::Type::Time:
    case Value::Type::DateTime:
        putTemporal(v, b, cType, sqlType, size, digits);
        break;
    case Value::Type::Decimal: {
        // Exact decimals travel as their digits, so a key such as 99999999999999.99 still
        // finds its row.
        const std::string t = v.displayText();
        put(t.data(), t.size());
        cType = SQL_C_CHAR;
        sqlType = SQL_NUMERIC;
        size = std::max<SQLULEN>(t.size(), 1);
        digits = static_cast<SQLSMALLINT>(
            t.find('.') == std::string::npos ? 0 : t.size() - t.find('.') - 1);
        b.ind = static_cast<SQLLEN>(t.size());
        break;
    }
    case Value::Type::Blob:
        put(v.asText().data(), v.asText().size());
        cType = SQL_C_BINARY;
        sqlType = SQL_LONGVARBINARY;
        size = std::max<SQLULEN>(v.asText().size(), 1);
        b.ind = static_cast<SQLLEN>(v.asText().size());
        break;
    case Value::Type::Text:
        size = putText(v.asText(), b, wide, outChars);
        break;
    }
    if (io != SQL_PARAM_INPUT && cType != SQL_C_WCHAR && cType != SQL_C_CHAR) {
        // Output values are read back as text and converted by the parameter's kind.
        const std::string text = v.isNull() ? std::string() : v.displayText();
        Value t = v.isNull() ? Value::null() : Value::fromText(text);
        bindValue(st, i, t, b, io, sqlTypeHint, outChars, narrow);
        return;
    }
    if (b.data.empty())
        b.data.resize(2);
    st.check(SQLBindParameter(st.h, i, io, cType, sqlType, size, digits, b.data.data(),
                              static_cast<SQLLEN>(b.data.size()), &b.ind));
}

SQLSMALLINT sqlTypeOf(FieldKind k) {
    switch (k) {
    case FieldKind::SmallInt:
        return SQL_SMALLINT;
    case FieldKind::Integer:
    case FieldKind::AutoInc:
    case FieldKind::Word:
        return SQL_INTEGER;
    case FieldKind::LargeInt:
        return SQL_BIGINT;
    case FieldKind::Boolean:
        return SQL_BIT;
    case FieldKind::Float:
        return SQL_DOUBLE;
    case FieldKind::Currency:
    case FieldKind::BCD:
    case FieldKind::FMTBcd:
        return SQL_NUMERIC;
    case FieldKind::Date:
        return SQL_TYPE_DATE;
    case FieldKind::Time:
        return SQL_TYPE_TIME;
    case FieldKind::DateTime:
    case FieldKind::TimeStamp:
        return SQL_TYPE_TIMESTAMP;
    case FieldKind::Blob:
    case FieldKind::Graphic:
        return SQL_LONGVARBINARY;
    default:
        return SQL_WVARCHAR;
    }
}

} // namespace

std::unique_ptr<ResultBuffer> OdbcProvider::callProcedure(const std::string& name,
                                                          std::vector<Parameter>& params,
                                                          const ProgressFn& progress) {
    const ObjectName object = resolve(name, true);
    const std::string target = reference(object);
    const bool returns = !params.empty() && params[0].Direction == ParameterDirection::ReturnValue;
    auto isOutput = [](const Parameter& p) {
        return p.Direction == ParameterDirection::Output ||
               p.Direction == ParameterDirection::InputOutput;
    };
    if (returns && std::none_of(params.begin() + 1, params.end(), isOutput)) {
        // A function returning one value is selected: the call escape loses its
        // arguments on some drivers (psqlODBC) and its value is then shown as a result
        // named after the function.
        std::vector<Parameter> args(params.begin() + 1, params.end());
        std::string sql = "SELECT " + target + "(";
        for (size_t i = 0; i < args.size(); ++i)
            sql += i ? ",?" : "?";
        sql += ") AS " + quoteIdentifier(object.name);
        auto buf = call(sql, args, progress);
        if (buf->rows == 1 && buf->columns.size() == 1)
            params[0].SetValue(buf->columns[0].valueAt(0));
        return buf;
    }
    std::string sql = "{";
    const size_t first = returns ? 1 : 0;
    if (returns)
        sql += "? = ";
    std::string args = "(";
    for (size_t i = first; i < params.size(); ++i)
        args += i > first ? ",?" : "?";
    args += ")";
    sql += "call " + target + args + "}";
    try {
        return call(sql, params, progress);
    } catch (const Error& e) {
        // The PostgreSQL driver turns the call escape into a SELECT, which a procedure
        // (as opposed to a function) refuses; those take the server's own CALL.
        if (first != 0 || !std::strstr(e.what(), "is a procedure"))
            throw;
    }
    return call("CALL " + target + args, params, progress);
}

std::unique_ptr<ResultBuffer> OdbcProvider::call(const std::string& sql,
                                                 std::vector<Parameter>& params,
                                                 const ProgressFn& progress) {
    std::vector<ParamBuffer> buffers(params.size());
    std::optional<WritableScope> writable;
    if (procedureMayWrite)
        writable.emplace(*this);
    else
        setSessionWritable(false);
    CancellableStmt st(*this);
    std::unique_ptr<ResultBuffer> buf;
    try {
        buf = run(
            st,
            [&](Stmt& s) {
                prepare(s, sql);
                for (size_t i = 0; i < params.size(); ++i) {
                    const Parameter& p = params[i];
                    SQLSMALLINT io = SQL_PARAM_INPUT;
                    if (p.Direction == ParameterDirection::Output ||
                        p.Direction == ParameterDirection::ReturnValue)
                        io = SQL_PARAM_OUTPUT;
                    else if (p.Direction == ParameterDirection::InputOutput)
                        io = SQL_PARAM_INPUT_OUTPUT;
                    // A typed-in text travels as the parameter's own type, so that the server
                    // finds the overload it belongs to.
                    Value v = io == SQL_PARAM_OUTPUT ? Value::null() : p.Value();
                    if (v.type() == Value::Type::Text && p.Kind != FieldKind::String &&
                        p.Kind != FieldKind::Memo)
                        v = valueFromText(p.Kind, v.asText());
                    bindValue(s, static_cast<SQLUSMALLINT>(i + 1), v, buffers[i], io,
                              sqlTypeOf(p.Kind), io == SQL_PARAM_INPUT ? 0 : std::max(p.Size, 256),
                              io != SQL_PARAM_INPUT && outputsAsResult_);
                }
                s.check(SQLExecute(s.h));
            },
            progress, false, false);
    } catch (const DatabaseError& e) {
        if (isWriteRefusal(e))
            throw procedureWriteRefusal(e, sql);
        throw;
    }
    // Output values arrive once every result of the call has been read; MariaDB's
    // driver hands them over as one more result, which fills the bound buffers when read.
    if (const int skipped = skipFurtherResults(st, params))
        buf->notice = skippedResultsNotice(skipped);
    for (size_t i = 0; i < params.size(); ++i) {
        Parameter& p = params[i];
        if (p.Direction == ParameterDirection::Input || p.Direction == ParameterDirection::Unknown)
            continue;
        const ParamBuffer& b = buffers[i];
        if (b.ind == SQL_NULL_DATA) {
            p.SetValue(Value::null());
            continue;
        }
        const bool wide = wide_ && !outputsAsResult_;
        const size_t unit = wide ? sizeof(SQLWCHAR) : 1;
        // An output value is read once, into its buffer: one that did not fit is an error,
        // never a shorter value.
        const size_t units =
            b.ind == SQL_NO_TOTAL ? b.data.size() / unit : static_cast<size_t>(b.ind) / unit;
        if (units > b.data.size() / unit - 1)
            throw DatabaseError("输出参数“" + p.Name + "”的值太长，无法完整读出。");
        std::string text;
        if (wide)
            text = fromW(reinterpret_cast<const SQLWCHAR*>(b.data.data()), units);
        else
            appendValidUtf8(text, b.data.data(), units);
        while (!text.empty() && text.back() == 0)
            text.pop_back();
        p.SetValue(valueFromText(p.Kind, text));
    }
    // A procedure without rows of its own shows its output values as one row, the way
    // PostgreSQL returns them; MariaDB's driver already handed them over as the result.
    return buf;
}

// Whether the current result of a call holds its output values (MariaDB, MySQL).
bool OdbcProvider::isOutputsResult(Stmt& st, SQLSMALLINT cols,
                                   const std::vector<Parameter>& params) {
    ResultBuffer described;
    described.rows = 1;
    described.info.resize(static_cast<size_t>(cols));
    for (size_t c = 0; c < described.info.size(); ++c)
        described.info[c].name = attribute(st, c, SQL_DESC_NAME);
    return onlyOutputs(described, params);
}

bool OdbcProvider::onlyOutputs(const ResultBuffer& buf, const std::vector<Parameter>& params) {
    std::vector<std::string> outputs;
    for (const Parameter& p : params)
        if (p.Direction == ParameterDirection::Output ||
            p.Direction == ParameterDirection::InputOutput)
            outputs.push_back(asciiLower(p.Name));
    if (outputs.empty() || buf.rows != 1 || buf.info.size() != outputs.size())
        return false;
    for (size_t i = 0; i < outputs.size(); ++i)
        if (asciiLower(buf.info[i].name) != outputs[i])
            return false;
    return true;
}

void OdbcProvider::applyChange(const RowChange& change) {
    std::vector<Value> values;
    const std::string sql = changeSql(*this, change, values);
    const WritableScope writable(*this);
    SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF),
                      0);
    auto endTransaction = [&](SQLSMALLINT how) {
        SQLEndTran(SQL_HANDLE_DBC, dbc_, how);
        SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT,
                          reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    };
    try {
        CancellableStmt st(*this);
        prepare(st, sql);
        std::vector<ParamBuffer> buffers(values.size());
        for (size_t i = 0; i < values.size(); ++i)
            bindValue(st, static_cast<SQLUSMALLINT>(i + 1), values[i], buffers[i]);
        st.check(SQLExecute(st.h));
        SQLLEN touched = -1;
        st.check(SQLRowCount(st.h, &touched));
        if (touched != 1)
            throw DatabaseError(rowCountMessage(touched));
    } catch (...) {
        endTransaction(SQL_ROLLBACK);
        throw;
    }
    endTransaction(SQL_COMMIT);
}

void OdbcProvider::executeWith(Stmt& st, const std::string& sql, const std::vector<Value>& params) {
    prepare(st, sql);
    // The values are read when the statement executes; the buffers may go after that.
    std::vector<ParamBuffer> buffers(params.size());
    for (size_t i = 0; i < params.size(); ++i)
        bindValue(st, static_cast<SQLUSMALLINT>(i + 1), params[i], buffers[i]);
    st.check(SQLExecute(st.h));
}

void OdbcProvider::prepare(Stmt& st, const std::string& sql) {
    if (wide_) {
        WString w = toW(sql);
        st.check(SQLPrepareW(st.h, wptr(w), static_cast<SQLINTEGER>(w.size())));
    } else {
        st.check(SQLPrepare(st.h, (SQLCHAR*)sql.c_str(), static_cast<SQLINTEGER>(sql.size())));
    }
}

} // namespace rg
