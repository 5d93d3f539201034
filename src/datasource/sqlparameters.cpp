#include "datasource/sqlparameters.h"

#include "common/datepresets.h"
#include "common/datetime.h"
#include "common/decimal.h"
#include "common/error.h"

#include <algorithm>
#include <cctype>

namespace rg {
namespace {

const std::vector<SqlParameterTypeName> kTypes = {
    {SqlParameterType::Date, "date", "日期"},
    {SqlParameterType::DateTime, "datetime", "日期时间"},
    {SqlParameterType::Number, "number", "数字"},
    {SqlParameterType::Text, "text", "文本"},
    {SqlParameterType::List, "list", "列表"},
};

bool nameStart(unsigned char c) {
    return c >= 0x80 || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool namePart(unsigned char c) {
    return nameStart(c) || (c >= '0' && c <= '9');
}

// Walks the text, calling `use(at, length)` for each `:name` outside literals, quoted names
// and comments.
template <typename Use> void scan(std::string_view s, bool mysql, Use use) {
    const size_t n = s.size();
    size_t i = 0;
    auto skipQuoted = [&](char q, bool escapes) {
        for (++i; i < n; ++i) {
            if (escapes && s[i] == '\\') {
                ++i;
                continue;
            }
            if (s[i] == q) {
                ++i;
                return;
            }
        }
    };
    while (i < n) {
        const char c = s[i];
        const bool afterName = i > 0 && namePart(static_cast<unsigned char>(s[i - 1]));
        if (c == '\'' || c == '"') {
            // PostgreSQL's E'...' reads backslashes as escapes, as MariaDB's literals do.
            const bool e = i > 0 && (s[i - 1] == 'E' || s[i - 1] == 'e') &&
                           !(i > 1 && namePart(static_cast<unsigned char>(s[i - 2])));
            skipQuoted(c, mysql || (c == '\'' && e));
        } else if (c == '`') {
            skipQuoted('`', false);
        } else if ((c == '-' && i + 1 < n && s[i + 1] == '-') || (mysql && c == '#')) {
            i = s.find('\n', i);
            i = i == std::string_view::npos ? n : i + 1;
        } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            // PostgreSQL nests block comments.
            int depth = 0;
            do {
                if (s.compare(i, 2, "/*") == 0) {
                    ++depth;
                    i += 2;
                } else if (s.compare(i, 2, "*/") == 0) {
                    --depth;
                    i += 2;
                } else {
                    ++i;
                }
            } while (i < n && depth > 0 && (!mysql || depth == 1));
        } else if (c == '$' && !mysql && !afterName) {
            // A dollar-quoted string: $$...$$ or $tag$...$tag$.
            size_t j = i + 1;
            while (j < n && namePart(static_cast<unsigned char>(s[j])) && s[j] != '$')
                ++j;
            if (j < n && s[j] == '$' &&
                (j == i + 1 || !std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
                const std::string_view tag = s.substr(i, j - i + 1);
                const size_t end = s.find(tag, j + 1);
                i = end == std::string_view::npos ? n : end + tag.size();
            } else {
                i = j;
            }
        } else if (c == ':' && i + 1 < n && s[i + 1] == ':') {
            i += 2; // a cast: the type name follows
        } else if (c == ':' && i + 1 < n && nameStart(static_cast<unsigned char>(s[i + 1]))) {
            size_t j = i + 1;
            while (j < n && namePart(static_cast<unsigned char>(s[j])))
                ++j;
            use(i, j - i);
            i = j;
        } else {
            ++i;
        }
    }
}

const SqlParameter* find(const std::vector<SqlParameter>& params, const std::string& name) {
    for (const SqlParameter& p : params)
        if (p.name == name)
            return &p;
    return nullptr;
}

const std::string* givenText(const ParameterTexts& given, const std::string& name) {
    for (const auto& [n, text] : given)
        if (n == name)
            return &text;
    return nullptr;
}

[[noreturn]] void refuse(const SqlParameter& p, const std::string& why) {
    throw Error("参数“" + p.name + "”" + why);
}

constexpr int64_t kDayZero = -25569; // 1899-12-30, the day 0 of date values

Value dateValue(const SqlParameter& p, int64_t day) {
    const Value::Type t =
        p.type == SqlParameterType::DateTime ? Value::Type::DateTime : Value::Type::Date;
    return Value::fromMicros(t, (day - kDayZero) * kMicrosPerDay);
}

// A value as typed for one parameter.
Value typedValue(const SqlParameter& p, const std::string& text) {
    switch (p.type) {
    case SqlParameterType::Date:
        if (const auto day = parseIsoDay(text))
            return dateValue(p, *day);
        refuse(p, "的值“" + text + "”不是日期（应为 yyyy-MM-dd 或 @预设）");
    case SqlParameterType::DateTime:
        if (const auto us = parseDateTimeMicros(text))
            return Value::fromMicros(Value::Type::DateTime, *us);
        if (const auto day = parseIsoDay(text))
            return dateValue(p, *day);
        refuse(p, "的值“" + text + "”不是日期时间（应为 yyyy-MM-dd hh:mm:ss 或 @预设）");
    case SqlParameterType::Number: {
        const std::optional<Decimal> d = Decimal::parse(text);
        if (!d)
            refuse(p, "的值“" + text + "”不是数字");
        // Whole numbers travel as integers, which every driver compares as numbers.
        if (d->scale == 0 && d->mantissa >= INT64_MIN && d->mantissa <= INT64_MAX)
            return Value::fromInt(static_cast<int64_t>(d->mantissa));
        return Value::fromDecimal(*d);
    }
    case SqlParameterType::List:
        if (!p.listValues.empty() &&
            std::find(p.listValues.begin(), p.listValues.end(), text) == p.listValues.end())
            refuse(p, "的值“" + text + "”不在列表中");
        return Value::fromText(text);
    case SqlParameterType::Text:
        break;
    }
    return Value::fromText(text);
}

bool isDate(const SqlParameter& p) {
    return p.type == SqlParameterType::Date || p.type == SqlParameterType::DateTime;
}

const SqlParameter* rangeStartOf(const std::vector<SqlParameter>& params, const std::string& end) {
    for (const SqlParameter& p : params)
        if (!p.rangeEnd.empty() && p.rangeEnd == end && isDate(p))
            return &p;
    return nullptr;
}

// The text a parameter takes: given, else the period its range start takes, else its
// default. Empty: none.
std::string textFor(const std::vector<SqlParameter>& params, const SqlParameter& p,
                    const ParameterTexts& given) {
    if (const std::string* t = givenText(given, p.name))
        return *t;
    if (const SqlParameter* start = rangeStartOf(params, p.name)) {
        const std::string* t = givenText(given, start->name);
        const std::string& startText = t ? *t : start->defaultValue;
        const std::optional<DatePreset> preset = startText.size() > 1 && startText.front() == '@'
                                                     ? DatePreset::parse(startText.substr(1))
                                                     : std::nullopt;
        if (preset && preset->range())
            return startText;
    }
    return p.defaultValue;
}

} // namespace

const std::vector<SqlParameterTypeName>& SqlParameterTypes() {
    return kTypes;
}

const SqlParameterTypeName& sqlParameterTypeName(SqlParameterType type) {
    for (const SqlParameterTypeName& t : kTypes)
        if (t.type == type)
            return t;
    return kTypes.back();
}

std::optional<SqlParameterType> sqlParameterTypeFromKey(std::string_view key) {
    for (const SqlParameterTypeName& t : kTypes)
        if (key == t.key)
            return t.type;
    return std::nullopt;
}

std::vector<std::string> sqlParameterNames(std::string_view sql, bool backslashEscapes) {
    std::vector<std::string> names;
    scan(sql, backslashEscapes, [&](size_t at, size_t len) {
        std::string name(sql.substr(at + 1, len - 1));
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
    });
    return names;
}

std::string bindableSql(std::string_view sql, bool backslashEscapes,
                        std::vector<std::string>& order) {
    std::string out;
    size_t copied = 0;
    order.clear();
    scan(sql, backslashEscapes, [&](size_t at, size_t len) {
        out.append(sql.substr(copied, at - copied));
        out += '?';
        order.emplace_back(sql.substr(at + 1, len - 1));
        copied = at + len;
    });
    out.append(sql.substr(copied));
    return out;
}

std::vector<SqlParameter> parametersOfSql(std::string_view sql,
                                          const std::vector<SqlParameter>& saved,
                                          bool backslashEscapes) {
    std::vector<SqlParameter> params;
    for (const std::string& name : sqlParameterNames(sql, backslashEscapes)) {
        const SqlParameter* s = find(saved, name);
        params.push_back(s ? *s : SqlParameter{name, SqlParameterType::Text, {}, {}, {}, {}});
    }
    return params;
}

std::vector<std::string> missingParameters(const std::vector<SqlParameter>& params,
                                           const ParameterTexts& given) {
    std::vector<std::string> missing;
    for (const SqlParameter& p : params)
        if (textFor(params, p, given).empty())
            missing.push_back(p.name);
    return missing;
}

ResolvedParameters resolveParameters(const std::vector<SqlParameter>& params,
                                     const ParameterTexts& given, int64_t asOfDay) {
    for (const auto& [name, text] : given)
        if (!find(params, name))
            throw Error("报表没有参数“" + name + "”");
    ResolvedParameters r;
    std::vector<std::string> texts;
    for (const SqlParameter& p : params) {
        const std::string text = textFor(params, p, given);
        if (text.empty())
            refuse(p, "没有值");
        if (text.front() != '@' || !isDate(p)) {
            r.values.emplace_back(p.name, typedValue(p, text));
            texts.push_back(text);
            continue;
        }
        const std::optional<DatePreset> preset = DatePreset::parse(text.substr(1));
        if (!preset)
            refuse(p, "的预设“" + text.substr(1) + "”不存在");
        const DayPeriod period = preset->periodAsOf(asOfDay);
        const bool start = !p.rangeEnd.empty(), end = rangeStartOf(params, p.name) != nullptr;
        if (preset->range() && !start && !end)
            refuse(p, "不是日期区间的一端，不能用期间“" + preset->text() + "”");
        const int64_t day = end && !start ? period.last : period.first;
        r.values.emplace_back(p.name, dateValue(p, day));
        texts.push_back(isoDayText(day));
    }
    // A range is said once, where its start is, as the period both ends make.
    auto dayOf = [&](size_t i) -> std::optional<int64_t> {
        const Value& v = r.values[i].second;
        if (v.type() != Value::Type::Date && v.type() != Value::Type::DateTime)
            return std::nullopt;
        const int64_t us = v.micros();
        if (us % kMicrosPerDay != 0)
            return std::nullopt;
        return us / kMicrosPerDay + kDayZero;
    };
    for (size_t i = 0; i < params.size(); ++i) {
        const SqlParameter& p = params[i];
        std::string caption = p.name + "：" + texts[i];
        if (rangeStartOf(params, p.name))
            continue;
        for (size_t j = 0; j < params.size() && !p.rangeEnd.empty(); ++j)
            if (params[j].name == p.rangeEnd && dayOf(i) && dayOf(j))
                caption = periodCaption({*dayOf(i), *dayOf(j)});
        r.caption += (r.caption.empty() ? "" : "，") + caption;
    }
    return r;
}

} // namespace rg
