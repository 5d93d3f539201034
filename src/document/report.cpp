#include "document/report.h"

#include "common/asciicase.h"

namespace rg {

FieldLookup::FieldLookup(const Report& report) : report_(report) {
    for (size_t i = 0; i < report.fields.size(); ++i)
        fieldAt_.emplace(asciiLower(report.fields[i].name), i);
    for (size_t i = 0; i < report.footerSummaries.size(); ++i)
        footerAt_.emplace(asciiLower(report.footerSummaries[i].field), i);
}

const FieldSetting* FieldLookup::field(std::string_view name) const {
    const auto at = fieldAt_.find(asciiLower(std::string(name)));
    return at == fieldAt_.end() ? nullptr : &report_.fields[at->second];
}

std::string FieldLookup::footerKind(std::string_view fieldName) const {
    const auto at = footerAt_.find(asciiLower(std::string(fieldName)));
    return at == footerAt_.end() ? std::string() : report_.footerSummaries[at->second].kind;
}

std::string FieldLookup::captionOf(std::string_view fieldName) const {
    const FieldSetting* f = field(fieldName);
    return f && !f->caption.empty() ? f->caption : std::string(fieldName);
}

} // namespace rg
