#include "scoring/TickCount.h"

#include "foundation/KBinaryData.h"

TickCount::DivResult TickCount::Divide(TickCount divisor) const {
    if (divisor.m_value == 0) return {TickCount{}, *this};
    // In 64 bits neither the quotient nor the remainder of two 48-bit values can overflow.
    return {FromInt64(m_value / divisor.m_value), FromInt64(m_value % divisor.m_value)};
}

void TickCount::AppendDecimal(KString& text) const {
    uint64_t magnitude = m_value < 0 ? 0 - static_cast<uint64_t>(m_value) : static_cast<uint64_t>(m_value);
    KChar digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<KChar>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (m_value < 0) text.push_back(u'-');
    while (count > 0) text.push_back(digits[--count]);
}

std::optional<TickCount> TickCount::ReadDecimal(KStringView text, size_t& pos) {
    size_t i = pos;
    int64_t value = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        value = value * 10 + (text[i] - u'0');
        if (value > kMax) return std::nullopt;
        ++i;
    }
    if (i == pos) return std::nullopt;
    pos = i;
    return FromInt64(value);
}

void TickCount::Store(KBinaryWriter& out) const { out.WriteTicks(m_value); }

TickCount TickCount::Load(KBinaryReader& in) { return FromInt64(in.ReadTicks()); }
