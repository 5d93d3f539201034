#include "datasource/odbcprovider.h"

#include "common/asciicase.h"
#include "common/datetime.h"
#include "common/displaytext.h"
#include "common/error.h"
#include "datasource/connstring.h"
#include "datasource/odbchandle.h"
#include "datasource/pgdatetexts.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <mutex>
#include <cctype>
#include <cstring>

namespace rg {

namespace {

using namespace odbc;

// The server's own schemas (PostgreSQL) and databases (MariaDB and MySQL, whose driver
// reports databases as catalogs).
bool isSystemSchema(const std::string& schema) {
    const std::string s = asciiLower(schema);
    return s == "pg_catalog" || s == "information_schema" || s == "sys" || s == "pg_toast" ||
           s.rfind("pg_temp_", 0) == 0 || s.rfind("pg_toast_temp_", 0) == 0 || s == "mysql" ||
           s == "performance_schema";
}

bool hasKey(const ConnParts& parts, const char* key) {
    const std::string k = asciiLower(key);
    return std::any_of(parts.begin(), parts.end(), [&](const auto& p) { return asciiLower(p.first) == k; });
}

// psqlODBC hands Booleans over as texts, and without a cursor it holds a whole result in
// the driver while the data set copies it. The user's own settings win.
std::string withPostgresDefaults(const std::string& cs) {
    const ConnParts parts = parseConnectionString(cs);
    std::string out = cs;
    auto add = [&](const char* key, const char* value) {
        if (hasKey(parts, key)) return;
        if (!out.empty() && out.back() != ';') out += ';';
        out += std::string(key) + "=" + value;
    };
    add("BoolsAsChar", "0");
    add("UseDeclareFetch", "1");
    add("Fetch", "2048");
    return out;
}

// An object as a listing names it: "name", "owner.name", either followed by the argument
// types of one overload.
struct ObjectName {
    std::string owner, name, args;
    bool hasArgs = false;
};

// Rows of one fetch block: enough to amortise the driver round trips, small enough that
// the bound buffers of a wide result stay near a megabyte.
SQLULEN blockRows(size_t rowBytes) {
    const size_t rows = (1u << 20) / std::max<size_t>(rowBytes, 1);
    return static_cast<SQLULEN>(std::clamp<size_t>(rows, 16, 4096));
}

// Character columns wider than this are read piecewise instead of bound.
constexpr SQLULEN kMaxBoundChars = 4000;

// Dates and times travel as the server's text: the structures have no era, no infinity, no
// time beyond a day, and a time no fraction. "-4713-11-24 00:00:00.123456789 BC" fits.
constexpr SQLLEN kDateTextBytes = 64;

// How one result column is read.
struct Binding {
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLLEN width = 0;        // bytes per row in the bound buffer
    bool bound = true;       // false: read with SQLGetData row by row
    std::vector<char> data;
    std::vector<SQLLEN> ind;
};

// Parameter values bound for a call: the buffer lives until the statement has run.
struct ParamBuffer {
    std::vector<char> data;
    SQLLEN ind = 0;
};

// `narrow`: texts travel as UTF-8 even on a wide driver.
void bindValue(Stmt& st, SQLUSMALLINT i, const Value& v, ParamBuffer& b, SQLSMALLINT io = SQL_PARAM_INPUT,
               SQLSMALLINT sqlTypeHint = 0, SQLLEN outChars = 0, bool narrow = false) {
    auto put = [&](const void* p, size_t n) {
        b.data.assign(static_cast<const char*>(p), static_cast<const char*>(p) + n);
    };
    const bool wide = st.wide && !narrow;
    const size_t unit = wide ? sizeof(SQLWCHAR) : 1;
    SQLSMALLINT cType = wide ? SQL_C_WCHAR : SQL_C_CHAR, sqlType = wide ? SQL_WVARCHAR : SQL_VARCHAR;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    switch (v.type()) {
    case Value::Type::Null:
        b.data.assign(static_cast<size_t>(std::max<SQLLEN>(outChars, 1) * 4 + 1) * unit, 0);
        b.ind = SQL_NULL_DATA;
        size = static_cast<SQLULEN>(std::max<SQLLEN>(outChars, 1));
        if (sqlTypeHint) sqlType = sqlTypeHint;
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
        sqlType = (sqlTypeHint == SQL_INTEGER || sqlTypeHint == SQL_SMALLINT) ? sqlTypeHint : SQL_BIGINT;
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
    case Value::Type::Date: case Value::Type::Time: case Value::Type::DateTime: {
        // As text, so that an era, an infinity, a fraction or a time beyond a day arrive.
        const std::string t = v.displayText();
        b.data.assign(static_cast<size_t>(kDateTextBytes), 0);
        std::memcpy(b.data.data(), t.data(), std::min(t.size(), b.data.size() - 1));
        cType = SQL_C_CHAR;
        sqlType = v.type() == Value::Type::Date ? SQL_TYPE_DATE : v.type() == Value::Type::Time ? SQL_TYPE_TIME : SQL_TYPE_TIMESTAMP;
        size = std::max<SQLULEN>(t.size(), 1);
        digits = v.type() == Value::Type::Date ? 0 : 6;
        b.ind = static_cast<SQLLEN>(t.size());
        break;
    }
    case Value::Type::Decimal: {
        // Exact decimals travel as their digits, so a key such as 99999999999999.99 still
        // finds its row.
        const Decimal d = *v.asDecimal();
        const std::string t = d.toString();
        put(t.data(), t.size());
        cType = SQL_C_CHAR;
        sqlType = SQL_NUMERIC;
        size = std::max<SQLULEN>(t.size(), 1);
        digits = static_cast<SQLSMALLINT>(d.scale);
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
    case Value::Type::Text: {
        if (wide) {
            const WString w = toW(v.asText());
            const size_t chars = std::max<size_t>(w.size(), static_cast<size_t>(outChars));
            b.data.assign((chars + 1) * sizeof(SQLWCHAR), 0);
            std::memcpy(b.data.data(), w.data(), w.size() * sizeof(SQLWCHAR));
            b.ind = static_cast<SQLLEN>(w.size() * sizeof(SQLWCHAR));
            size = std::max<SQLULEN>(chars, 1);
        } else {
            const std::string& t = v.asText();
            const size_t bytes = std::max<size_t>(t.size(), static_cast<size_t>(outChars) * 4);
            b.data.assign(bytes + 1, 0);
            std::memcpy(b.data.data(), t.data(), t.size());
            b.ind = static_cast<SQLLEN>(t.size());
            size = std::max<SQLULEN>(t.size(), 1);
        }
        break;
    }
    }
    if (io != SQL_PARAM_INPUT && cType != SQL_C_WCHAR && cType != SQL_C_CHAR) {
        // Output values are read back as text and converted by the parameter's kind.
        const std::string text = v.isNull() ? std::string() : v.displayText();
        Value t = v.isNull() ? Value::null() : Value::fromText(text);
        bindValue(st, i, t, b, io, sqlTypeHint, outChars, narrow);
        return;
    }
    if (b.data.empty()) b.data.resize(2);
    st.check(SQLBindParameter(st.h, i, io, cType, sqlType, size, digits, b.data.data(),
                              static_cast<SQLLEN>(b.data.size()), &b.ind));
}

SQLSMALLINT sqlTypeOf(FieldKind k) {
    switch (k) {
    case FieldKind::SmallInt: return SQL_SMALLINT;
    case FieldKind::Integer: case FieldKind::AutoInc: case FieldKind::Word: return SQL_INTEGER;
    case FieldKind::LargeInt: return SQL_BIGINT;
    case FieldKind::Boolean: return SQL_BIT;
    case FieldKind::Float: return SQL_DOUBLE;
    case FieldKind::Currency: case FieldKind::BCD: case FieldKind::FMTBcd: return SQL_NUMERIC;
    case FieldKind::Date: return SQL_TYPE_DATE;
    case FieldKind::Time: return SQL_TYPE_TIME;
    case FieldKind::DateTime: case FieldKind::TimeStamp: return SQL_TYPE_TIMESTAMP;
    case FieldKind::Blob: case FieldKind::Graphic: return SQL_LONGVARBINARY;
    default: return SQL_WVARCHAR;
    }
}

// A parameter's value from the text a driver returned for it.
Value valueFromText(FieldKind k, const std::string& s) {
    if (isNumericKind(k)) {
        if (auto d = parseNumber(s)) {
            if (k == FieldKind::Float || k == FieldKind::BCD || k == FieldKind::FMTBcd || k == FieldKind::Currency)
                return Value::fromDouble(*d);
            return Value::fromInt(static_cast<int64_t>(*d));
        }
    } else if (k == FieldKind::Date) {
        if (auto us = parseDateMicros(s)) return Value::fromMicros(Value::Type::Date, *us);
    } else if (k == FieldKind::Time) {
        if (auto us = parseTimeMicros(s)) return Value::fromMicros(Value::Type::Time, *us);
    } else if (k == FieldKind::DateTime || k == FieldKind::TimeStamp) {
        if (auto us = parseDateTimeMicros(s)) return Value::fromMicros(Value::Type::DateTime, *us);
    } else if (k == FieldKind::Boolean) {
        return Value::fromBool(s == "1" || s == "t" || s == "true" || s == "True");
    }
    return Value::fromText(s);
}

class OdbcProvider final : public Provider {
public:
    explicit OdbcProvider(const std::string& cs) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
        const bool postgres = asciiLower(connValue(parseConnectionString(cs), "Driver")).find("postgres") != std::string::npos;
        connect(postgres ? withPostgresDefaults(cs) : cs);
        const std::string driver = driverName();
        // A data source name hides the driver until it is connected.
        if (!postgres && driver.rfind("psqlodbc", 0) == 0 && withPostgresDefaults(cs) != cs) {
            SQLDisconnect(dbc_);
            connect(withPostgresDefaults(cs));
        }
        // MariaDB's driver hands output values over as a result of their own, and writes UTF-8
        // into wide output parameters: those are bound narrow.
        outputsAsResult_ = driver.rfind("libmaodbc", 0) == 0 || driver.rfind("libmyodbc", 0) == 0;
        postgres_ = driver.rfind("psqlodbc", 0) == 0;
        wide_ = driverIsWide(dbc_);
        SQLCHAR q[8] = {0};
        SQLSMALLINT len = 0;
        // A driver without quoting (a blank) still gets the standard quote, so that a name
        // can never be read as SQL.
        if (SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_IDENTIFIER_QUOTE_CHAR, q, sizeof q, &len)) && q[0] && q[0] != ' ')
            quote_ = reinterpret_cast<char*>(q);
        SQLCHAR esc[8] = {0};
        if (SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_SEARCH_PATTERN_ESCAPE, esc, sizeof esc, &len)) && esc[0] && esc[0] != ' ')
            escape_ = reinterpret_cast<char*>(esc);
        SQLUINTEGER ext = 0;
        if (SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_GETDATA_EXTENSIONS, &ext, sizeof ext, nullptr)))
            getDataAnyColumn_ = (ext & SQL_GD_ANY_COLUMN) && (ext & SQL_GD_ANY_ORDER);
        SQLUINTEGER schemaUsage = 0, catalogUsage = 0;
        SQLGetInfo(dbc_, SQL_SCHEMA_USAGE, &schemaUsage, sizeof schemaUsage, nullptr);
        SQLGetInfo(dbc_, SQL_CATALOG_USAGE, &catalogUsage, sizeof catalogUsage, nullptr);
        // MariaDB and MySQL have no schemas: their databases, reported as catalogs, qualify names.
        catalogOwners_ = schemaUsage == 0 && catalogUsage != 0;
        if (catalogOwners_) defaultOwner_ = currentCatalog();
        else if (schemaUsage != 0) defaultOwner_ = currentSchema();
    }

    void connect(const std::string& cs) {
        SQLCHAR out[2048];
        SQLSMALLINT outLen = 0;
        // Never a login prompt: a missing password is the driver's error.
        const SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, (SQLCHAR*)cs.c_str(), static_cast<SQLSMALLINT>(cs.size()), out,
                                              sizeof out, &outLen, SQL_DRIVER_NOPROMPT);
        if (SQL_SUCCEEDED(rc)) return;
        const std::string msg = diagnostics(SQL_HANDLE_DBC, dbc_, false);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
        throw Error(msg);
    }

    std::string driverName() {
        SQLCHAR name[512] = {0};
        SQLSMALLINT len = 0;
        if (!SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_DRIVER_NAME, name, sizeof name, &len))) return {};
        return asciiLower(reinterpret_cast<char*>(name));
    }

    std::string currentCatalog() {
        if (wide_) {
            SQLWCHAR w[512] = {0};
            SQLINTEGER len = 0;
            if (!SQL_SUCCEEDED(SQLGetConnectAttrW(dbc_, SQL_ATTR_CURRENT_CATALOG, w, sizeof w, &len))) return {};
            return fromW(w, std::min<size_t>(static_cast<size_t>(std::max<SQLINTEGER>(len, 0)) / sizeof(SQLWCHAR), 511));
        }
        SQLCHAR c[1024] = {0};
        SQLINTEGER len = 0;
        if (!SQL_SUCCEEDED(SQLGetConnectAttr(dbc_, SQL_ATTR_CURRENT_CATALOG, c, sizeof c, &len))) return {};
        return reinterpret_cast<char*>(c);
    }

    // The schema bare names resolve to. ODBC has no call for it; servers without
    // current_schema() leave it empty, and every name of theirs with a schema is qualified.
    std::string currentSchema() {
        try {
            auto buf = query("SELECT current_schema()", {});
            if (buf->rows == 1 && buf->columns.size() == 1 && !buf->columns[0].isNull(0)) return buf->columns[0].valueAt(0).asText();
        } catch (const Error&) {
            // no such function: no default schema
        }
        return {};
    }

    ~OdbcProvider() override {
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }

    void listTables(std::vector<std::string>& list, bool includeSystem) override {
        list.clear();
        CancellableStmt st(*this);
        std::string types = includeSystem ? "TABLE,VIEW,SYSTEM TABLE" : "TABLE,VIEW";
        if (wide_) {
            WString w = toW(types);
            st.check(SQLTablesW(st.h, nullptr, 0, nullptr, 0, nullptr, 0, wptr(w), SQL_NTS));
        } else {
            st.check(SQLTables(st.h, nullptr, 0, nullptr, 0, nullptr, 0, (SQLCHAR*)types.c_str(), SQL_NTS));
        }
        while (fetch(st)) {
            const std::string owner = ownerOf(st), name = st.text(3), type = st.text(4);
            const bool wanted = type == "TABLE" || type == "VIEW" || (includeSystem && type == "SYSTEM TABLE");
            if (!wanted || (!includeSystem && isSystemSchema(owner))) continue;
            list.push_back(listedName(owner, name));
        }
    }

    // Each overload of a name once, with the types of its parameters.
    void listProcedures(std::vector<std::string>& list) override {
        std::vector<std::pair<std::string, std::string>> procs;
        {
            CancellableStmt st(*this);
            st.check(wide_ ? SQLProceduresW(st.h, nullptr, 0, nullptr, 0, nullptr, 0)
                           : SQLProcedures(st.h, nullptr, 0, nullptr, 0, nullptr, 0));
            while (fetch(st)) {
                std::string owner = ownerOf(st), name = st.text(3);
                if (!isSystemSchema(owner)) procs.emplace_back(std::move(owner), std::move(name));
            }
        }
        for (size_t i = 0; i < procs.size(); ++i) {
            const auto& [owner, name] = procs[i];
            const std::string listed = listedName(owner, name);
            if (std::count(procs.begin(), procs.end(), procs[i]) == 1) {
                list.push_back(listed);
                continue;
            }
            if (std::find(procs.begin(), procs.end(), procs[i]) != procs.begin() + static_cast<std::ptrdiff_t>(i)) continue;
            for (const Overload& o : overloads(owner, name)) list.push_back(listed + "(" + o.signature + ")");
        }
    }

    void listFields(const std::string& table, std::vector<std::string>& list) override {
        list.clear();
        const ObjectName object = resolve(table, false);
        CancellableStmt st(*this);
        catalogCall(st, object.owner, object.name, [&](SQLWCHAR* cw, SQLWCHAR* sw, SQLWCHAR* nw, SQLCHAR* c, SQLCHAR* sc, SQLCHAR* n) {
            return wide_ ? SQLColumnsW(st.h, cw, cw ? SQL_NTS : 0, sw, sw ? SQL_NTS : 0, nw, SQL_NTS, nullptr, 0)
                         : SQLColumns(st.h, c, c ? SQL_NTS : 0, sc, sc ? SQL_NTS : 0, n, SQL_NTS, nullptr, 0);
        });
        std::string firstSchema;
        bool first = true;
        while (fetch(st)) {
            const std::string schema = ownerOf(st), name = st.text(3), column = st.text(4);
            if (name != object.name) continue;
            // The same name in several schemas: the first schema's columns only.
            if (first) {
                firstSchema = schema;
                first = false;
            } else if (schema != firstSchema) {
                continue;
            }
            list.push_back(column);
        }
    }

    std::string quoteIdentifier(const std::string& name) override {
        std::string q = quote_;
        for (size_t i = 0; i < name.size(); ++i) {
            if (name.compare(i, quote_.size(), quote_) == 0) q += quote_;
            q += name[i];
        }
        return q + quote_;
    }

    std::unique_ptr<ResultBuffer> query(const std::string& text, const ProgressFn& progress) override {
        auto plain = [&](const std::string& sql) {
            CancellableStmt st(*this);
            return run(st, [&](Stmt& s) {
                if (wide_) {
                    WString w = toW(sql);
                    s.check(SQLExecDirectW(s.h, wptr(w), static_cast<SQLINTEGER>(w.size())));
                } else {
                    s.check(SQLExecDirect(s.h, (SQLCHAR*)sql.c_str(), static_cast<SQLINTEGER>(sql.size())));
                }
            }, progress, true, true);
        };
        if (postgres_)
            if (auto buf = queryWithServerDateTexts(text, plain, [this](const std::string& n) { return quoteIdentifier(n); }))
                return std::move(*buf);
        return plain(text);
    }

    std::string tableReference(const std::string& name) override { return reference(resolve(name, false)); }

    std::unique_ptr<ResultBuffer> callProcedure(const std::string& name, std::vector<Parameter>& params,
                                                const ProgressFn& progress) override {
        const ObjectName object = resolve(name, true);
        const std::string target = reference(object);
        const bool returns = !params.empty() && params[0].Direction == ParameterDirection::ReturnValue;
        auto isOutput = [](const Parameter& p) {
            return p.Direction == ParameterDirection::Output || p.Direction == ParameterDirection::InputOutput;
        };
        if (returns && std::none_of(params.begin() + 1, params.end(), isOutput)) {
            // A function returning one value is selected: the call escape loses its
            // arguments on some drivers (psqlODBC) and its value is then shown as a result
            // named after the function.
            std::vector<Parameter> args(params.begin() + 1, params.end());
            std::string sql = "SELECT " + target + "(";
            for (size_t i = 0; i < args.size(); ++i) sql += i ? ",?" : "?";
            sql += ") AS " + quoteIdentifier(object.name);
            auto buf = call(sql, args, progress);
            if (buf->rows == 1 && buf->columns.size() == 1) params[0].SetValue(buf->columns[0].valueAt(0));
            return buf;
        }
        std::string sql = "{";
        const size_t first = returns ? 1 : 0;
        if (returns) sql += "? = ";
        std::string args = "(";
        for (size_t i = first; i < params.size(); ++i) args += i > first ? ",?" : "?";
        args += ")";
        sql += "call " + target + args + "}";
        try {
            return call(sql, params, progress);
        } catch (const Error& e) {
            // The PostgreSQL driver turns the call escape into a SELECT, which a procedure
            // (as opposed to a function) refuses; those take the server's own CALL.
            if (first != 0 || !std::strstr(e.what(), "is a procedure")) throw;
        }
        return call("CALL " + target + args, params, progress);
    }

    std::unique_ptr<ResultBuffer> call(const std::string& sql, std::vector<Parameter>& params, const ProgressFn& progress) {
        std::vector<ParamBuffer> buffers(params.size());
        CancellableStmt st(*this);
        auto buf = run(st, [&](Stmt& s) {
            prepare(s, sql);
            for (size_t i = 0; i < params.size(); ++i) {
                const Parameter& p = params[i];
                SQLSMALLINT io = SQL_PARAM_INPUT;
                if (p.Direction == ParameterDirection::Output || p.Direction == ParameterDirection::ReturnValue) io = SQL_PARAM_OUTPUT;
                else if (p.Direction == ParameterDirection::InputOutput) io = SQL_PARAM_INPUT_OUTPUT;
                // A typed-in text travels as the parameter's own type, so that the server
                // finds the overload it belongs to.
                Value v = io == SQL_PARAM_OUTPUT ? Value::null() : p.Value();
                if (v.type() == Value::Type::Text && p.Kind != FieldKind::String && p.Kind != FieldKind::Memo)
                    v = valueFromText(p.Kind, v.asText());
                bindValue(s, static_cast<SQLUSMALLINT>(i + 1), v, buffers[i], io, sqlTypeOf(p.Kind),
                          io == SQL_PARAM_INPUT ? 0 : std::max(p.Size, 256), io != SQL_PARAM_INPUT && outputsAsResult_);
            }
            s.check(SQLExecute(s.h));
        }, progress, false, false);
        // Output values arrive once every result of the call has been read; MariaDB's
        // driver hands them over as one more result, which fills the bound buffers when read.
        bool laterResult = false;
        for (;;) {
            const SQLRETURN rc = SQLMoreResults(st.h);
            if (rc == SQL_NO_DATA || !SQL_SUCCEEDED(rc)) break;
            SQLSMALLINT cols = 0;
            SQLNumResultCols(st.h, &cols);
            if (cols > 0) {
                laterResult = true;
                while (SQL_SUCCEEDED(SQLFetch(st.h))) {
                }
            }
        }
        for (size_t i = 0; i < params.size(); ++i) {
            Parameter& p = params[i];
            if (p.Direction == ParameterDirection::Input || p.Direction == ParameterDirection::Unknown) continue;
            const ParamBuffer& b = buffers[i];
            if (b.ind == SQL_NULL_DATA) {
                p.SetValue(Value::null());
                continue;
            }
            const bool wide = wide_ && !outputsAsResult_;
            const size_t unit = wide ? sizeof(SQLWCHAR) : 1;
            size_t units = b.ind == SQL_NO_TOTAL ? b.data.size() / unit : static_cast<size_t>(b.ind) / unit;
            units = std::min(units, b.data.size() / unit - 1);
            std::string text;
            if (wide) text = fromW(reinterpret_cast<const SQLWCHAR*>(b.data.data()), units);
            else text.assign(b.data.data(), units);
            while (!text.empty() && text.back() == 0) text.pop_back();
            p.SetValue(valueFromText(p.Kind, text));
        }
        // When the procedure returned no rows of its own, that result of output values came
        // first; it is not the procedure's.
        if (outputsAsResult_ && !laterResult && onlyOutputs(*buf, params)) return std::make_unique<ResultBuffer>();
        return buf;
    }

    static bool onlyOutputs(const ResultBuffer& buf, const std::vector<Parameter>& params) {
        std::vector<std::string> outputs;
        for (const Parameter& p : params)
            if (p.Direction == ParameterDirection::Output || p.Direction == ParameterDirection::InputOutput)
                outputs.push_back(asciiLower(p.Name));
        if (outputs.empty() || buf.rows != 1 || buf.info.size() != outputs.size()) return false;
        for (size_t i = 0; i < outputs.size(); ++i)
            if (asciiLower(buf.info[i].name) != outputs[i]) return false;
        return true;
    }

    // The parameters of the procedure, of the overload its name gives, or of the first.
    std::vector<Parameter> procedureParameters(const std::string& name) override {
        const ObjectName object = resolve(name, true);
        for (Overload& o : overloads(object.owner, object.name))
            if (!object.hasArgs || o.signature == object.args) return std::move(o.params);
        return {};
    }

    std::vector<std::string> primaryKey(const std::string& schema, const std::string& table) override {
        CancellableStmt st(*this);
        const bool asCatalog = catalogOwners_ && !schema.empty(), asSchema = !catalogOwners_ && !schema.empty();
        if (wide_) {
            WString s = toW(schema), t = toW(table);
            st.check(SQLPrimaryKeysW(st.h, asCatalog ? wptr(s) : nullptr, asCatalog ? SQL_NTS : 0, asSchema ? wptr(s) : nullptr,
                                     asSchema ? SQL_NTS : 0, wptr(t), SQL_NTS));
        } else {
            SQLCHAR* sp = (SQLCHAR*)schema.c_str();
            st.check(SQLPrimaryKeys(st.h, asCatalog ? sp : nullptr, asCatalog ? SQL_NTS : 0, asSchema ? sp : nullptr,
                                    asSchema ? SQL_NTS : 0, (SQLCHAR*)table.c_str(), SQL_NTS));
        }
        std::vector<std::pair<SQLLEN, std::string>> cols;
        while (fetch(st)) {
            const std::string column = st.text(4);
            cols.emplace_back(st.integer(5), column);
        }
        std::sort(cols.begin(), cols.end());
        std::vector<std::string> out;
        for (auto& c : cols) out.push_back(c.second);
        return out;
    }

    void applyChange(const RowChange& change) override {
        std::vector<Value> values;
        const std::string sql = changeSql(*this, change, values);
        SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
        auto endTransaction = [&](SQLSMALLINT how) {
            SQLEndTran(SQL_HANDLE_DBC, dbc_, how);
            SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
        };
        try {
            CancellableStmt st(*this);
            prepare(st, sql);
            std::vector<ParamBuffer> buffers(values.size());
            for (size_t i = 0; i < values.size(); ++i) bindValue(st, static_cast<SQLUSMALLINT>(i + 1), values[i], buffers[i]);
            st.check(SQLExecute(st.h));
            SQLLEN touched = -1;
            st.check(SQLRowCount(st.h, &touched));
            if (touched != 1) throw Error(rowCountMessage(touched));
        } catch (...) {
            endTransaction(SQL_ROLLBACK);
            throw;
        }
        endTransaction(SQL_COMMIT);
    }

    void cancel() override {
        std::lock_guard lock(runningMutex_);
        if (running_ != SQL_NULL_HSTMT) SQLCancel(running_);
    }

