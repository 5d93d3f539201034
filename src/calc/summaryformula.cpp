#include "calc/summaryformula.h"

#include "calc/calctokens.h"
#include "common/asciicase.h"
#include "datasource/resultbuffer.h"

namespace rg {

const char* aggregateName(AggregateKind kind) {
    switch (kind) {
    case AggregateKind::Sum:
        return "SUM";
    case AggregateKind::Count:
        return "COUNT";
    case AggregateKind::Avg:
        return "AVG";
    case AggregateKind::Min:
        return "MIN";
    default:
        return "MAX";
    }
}

SummaryExpression::SummaryExpression(std::string_view text, const std::vector<CalcInput>& fields)
    : expr_(text, fields, &aggregates_) {}

ColumnData SummaryExpression::evaluate(const std::vector<const ColumnData*>& columns,
                                       int64_t rows) {
    return expr_.evaluate(columns, rows);
}

// Token by token: the expression has been read by SummaryExpression, so only what a
// spreadsheet computes alike passes, and the parentheses stay where they were.
std::optional<std::string>
SpreadsheetFormula(std::string_view text, const std::vector<CalcInput>& fields,
                   const std::function<std::optional<std::string>(AggregateKind, int)>& cellOf) {
    using calc::Tok;
    std::vector<calc::Token> tokens;
    try {
        SummaryExpression check(text, fields);
        tokens = calc::tokenize(text);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    std::string out;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const calc::Token& t = tokens[i];
        switch (t.kind) {
        case Tok::End:
            break;
        case Tok::Number:
        case Tok::LParen:
        case Tok::RParen:
        case Tok::Comma:
            out += t.text;
            break;
        case Tok::Op:
            if (t.text.size() != 1 || std::string_view("+-*/").find(t.text) == std::string::npos)
                return std::nullopt;
            out += t.text;
            break;
        case Tok::Name: {
            if (equalsIgnoringCase(t.text, "ROUND") || equalsIgnoringCase(t.text, "ABS")) {
                out += equalsIgnoringCase(t.text, "ROUND") ? "ROUND" : "ABS";
                break;
            }
            std::optional<AggregateKind> kind;
            for (const AggregateKind k :
                 {AggregateKind::Sum, AggregateKind::Count, AggregateKind::Avg, AggregateKind::Min,
                  AggregateKind::Max})
                if (equalsIgnoringCase(t.text, aggregateName(k)))
                    kind = k;
            if (!kind || i + 3 >= tokens.size())
                return std::nullopt;
            const calc::Token& arg = tokens[i + 2];
            const int field = arg.kind == Tok::Op ? -1 : calc::findInput(fields, arg.text);
            const std::optional<std::string> cell = cellOf(*kind, field);
            if (!cell)
                return std::nullopt;
            out += *cell;
            i += 3; // ( field )
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return "IFERROR(" + out + ",\"\")";
}

} // namespace rg
