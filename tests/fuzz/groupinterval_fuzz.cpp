// Group intervals by the names a setup's [GroupIntervals] and [CrossTable], the interval
// menu and --group-by give them ("月", "区间100"). A name is refused with a message or read
// as an interval whose own name reads back as it; every value then falls into an interval
// that starts at or before it and whose start falls into the same interval again.

#include "common/datetime.h"
#include "common/displaytext.h"
#include "common/error.h"
#include "common/value.h"
#include "fuzzsupport.h"
#include "grid/groupinterval.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

using namespace rg;
using rgfuzz::require;

namespace {

std::vector<Value> sampleValues() {
    using L = std::numeric_limits<double>;
    std::vector<Value> v = {Value::null(), Value::fromBool(true), Value::fromText("区间5")};
    for (const int64_t i :
         {int64_t{0}, int64_t{-1}, int64_t{7}, int64_t{9007199254740993},
          std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()})
        v.push_back(Value::fromInt(i));
    for (const double d : {0.3, -0.0, -120.5, 1e300, -1e300, L::denorm_min(), L::max(),
                           L::infinity(), -L::infinity(), L::quiet_NaN()})
        v.push_back(Value::fromDouble(d));
    for (const char* text : {"12.30", "-99999999.99", "123456789012345678901234567890.5"})
        if (const auto n = exactNumber(text))
            v.push_back(*n);
    for (const int64_t us :
         {int64_t{0}, kMicrosPerDay * 45000 + 1, -kMicrosPerDay * 693593, kFirstDateMicros,
          kLastDateMicros, kInfinityMicros, kMinusInfinityMicros, kLastDateMicros + 1}) {
        v.push_back(
            Value::fromMicros(Value::Type::Date, isDateMicros(us) ? us - us % kMicrosPerDay : us));
        v.push_back(Value::fromMicros(Value::Type::DateTime, us));
    }
    return v;
}

void checkKeys(const IntervalSpec& spec, const std::vector<Value>& values) {
    for (const Value& v : values) {
        const Value key = intervalKey(v, spec);
        intervalText(key, spec);
        if (spec.kind == GroupInterval::None || v.isNull()) {
            require(key == v, "a value without an interval is its own group");
            continue;
        }
        require(intervalKey(key, spec) == key, "an interval's start falls into it");
        const bool date = v.type() == Value::Type::Date || v.type() == Value::Type::DateTime;
        const bool number = v.isNumber() && v.type() != Value::Type::Bool;
        if ((spec.kind == GroupInterval::Range) != number && !date)
            continue;
        if (spec.kind != GroupInterval::Range && date && isDateMicros(v.micros()))
            require(key.type() == Value::Type::Date && key.micros() <= v.micros(),
                    "a date's interval is a day at or before it");
        if (spec.kind != GroupInterval::Range || !number)
            continue;
        // A value within the division's rounding of a bound opens the range there.
        const double x = v.asDouble(), start = key.asDouble(), w = spec.width;
        const double slack = 1e-12 * std::max(std::abs(x), w);
        if (std::isfinite(x) && std::isfinite(start))
            require(start - x <= slack && x - start < w + slack, "a number lies in its range");
    }
}

} // namespace

// The input is the name; each further line is one more value for the intervals, a number.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<Value> samples = sampleValues();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t line = input.find('\n');
    const std::string_view name = input.substr(0, line);
    IntervalSpec spec;
    try {
        spec = parseInterval(name);
    } catch (const Error&) {
        return 0;
    }
    require(spec.kind != GroupInterval::Range || (std::isfinite(spec.width) && spec.width > 0),
            "a range has a finite width above zero");
    require(parseInterval(intervalName(spec)) == spec, "an interval's name reads back as it");
    std::vector<Value> values = samples;
    for (size_t at = line; at != std::string_view::npos && at < input.size();) {
        const size_t end = input.find('\n', at + 1);
        const std::string_view text = input.substr(at + 1, end - at - 1);
        if (const auto n = exactNumber(text))
            values.push_back(*n);
        if (const auto d = parseNumber(text))
            values.push_back(Value::fromDouble(*d));
        at = end;
    }
    checkKeys(spec, values);
    return 0;
}
