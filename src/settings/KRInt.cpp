#include "settings/KRInt.h"

void KRInt::SetValue(int32_t value) {
    if (m_setter) {
        m_setter(*this, value);
    } else {
        StoreValue(value);
    }
}

std::optional<int32_t> KRInt::ParseInt32(KStringView text) {
    size_t pos = 0;
    const auto number = ParseInteger(text, pos);
    // Refused rather than clamped: a number that does not fit was not meant as the limit.
    if (!number || *number < kNoMinimum || *number > kNoMaximum) return std::nullopt;
    return static_cast<int32_t>(*number);
}

bool KRInt::ParseValue(KStringView text) {
    const auto value = ParseInt32(text);
    if (!value) return false;
    SetValue(*value);
    return true;
}

void KRInt::ParseBounds(const std::vector<KStringView>& fields) {
    if (fields.size() > 2) {
        if (const auto minimum = ParseInt32(fields[2])) m_minimum = *minimum;
    }
    if (fields.size() > 3) {
        if (const auto maximum = ParseInt32(fields[3])) m_maximum = *maximum;
    }
}

KString KRInt::TypePart() const {
    KString part = KRValue::TypePart() + u',';
    if (m_minimum != kNoMinimum) part += ToKString(m_minimum);
    part += u',';
    if (m_maximum != kNoMaximum) part += ToKString(m_maximum);
    return part;
}
