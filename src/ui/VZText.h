#pragma once

// Text at the boundary between the core (UTF-16 KString) and Qt.

#include <QString>

#include "foundation/KString.h"

inline QString VZQString(KStringView text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline KString VZKString(const QString& text) {
    return KString(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}
