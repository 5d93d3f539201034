#include "datasource/odbcprovider.h"

#include "common/asciicase.h"

#include <algorithm>

namespace rg {

using namespace odbc;

namespace {

// The server's own schemas (PostgreSQL) and databases (MariaDB and MySQL, whose driver
// reports databases as catalogs).
bool isSystemSchema(const std::string& schema) {
    const std::string s = asciiLower(schema);
    return s == "pg_catalog" || s == "information_schema" || s == "sys" || s == "pg_toast" ||
           s.rfind("pg_temp_", 0) == 0 || s.rfind("pg_toast_temp_", 0) == 0 || s == "mysql" ||
           s == "performance_schema";
}

} // namespace

// Runs a catalog function restricted to one owner (all when empty) and one name; the
// owner goes in as catalog or schema as the driver counts it.
template <typename Fn>
void OdbcProvider::catalogCall(Stmt& st, const std::string& owner, const std::string& name, Fn fn) {
    const std::string ownerArg = catalogOwners_ ? owner : escapePattern(owner),
                      pattern = escapePattern(name);
    const bool asCatalog = catalogOwners_ && !owner.empty(),
               asSchema = !catalogOwners_ && !owner.empty();
    WString wo = toW(ownerArg), wn = toW(pattern);
    std::string no = ownerArg, nn = pattern;
    st.check(fn(asCatalog ? wptr(wo) : nullptr, asSchema ? wptr(wo) : nullptr, wptr(wn),
                asCatalog ? (SQLCHAR*)no.data() : nullptr, asSchema ? (SQLCHAR*)no.data() : nullptr,
                (SQLCHAR*)nn.data()));
}

void OdbcProvider::listTables(std::vector<std::string>& list, bool includeSystem) {
    list.clear();
    CancellableStmt st(*this);
    std::string types = includeSystem ? "TABLE,VIEW,SYSTEM TABLE" : "TABLE,VIEW";
    if (wide_) {
        WString w = toW(types);
        st.check(SQLTablesW(st.h, nullptr, 0, nullptr, 0, nullptr, 0, wptr(w), SQL_NTS));
    } else {
        st.check(
            SQLTables(st.h, nullptr, 0, nullptr, 0, nullptr, 0, (SQLCHAR*)types.c_str(), SQL_NTS));
    }
    while (fetch(st)) {
        const std::string owner = ownerOf(st), name = st.text(3), type = st.text(4);
        const bool wanted =
            type == "TABLE" || type == "VIEW" || (includeSystem && type == "SYSTEM TABLE");
        if (!wanted || (!includeSystem && isSystemSchema(owner)))
            continue;
        list.push_back(listedName(owner, name));
    }
}

// Each overload of a name once, with the types of its parameters.
void OdbcProvider::listProcedures(std::vector<std::string>& list) {
    std::vector<std::pair<std::string, std::string>> procs;
    {
        CancellableStmt st(*this);
        st.check(wide_ ? SQLProceduresW(st.h, nullptr, 0, nullptr, 0, nullptr, 0)
                       : SQLProcedures(st.h, nullptr, 0, nullptr, 0, nullptr, 0));
        while (fetch(st)) {
            std::string owner = ownerOf(st), name = st.text(3);
            if (!isSystemSchema(owner))
                procs.emplace_back(std::move(owner), std::move(name));
        }
    }
    for (size_t i = 0; i < procs.size(); ++i) {
        const auto& [owner, name] = procs[i];
        const std::string listed = listedName(owner, name);
        if (std::count(procs.begin(), procs.end(), procs[i]) == 1) {
            list.push_back(listed);
            continue;
        }
        if (std::find(procs.begin(), procs.end(), procs[i]) !=
            procs.begin() + static_cast<std::ptrdiff_t>(i))
            continue;
        for (const Overload& o : overloads(owner, name))
            list.push_back(listed + "(" + o.signature + ")");
    }
}

void OdbcProvider::listFields(const std::string& table, std::vector<std::string>& list) {
    list.clear();
    const ObjectName object = resolve(table, false);
    CancellableStmt st(*this);
    catalogCall(st, object.owner, object.name,
                [&](SQLWCHAR* cw, SQLWCHAR* sw, SQLWCHAR* nw, SQLCHAR* c, SQLCHAR* sc, SQLCHAR* n) {
                    return wide_ ? SQLColumnsW(st.h, cw, cw ? SQL_NTS : 0, sw, sw ? SQL_NTS : 0, nw,
                                               SQL_NTS, nullptr, 0)
                                 : SQLColumns(st.h, c, c ? SQL_NTS : 0, sc, sc ? SQL_NTS : 0, n,
                                              SQL_NTS, nullptr, 0);
                });
    std::string firstSchema;
    bool first = true;
    while (fetch(st)) {
        const std::string schema = ownerOf(st), name = st.text(3), column = st.text(4);
        if (name != object.name)
            continue;
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

std::string OdbcProvider::quoteIdentifier(const std::string& name) {
    std::string q = quote_;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name.compare(i, quote_.size(), quote_) == 0)
            q += quote_;
        q += name[i];
    }
    return q + quote_;
}

std::string OdbcProvider::tableReference(const std::string& name) {
    return reference(resolve(name, false));
}

// The parameters of the procedure, of the overload its name gives, or of the first.
std::vector<Parameter> OdbcProvider::procedureParameters(const std::string& name) {
    const ObjectName object = resolve(name, true);
    for (Overload& o : overloads(object.owner, object.name))
        if (!object.hasArgs || o.signature == object.args)
            return std::move(o.params);
    return {};
}

std::vector<std::string> OdbcProvider::primaryKey(const std::string& schema,
                                                  const std::string& table) {
    CancellableStmt st(*this);
    const bool asCatalog = catalogOwners_ && !schema.empty(),
               asSchema = !catalogOwners_ && !schema.empty();
    if (wide_) {
        WString s = toW(schema), t = toW(table);
        st.check(SQLPrimaryKeysW(st.h, asCatalog ? wptr(s) : nullptr, asCatalog ? SQL_NTS : 0,
                                 asSchema ? wptr(s) : nullptr, asSchema ? SQL_NTS : 0, wptr(t),
                                 SQL_NTS));
    } else {
        SQLCHAR* sp = (SQLCHAR*)schema.c_str();
        st.check(SQLPrimaryKeys(st.h, asCatalog ? sp : nullptr, asCatalog ? SQL_NTS : 0,
                                asSchema ? sp : nullptr, asSchema ? SQL_NTS : 0,
                                (SQLCHAR*)table.c_str(), SQL_NTS));
    }
    std::vector<std::pair<SQLLEN, std::string>> cols;
    while (fetch(st)) {
        const std::string column = st.text(4);
        cols.emplace_back(st.integer(5), column);
    }
    std::sort(cols.begin(), cols.end());
    std::vector<std::string> out;
    for (auto& c : cols)
        out.push_back(c.second);
    return out;
}

// The owner column of a catalog result: the catalog where databases are catalogs.
std::string OdbcProvider::ownerOf(Stmt& st) {
    return catalogOwners_ ? st.text(1) : st.text(2);
}

std::string OdbcProvider::listedName(const std::string& owner, const std::string& name) const {
    return owner.empty() || owner == defaultOwner_ ? name : owner + "." + name;
}

std::string OdbcProvider::reference(const ObjectName& o) {
    return o.owner.empty() || o.owner == defaultOwner_
               ? quoteIdentifier(o.name)
               : quoteIdentifier(o.owner) + "." + quoteIdentifier(o.name);
}

bool OdbcProvider::exists(const std::string& owner, const std::string& name, bool procedure) {
    CancellableStmt st(*this);
    catalogCall(st, owner, name,
                [&](SQLWCHAR* cw, SQLWCHAR* sw, SQLWCHAR* nw, SQLCHAR* c, SQLCHAR* sc, SQLCHAR* n) {
                    if (procedure)
                        return wide_ ? SQLProceduresW(st.h, cw, cw ? SQL_NTS : 0, sw,
                                                      sw ? SQL_NTS : 0, nw, SQL_NTS)
                                     : SQLProcedures(st.h, c, c ? SQL_NTS : 0, sc, sc ? SQL_NTS : 0,
                                                     n, SQL_NTS);
                    return wide_ ? SQLTablesW(st.h, cw, cw ? SQL_NTS : 0, sw, sw ? SQL_NTS : 0, nw,
                                              SQL_NTS, nullptr, 0)
                                 : SQLTables(st.h, c, c ? SQL_NTS : 0, sc, sc ? SQL_NTS : 0, n,
                                             SQL_NTS, nullptr, 0);
                });
    while (fetch(st))
        if (st.text(3) == name)
            return true;
    return false;
}

// What a listed name stands for. A dot splits owner and name only where no object of
// the default owner carries the whole name; else at the first dot naming an existing
// object, else at the first dot.
OdbcProvider::ObjectName OdbcProvider::resolve(const std::string& text, bool procedure) {
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
    if (dot == std::string::npos || exists(defaultOwner_, rest, procedure))
        return o;
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
std::vector<OdbcProvider::Overload> OdbcProvider::overloads(const std::string& owner,
                                                            const std::string& name) {
    std::vector<Overload> out;
    CancellableStmt st(*this);
    catalogCall(st, owner, name,
                [&](SQLWCHAR* cw, SQLWCHAR* sw, SQLWCHAR* nw, SQLCHAR* c, SQLCHAR* sc, SQLCHAR* n) {
                    return wide_ ? SQLProcedureColumnsW(st.h, cw, cw ? SQL_NTS : 0, sw,
                                                        sw ? SQL_NTS : 0, nw, SQL_NTS, nullptr, 0)
                                 : SQLProcedureColumns(st.h, c, c ? SQL_NTS : 0, sc,
                                                       sc ? SQL_NTS : 0, n, SQL_NTS, nullptr, 0);
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
        if (proc != name || isSystemSchema(rowOwner) || kind == SQL_RESULT_COL)
            continue;
        if (first) {
            firstOwner = rowOwner;
            first = false;
        } else if (rowOwner != firstOwner) {
            continue;
        }
        if (out.empty() || position <= lastPosition)
            out.emplace_back();
        lastPosition = position;
        Parameter p;
        p.Name = column;
        switch (kind) {
        case SQL_PARAM_INPUT:
            p.Direction = ParameterDirection::Input;
            break;
        case SQL_PARAM_INPUT_OUTPUT:
            p.Direction = ParameterDirection::InputOutput;
            break;
        case SQL_PARAM_OUTPUT:
            p.Direction = ParameterDirection::Output;
            break;
        case SQL_RETURN_VALUE:
            p.Direction = ParameterDirection::ReturnValue;
            break;
        default:
            continue;
        }
        p.Kind = odbcKind(static_cast<int>(type), null ? 0 : size);
        p.Size = null ? 0 : static_cast<int>(std::min<SQLLEN>(size, 1 << 30));
        Overload& o = out.back();
        if (p.Direction != ParameterDirection::ReturnValue)
            o.signature += (o.signature.empty() ? "" : ", ") + typeName;
        o.params.push_back(std::move(p));
    }
    return out;
}

bool OdbcProvider::fetch(Stmt& st) {
    const SQLRETURN rc = SQLFetch(st.h);
    if (rc == SQL_NO_DATA)
        return false;
    st.check(rc);
    return true;
}

std::string OdbcProvider::escapePattern(const std::string& s) const {
    if (escape_.empty())
        return s;
    std::string out;
    for (char c : s) {
        if (c == '_' || c == '%' || escape_.find(c) != std::string::npos)
            out += escape_;
        out += c;
    }
    return out;
}

} // namespace rg
