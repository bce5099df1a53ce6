#include "settings/KRFloat.h"

#include <charconv>
#include <cmath>
#include <string>

std::optional<double> KRFloat::ParseText(KStringView text) {
    // Only the characters a decimal number can hold; from_chars then ignores the locale.
    std::string ascii;
    size_t i = 0;
    if (i < text.size() && text[i] == u'+') ++i;  // from_chars takes "-" but not "+"
    for (; i < text.size() && ascii.size() < 400; ++i) {
        const KChar c = text[i];
        if ((c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'+' || c == u'e' || c == u'E') {
            ascii += static_cast<char>(c);
        } else {
            break;
        }
    }
    double value = 0;
    const auto [end, error] =
        std::from_chars(ascii.data(), ascii.data() + ascii.size(), value, std::chars_format::general);
    if (error != std::errc() || end == ascii.data() || !std::isfinite(value)) return std::nullopt;
    return value;
}

KString KRFloat::FormatText(double value) {
    char buffer[400];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (error != std::errc()) return u"0.000000";
    return FromLatin1(std::string_view(buffer, static_cast<size_t>(end - buffer)));
}
