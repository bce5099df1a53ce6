#pragma once

#include <initializer_list>

#include "foundation/KString.h"

/// A text of the given character codes (binary output is easiest to state this way).
inline KString Chars(std::initializer_list<int> codes) {
    KString text;
    for (const int c : codes) text += static_cast<KChar>(c);
    return text;
}
