#include "settings/KRBool.h"

void KRBool::SetValue(bool value) {
    if (m_setter) {
        m_setter(*this, value);
    } else {
        StoreValue(value);
    }
}

KString KRBool::ValueText() const { return Value() ? u"1" : u"0"; }

bool KRBool::ParseValue(KStringView text) {
    size_t pos = 0;
    const auto number = ParseInteger(text, pos);
    if (!number) return false;
    SetValue(*number != 0);
    return true;
}
