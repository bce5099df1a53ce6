#include "settings/KRInt.h"

std::optional<int32_t> KRInt::ParseText(KStringView text) {
    size_t pos = 0;
    const auto number = ParseInteger(text, pos);
    // Refused rather than clamped: a number that does not fit was not meant as the limit.
    if (!number || *number < kNoMinimum || *number > kNoMaximum) return std::nullopt;
    return static_cast<int32_t>(*number);
}
