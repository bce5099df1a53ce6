#include "script/VLineFormat.h"

#include <algorithm>
#include <optional>

#include "script/VCommandLanguage.h"

namespace {

bool IsFlag(KChar c) { return c == u'-' || c == u'+' || c == u' ' || c == u'#' || c == u'0'; }
bool IsDigit(KChar c) { return c >= u'0' && c <= u'9'; }
bool IsLengthModifier(KChar c) {
    return c == u'h' || c == u'l' || c == u'L' || c == u'q' || c == u'j' || c == u'z' || c == u't';
}

// Digits at text[pos...], saturating well above any line length.
size_t ReadCount(KStringView text, size_t& pos) {
    size_t value = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos)
        value = std::min<size_t>(value * 10 + static_cast<size_t>(text[pos] - u'0'), 1u << 20);
    return value;
}

struct Conversion {
    bool leftJustify = false;
    bool valid = true;  // false when it would read an argument that is not there
    size_t width = 0;
    std::optional<size_t> precision;
    KChar kind = 0;  // 0 when the format ended inside the conversion
};

// Reads the conversion after a "%" at text[pos - 1]; `pos` ends after it.
Conversion ReadConversion(KStringView text, size_t& pos) {
    Conversion c;
    for (; pos < text.size() && IsFlag(text[pos]); ++pos) c.leftJustify |= text[pos] == u'-';
    if (pos < text.size() && text[pos] == u'*') {
        c.valid = false;
        ++pos;
    }
    c.width = ReadCount(text, pos);
    if (pos < text.size() && text[pos] == u'.') {
        ++pos;
        if (pos < text.size() && text[pos] == u'*') {
            c.valid = false;
            ++pos;
        }
        c.precision = ReadCount(text, pos);
    }
    while (pos < text.size() && IsLengthModifier(text[pos])) ++pos;
    if (pos < text.size()) c.kind = text[pos++];
    return c;
}

}  // namespace

void FormatLine(KStringView format, KStringView value, KString& out) {
    out.clear();
    for (size_t pos = 0; pos < format.size() && out.size() < kMaxFormattedLine;) {
        const KChar c = format[pos++];
        if (c != u'%') {
            out += c;
            continue;
        }
        const Conversion conversion = ReadConversion(format, pos);
        if (conversion.kind == u'%' && conversion.valid) {
            out += u'%';
        } else if (conversion.kind == u's' && conversion.valid) {
            const KStringView piece = value.substr(0, conversion.precision.value_or(value.size()));
            const size_t room = kMaxFormattedLine - out.size();
            const size_t pad =
                std::min(conversion.width > piece.size() ? conversion.width - piece.size() : 0, room);
            if (!conversion.leftJustify) out.append(pad, u' ');
            out += piece.substr(0, kMaxFormattedLine - out.size());
            if (conversion.leftJustify) out.append(std::min(pad, kMaxFormattedLine - out.size()), u' ');
        }
    }
    if (out.size() > kMaxFormattedLine) out.resize(kMaxFormattedLine);
}

void SubstituteBinary(KStringView format, uint32_t value, KString& out) {
    out.clear();
    for (size_t pos = 0; pos < format.size();) {
        if (format.substr(pos, 2) == u"%s") {
            for (int byte = 0; byte < 4; ++byte) AppendHexEscape(out, value >> (8 * byte));
            pos += 2;
        } else {
            out += format[pos++];
        }
    }
}

KString DecimalAligned(const TimeValue& time, TickCount precision, int32_t cutoffMs) {
    KString text = FormatTime(time, precision, std::nullopt, cutoffMs);
    if (text.empty()) return text;
    const KChar separator = CurrentTimeFormat().secondFractionSeparator;
    size_t at = text.rfind(separator);
    if (at == KString::npos) {
        at = text.size();
        text += separator;
    }
    const size_t after = text.size() - at - 1;
    if (after < 3) text.append(3 - after, u' ');
    return text;
}
