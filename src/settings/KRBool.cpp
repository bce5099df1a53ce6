#include "settings/KRBool.h"

std::optional<bool> KRBool::ParseText(KStringView text) {
    size_t pos = 0;
    const auto number = ParseInteger(text, pos);
    if (!number) return std::nullopt;
    return *number != 0;
}