private:
    // A statement that a cancel from another thread reaches for as long as it lives. It is
    // unregistered before the handle is freed; nested statements (a catalog call while a
    // name is resolved) give the registration back to the one around them.
    class CancellableStmt : public Stmt {
    public:
        explicit CancellableStmt(OdbcProvider& p) : Stmt(p.dbc_, p.wide_), p_(p) {
            std::lock_guard lock(p_.runningMutex_);
            outer_ = p_.running_;
            p_.running_ = h;
        }
        ~CancellableStmt() {
            std::lock_guard lock(p_.runningMutex_);
            p_.running_ = outer_;
        }
        CancellableStmt(const CancellableStmt&) = delete;
        CancellableStmt& operator=(const CancellableStmt&) = delete;

    private:
        OdbcProvider& p_;
        SQLHSTMT outer_ = SQL_NULL_HSTMT;
    };

    // One overload of a procedure: its parameters and their driver type names.
    struct Overload {
        std::vector<Parameter> params;
        std::string signature;
    };

    // The owner column of a catalog result: the catalog where databases are catalogs.
    std::string ownerOf(Stmt& st) { return catalogOwners_ ? st.text(1) : st.text(2); }

    std::string listedName(const std::string& owner, const std::string& name) const {
        return owner.empty() || owner == defaultOwner_ ? name : owner + "." + name;
    }

    std::string reference(const ObjectName& o) {
        return o.owner.empty() || o.owner == defaultOwner_ ? quoteIdentifier(o.name)
                                                           : quoteIdentifier(o.owner) + "." + quoteIdentifier(o.name);
    }

    // Runs a catalog function restricted to one owner (all when empty) and one name; the
    // owner goes in as catalog or schema as the driver counts it.
    template <typename Fn>
    void catalogCall(Stmt& st, const std::string& owner, const std::string& name, Fn fn) {
        const std::string ownerArg = catalogOwners_ ? owner : escapePattern(owner), pattern = escapePattern(name);
        const bool asCatalog = catalogOwners_ && !owner.empty(), asSchema = !catalogOwners_ && !owner.empty();
        WString wo = toW(ownerArg), wn = toW(pattern);
        std::string no = ownerArg, nn = pattern;
        st.check(fn(asCatalog ? wptr(wo) : nullptr, asSchema ? wptr(wo) : nullptr, wptr(wn),
                    asCatalog ? (SQLCHAR*)no.data() : nullptr, asSchema ? (SQLCHAR*)no.data() : nullptr, (SQLCHAR*)nn.data()));
    }

    bool exists(const std::string& owner, const std::string& name, bool procedure) {
        CancellableStmt st(*this);
        catalogCall(st, owner, name, [&](SQLWCHAR* cw, SQLWCHAR* sw, SQLWCHAR* nw, SQLCHAR* c, SQLCHAR* sc, SQLCHAR* n) {
            if (procedure)
                return wide_ ? SQLProceduresW(st.h, cw, cw ? SQL_NTS : 0, sw, sw ? SQL_NTS : 0, nw, SQL_NTS)
                             : SQLProcedures(st.h, c, c ? SQL_NTS : 0, sc, sc ? SQL_NTS : 0, n, SQL_NTS);
            return wide_ ? SQLTablesW(st.h, cw, cw ? SQL_NTS : 0, sw, sw ? SQL_NTS : 0, nw, SQL_NTS, nullptr, 0)
                         : SQLTables(st.h, c, c ? SQL_NTS : 0, sc, sc ? SQL_NTS : 0, n, SQL_NTS, nullptr, 0);
        });
        while (fetch(st))
            if (st.text(3) == name) return true;
        return false;
    }

    // What a listed name stands for. A dot splits owner and name only where no object of
    // the default owner carries the whole name; else at the first dot naming an existing
    // object, else at the first dot.
    ObjectName resolve(const std::string& text, bool procedure) {
        ObjectName o;
        std::string rest = text;
        const size_t open = rest.find('(');
        if (procedure && open != std::string::npos && rest.back() == ')') {
            o.args = rest.substr(open + 1, rest.size() - open - 2);
            o.hasArgs = true;
            rest.resize(open);
        }
        o.owner = defaultOwner_;
        o.name = rest;
        size_t dot = rest.find('.');
        if (dot == std::string::npos || exists(defaultOwner_, rest, procedure)) return o;
        for (size_t d = dot; d != std::string::npos; d = rest.find('.', d + 1)) {
            if (exists(rest.substr(0, d), rest.substr(d + 1), procedure)) {
                dot = d;
                break;
            }
        }
        o.owner = rest.substr(0, dot);
        o.name = rest.substr(dot + 1);
        return o;
    }

    // The overloads of one name in one owner (the first owner reporting it when empty), in
    // the driver's order; a parameter position not above the one before starts the next.
    std::vector<Overload> overloads(const std::string& owner, const std::string& name) {
        std::vector<Overload> out;
        CancellableStmt st(*this);
        catalogCall(st, owner, name, [&](SQLWCHAR* cw, SQLWCHAR* sw, SQLWCHAR* nw, SQLCHAR* c, SQLCHAR* sc, SQLCHAR* n) {
            return wide_ ? SQLProcedureColumnsW(st.h, cw, cw ? SQL_NTS : 0, sw, sw ? SQL_NTS : 0, nw, SQL_NTS, nullptr, 0)
                         : SQLProcedureColumns(st.h, c, c ? SQL_NTS : 0, sc, sc ? SQL_NTS : 0, n, SQL_NTS, nullptr, 0);
        });
        SQLSMALLINT cols = 0;
        st.check(SQLNumResultCols(st.h, &cols));
        std::string firstOwner;
        bool first = true;
        SQLLEN lastPosition = -1;
        while (fetch(st)) {
            const std::string rowOwner = ownerOf(st), proc = st.text(3), column = st.text(4);
            bool null = false;
            const SQLLEN kind = st.integer(5);
            const SQLLEN type = st.integer(6);
            const std::string typeName = st.text(7);
            const SQLLEN size = st.integer(8, &null);
            const SQLLEN position = cols >= 18 ? st.integer(18) : lastPosition + 1;
            if (proc != name || isSystemSchema(rowOwner) || kind == SQL_RESULT_COL) continue;
            if (first) {
                firstOwner = rowOwner;
                first = false;
            } else if (rowOwner != firstOwner) {
                continue;
            }
            if (out.empty() || position <= lastPosition) out.emplace_back();
            lastPosition = position;
            Parameter p;
            p.Name = column;
            switch (kind) {
            case SQL_PARAM_INPUT: p.Direction = ParameterDirection::Input; break;
            case SQL_PARAM_INPUT_OUTPUT: p.Direction = ParameterDirection::InputOutput; break;
            case SQL_PARAM_OUTPUT: p.Direction = ParameterDirection::Output; break;
            case SQL_RETURN_VALUE: p.Direction = ParameterDirection::ReturnValue; break;
            default: continue;
            }
            p.Kind = odbcKind(static_cast<int>(type), null ? 0 : size);
            p.Size = null ? 0 : static_cast<int>(std::min<SQLLEN>(size, 1 << 30));
            Overload& o = out.back();
            if (p.Direction != ParameterDirection::ReturnValue) o.signature += (o.signature.empty() ? "" : ", ") + typeName;
            o.params.push_back(std::move(p));
        }
        return out;
    }

    void prepare(Stmt& st, const std::string& sql) {
        if (wide_) {
            WString w = toW(sql);
            st.check(SQLPrepareW(st.h, wptr(w), static_cast<SQLINTEGER>(w.size())));
        } else {
            st.check(SQLPrepare(st.h, (SQLCHAR*)sql.c_str(), static_cast<SQLINTEGER>(sql.size())));
        }
    }

    bool fetch(Stmt& st) {
        const SQLRETURN rc = SQLFetch(st.h);
        if (rc == SQL_NO_DATA) return false;
        st.check(rc);
        return true;
    }

    std::string escapePattern(const std::string& s) const {
        if (escape_.empty()) return s;
        std::string out;
        for (char c : s) {
            if (c == '_' || c == '%' || escape_.find(c) != std::string::npos) out += escape_;
            out += c;
        }
        return out;
    }

    // Runs the statement and fetches its whole result. A character value longer than the
    // driver declared (SQLite does not hold texts to their declared size) makes the fetch
    // start over with that column read piecewise, so nothing is cut.
    // A call is never run twice (it may change data): its texts are read piecewise at once.
    template <typename Exec>
    std::unique_ptr<ResultBuffer> run(Stmt& st, Exec exec, const ProgressFn& progress, bool needResult, bool mayRepeat) {
        std::vector<bool> unbound;
        if (!mayRepeat) unbound.assign(4096, true);
        for (int attempt = 0;; ++attempt) {
            bool truncated = false;
            auto buf = fetchAll(st, exec, progress, needResult, unbound, truncated);
            if (!truncated || attempt > 2) return buf;
            SQLFreeStmt(st.h, SQL_CLOSE);
            SQLFreeStmt(st.h, SQL_UNBIND);
            SQLFreeStmt(st.h, SQL_RESET_PARAMS);
        }
    }

    template <typename Exec>
    std::unique_ptr<ResultBuffer> fetchAll(Stmt& st, Exec& exec, const ProgressFn& progress, bool needResult,
                                           std::vector<bool>& unbound, bool& truncated) {
        exec(st);
        SQLSMALLINT cols = 0;
        st.check(SQLNumResultCols(st.h, &cols));
        auto buf = std::make_unique<ResultBuffer>();
        if (cols == 0) {
            if (needResult) throw Error("Command text does not return a result set");
            return buf;
        }
        const size_t n = static_cast<size_t>(cols);
        unbound.resize(std::max(n, unbound.size()), false);
        buf->info.resize(n);
        std::vector<Binding> bind(n);
        size_t rowBytes = 0;
        for (size_t c = 0; c < n; ++c) {
            SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            ColumnInfo& ci = buf->info[c];
            if (wide_) {
                SQLWCHAR name[512];
                st.check(SQLDescribeColW(st.h, static_cast<SQLUSMALLINT>(c + 1), name, 512, &nameLen, &type, &size, &digits, &nullable));
                ci.name = fromW(name, static_cast<size_t>(std::clamp<SQLSMALLINT>(nameLen, 0, 511)));
            } else {
                SQLCHAR name[1024];
                st.check(SQLDescribeCol(st.h, static_cast<SQLUSMALLINT>(c + 1), name, sizeof name, &nameLen, &type, &size, &digits, &nullable));
                ci.name.assign(reinterpret_cast<char*>(name), static_cast<size_t>(std::clamp<SQLSMALLINT>(nameLen, 0, 1023)));
            }
            ci.kind = odbcKind(type, static_cast<int64_t>(size));
            // Some drivers (SQLite's) report a column declared NUMERIC or DECIMAL as a double;
            // its declared type still names it, and its digits are fetched exactly.
            if (ci.kind == FieldKind::Float) {
                const std::string declared = asciiLower(attribute(st, c, SQL_DESC_TYPE_NAME));
                if (declared.find("numeric") != std::string::npos || declared.find("decimal") != std::string::npos)
                    ci.kind = FieldKind::BCD;
            }
            ci.size = (ci.kind == FieldKind::String || ci.kind == FieldKind::Memo) && size < (1u << 30) ? static_cast<int>(size) : 0;
            ci.baseTable = attribute(st, c, SQL_DESC_BASE_TABLE_NAME);
            ci.baseColumn = attribute(st, c, SQL_DESC_BASE_COLUMN_NAME);
            ci.baseSchema = attribute(st, c, catalogOwners_ ? SQL_DESC_CATALOG_NAME : SQL_DESC_SCHEMA_NAME);
            buf->columns.emplace_back(ci.kind);
            Binding& b = bind[c];
            switch (storageFor(ci.kind)) {
            case Storage::Int:
                if (ci.kind == FieldKind::Boolean) { b.cType = SQL_C_BIT; b.width = 1; }
                else if (isDateKind(ci.kind)) { b.cType = SQL_C_CHAR; b.width = kDateTextBytes; }
                else { b.cType = SQL_C_SBIGINT; b.width = 8; }
                break;
            case Storage::Double: b.cType = SQL_C_DOUBLE; b.width = 8; break;
            case Storage::Decimal:
                // Exact decimals travel as their digits: a sign, a point and a leading zero
                // beside the precision. A longer value is read again piecewise.
                b.cType = SQL_C_CHAR;
                if (size == 0 || size > 1000 || unbound[c]) b.bound = false;
                else b.width = static_cast<SQLLEN>(size + 4);
                break;
            case Storage::Text:
                b.cType = wide_ ? SQL_C_WCHAR : SQL_C_CHAR;
                if (size == 0 || size > kMaxBoundChars || unbound[c]) b.bound = false;
                else b.width = static_cast<SQLLEN>(wide_ ? (size + 1) * sizeof(SQLWCHAR) : size * 4 + 1);
                break;
            case Storage::Blob:
                b.cType = SQL_C_BINARY;
                b.bound = false;
                break;
            }
            rowBytes += static_cast<size_t>(b.width) + sizeof(SQLLEN);
        }
        const bool allBound = std::all_of(bind.begin(), bind.end(), [](const Binding& b) { return b.bound; });
        // Piecewise reads need single-row fetches; with the driver's leave, bound columns
        // before them stay bound.
        const bool mixed = !allBound && getDataAnyColumn_;
        if (!allBound && !mixed)
            for (auto& b : bind) b.bound = false;
        const SQLULEN block = allBound ? blockRows(rowBytes) : 1;
        SQLULEN fetched = 0;
        // The bound buffers and the row counter live in this call: the statement forgets
        // them at its end, before a later result (a call's output values) is fetched.
        struct Unbind {
            SQLHSTMT h;
            ~Unbind() {
                SQLFreeStmt(h, SQL_UNBIND);
                SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
                SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
            }
        } unbind{st.h};
        st.check(SQLSetStmtAttr(st.h, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, 0));
        st.check(SQLSetStmtAttr(st.h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(block), 0));
        st.check(SQLSetStmtAttr(st.h, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0));
        for (size_t c = 0; c < n; ++c) {
            Binding& b = bind[c];
            if (!b.bound) continue;
            b.data.resize(static_cast<size_t>(b.width) * block);
            b.ind.resize(block);
            st.check(SQLBindCol(st.h, static_cast<SQLUSMALLINT>(c + 1), b.cType, b.data.data(), b.width, b.ind.data()));
        }
        int64_t rows = 0, nextReport = 4096;
        std::string text;
        for (;;) {
            // Some drivers (MariaDB's, for BIT) leave a non-null value's indicator unwritten:
            // one left from an earlier block would turn the value into a null.
            for (auto& b : bind) std::fill(b.ind.begin(), b.ind.end(), 0);
            const SQLRETURN rc = SQLFetchScroll(st.h, SQL_FETCH_NEXT, 0);
            if (rc == SQL_NO_DATA) break;
            st.check(rc);
            if (block == 1) fetched = 1;
            for (size_t c = 0; c < n; ++c) {
                ColumnData& col = buf->columns[c];
                Binding& b = bind[c];
                if (!b.bound) {
                    readPiecewise(st, static_cast<SQLUSMALLINT>(c + 1), b.cType, col, text);
                    continue;
                }
                const char* base = b.data.data();
                for (SQLULEN r = 0; r < fetched; ++r) {
                    const SQLLEN ind = b.ind[r];
                    if (ind == SQL_NULL_DATA) {
                        col.appendNull();
                        continue;
                    }
                    const char* p = base + r * static_cast<size_t>(b.width);
                    switch (b.cType) {
                    case SQL_C_BIT: col.appendInt(*reinterpret_cast<const unsigned char*>(p) ? 1 : 0); break;
                    case SQL_C_SBIGINT: col.appendInt(*reinterpret_cast<const SQLBIGINT*>(p)); break;
                    case SQL_C_DOUBLE: col.appendDouble(*reinterpret_cast<const double*>(p)); break;
                    default: {
                        if (ind == SQL_NO_TOTAL || ind >= b.width) {
                            truncated = true;
                            unbound[c] = true;
                            return buf;
                        }
                        if (b.cType == SQL_C_WCHAR) {
                            text.clear();
                            appendUtf8(text, reinterpret_cast<const SQLWCHAR*>(p), static_cast<size_t>(ind) / sizeof(SQLWCHAR));
                            col.appendText(text);
                        } else {
                            col.appendText(p, static_cast<size_t>(ind));
                        }
                    }
                    }
                }
            }
            rows += static_cast<int64_t>(fetched);
            if (progress && rows >= nextReport) {
                nextReport = rows + 4096;
                if (!progress(rows)) {
                    SQLCancel(st.h);
                    throw Error("Operation cancelled");
                }
            }
        }
        buf->rows = rows;
        buf->shrink();
        if (progress && !progress(rows)) throw Error("Operation cancelled");
        return buf;
    }

    void readPiecewise(Stmt& st, SQLUSMALLINT col, SQLSMALLINT cType, ColumnData& out, std::string& text) {
        if (cType == SQL_C_WCHAR || cType == SQL_C_CHAR) {
            bool null = false;
            std::string t = st.text(col, &null);
            if (null) out.appendNull();
            else out.appendText(t);
            return;
        }
        std::string bytes;
        char chunk[8192];
        for (;;) {
            SQLLEN ind = 0;
            const SQLRETURN rc = SQLGetData(st.h, col, SQL_C_BINARY, chunk, sizeof chunk, &ind);
            if (rc == SQL_NO_DATA) break;
            st.check(rc);
            if (ind == SQL_NULL_DATA) {
                out.appendNull();
                return;
            }
            const size_t got = (ind == SQL_NO_TOTAL || ind > static_cast<SQLLEN>(sizeof chunk)) ? sizeof chunk : static_cast<size_t>(ind);
            bytes.append(chunk, got);
            if (rc == SQL_SUCCESS) break;
        }
        (void)text;
        out.appendText(bytes);
    }

    std::string attribute(Stmt& st, size_t c, SQLUSMALLINT field) {
        SQLSMALLINT len = 0;
        if (wide_) {
            SQLWCHAR buf[512] = {0};
            if (!SQL_SUCCEEDED(SQLColAttributeW(st.h, static_cast<SQLUSMALLINT>(c + 1), field, buf, sizeof buf, &len, nullptr)))
                return {};
            return fromW(buf, std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(len, 0)) / sizeof(SQLWCHAR), 511));
        }
        SQLCHAR buf[1024] = {0};
        if (!SQL_SUCCEEDED(SQLColAttribute(st.h, static_cast<SQLUSMALLINT>(c + 1), field, buf, sizeof buf, &len, nullptr)))
            return {};
        return std::string(reinterpret_cast<char*>(buf), std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(len, 0)), 1023));
    }

    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    std::mutex runningMutex_;
    SQLHSTMT running_ = SQL_NULL_HSTMT;
    std::string quote_ = "\"";
    std::string escape_;
    std::string defaultOwner_;     // the schema (or catalog) whose objects go by their bare names
    bool catalogOwners_ = false;   // databases are catalogs and qualify names (MariaDB, MySQL)
    bool outputsAsResult_ = false;  // MariaDB, MySQL
    bool postgres_ = false;         // psqlODBC: dates read as the server's texts
    bool getDataAnyColumn_ = false;
    bool wide_ = true;
};

} // namespace

