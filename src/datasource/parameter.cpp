#include "datasource/parameter.h"

#include <algorithm>

namespace rg {

void Parameter::SetValue(const rg::Value& v) {
    if (v.isNull() || (v.type() == rg::Value::Type::Text && v.asText().empty())) {
        value_ = rg::Value::null();
        return;
    }
    value_ = v;
    if (Kind == FieldKind::Unknown) {
        switch (v.type()) {
        case rg::Value::Type::Bool:
            Kind = FieldKind::Boolean;
            break;
        case rg::Value::Type::Int:
            Kind = FieldKind::LargeInt;
            break;
        case rg::Value::Type::Double:
            Kind = FieldKind::Float;
            break;
        case rg::Value::Type::Decimal:
            Kind = FieldKind::BCD;
            break;
        case rg::Value::Type::Date:
            Kind = FieldKind::Date;
            break;
        case rg::Value::Type::Time:
            Kind = FieldKind::Time;
            break;
        case rg::Value::Type::DateTime:
            Kind = FieldKind::DateTime;
            break;
        case rg::Value::Type::Blob:
            Kind = FieldKind::Blob;
            break;
        default:
            Kind = FieldKind::String;
            break;
        }
    }
    if (v.type() == rg::Value::Type::Text || v.type() == rg::Value::Type::Blob)
        Size = std::max(Size, static_cast<int>(v.asText().size()));
}

} // namespace rg
