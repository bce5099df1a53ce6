#include "settings/KRString.h"

void KRString::SetValue(const KString& value) {
    if (m_setter) {
        m_setter(*this, value);
    } else {
        StoreValue(value);
    }
}

bool KRString::ParseValue(KStringView text) {
    SetValue(KString(text));
    return true;
}