FieldKind odbcKind(int sqlType, int64_t size) {
    switch (sqlType) {
    case SQL_CHAR: case SQL_VARCHAR: case SQL_WCHAR: case SQL_WVARCHAR: case SQL_GUID:
        return FieldKind::String;
    case SQL_LONGVARCHAR: case SQL_WLONGVARCHAR:
        return size <= 0 || size > 65536 ? FieldKind::Memo : FieldKind::String;
    case SQL_TINYINT: case SQL_SMALLINT: return FieldKind::SmallInt;
    case SQL_INTEGER: return FieldKind::Integer;
    case SQL_BIGINT: return FieldKind::LargeInt;
    case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE: return FieldKind::Float;
    case SQL_NUMERIC: case SQL_DECIMAL: return FieldKind::BCD;
    case SQL_BIT: return FieldKind::Boolean;
    case SQL_TYPE_DATE: case SQL_DATE: return FieldKind::Date;
    case SQL_TYPE_TIME: case SQL_TIME: return FieldKind::Time;
    case SQL_TYPE_TIMESTAMP: case SQL_TIMESTAMP: return FieldKind::DateTime;
    case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY: return FieldKind::Blob;
    default: return FieldKind::String;
    }
}

std::unique_ptr<Provider> openOdbcProvider(const std::string& connectionString) {
    return std::make_unique<OdbcProvider>(connectionString);
}

} // namespace rg
