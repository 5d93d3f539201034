#include "document/report.h"

#include "common/asciicase.h"

#include <algorithm>

namespace rg {

const FieldSetting* Report::field(std::string_view name) const {
    const auto f = std::find_if(fields.begin(), fields.end(), [&](const FieldSetting& s) {
        return equalsIgnoringCase(s.name, name);
    });
    return f == fields.end() ? nullptr : &*f;
}

FieldSetting& Report::fieldToSet(std::string_view name) {
    if (const FieldSetting* f = field(name))
        return const_cast<FieldSetting&>(*f);
    fields.push_back(FieldSetting{std::string(name), {}, {}, {}, {}, {}});
    return fields.back();
}

std::string Report::footerKind(std::string_view fieldName) const {
    for (const SummarySetting& s : footerSummaries)
        if (equalsIgnoringCase(s.field, fieldName))
            return s.kind;
    return {};
}

std::string Report::captionOf(std::string_view fieldName) const {
    const FieldSetting* f = field(fieldName);
    return f && !f->caption.empty() ? f->caption : std::string(fieldName);
}

} // namespace rg
