#include "settings/KRRat.h"

#include <limits>
#include <numeric>

namespace {

constexpr long long kMaxTerm = std::numeric_limits<int32_t>::max();
// Digits beyond this make any term too large; stops the accumulation before it overflows.
constexpr long long kDigitLimit = 1000000000000000000LL;

/// Decimal digits at `pos`; nullopt when there is none or the number is absurdly long.
std::optional<long long> ReadDigits(KStringView text, size_t& pos, size_t* count = nullptr) {
    long long value = 0;
    size_t digits = 0;
    bool tooLong = false;
    while (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9') {
        if (value >= kDigitLimit / 10) tooLong = true;
        if (!tooLong) value = value * 10 + (text[pos] - u'0');
        ++pos;
        ++digits;
    }
    if (count) *count = digits;
    if (digits == 0 || tooLong) return std::nullopt;
    return value;
}

std::optional<KRational> Reduced(long long numerator, long long denominator) {
    if (denominator <= 0 || numerator < 0) return std::nullopt;
    const long long divisor = numerator == 0 ? denominator : std::gcd(numerator, denominator);
    numerator /= divisor;
    denominator /= divisor;
    if (numerator > kMaxTerm || denominator > kMaxTerm) return std::nullopt;
    return KRational{static_cast<int32_t>(numerator), static_cast<int32_t>(denominator)};
}

}  // namespace

KRational KRRat::Value() const {
    const uint64_t packed = m_packed.load(std::memory_order_relaxed);
    return {static_cast<int32_t>(packed >> 32), static_cast<int32_t>(packed & 0xFFFFFFFFu)};
}

void KRRat::StoreValue(KRational value) {
    m_packed.store((static_cast<uint64_t>(static_cast<uint32_t>(value.numerator)) << 32) |
                       static_cast<uint32_t>(value.denominator),
                   std::memory_order_relaxed);
}

std::optional<KRational> KRRat::ParseText(KStringView text) {
    size_t pos = 0;
    const auto whole = ReadDigits(text, pos);
    if (!whole) return std::nullopt;
    if (pos < text.size() && text[pos] == u'/') {
        ++pos;
        const auto denominator = ReadDigits(text, pos);
        if (!denominator) return std::nullopt;
        return Reduced(*whole, *denominator);
    }
    if (pos < text.size() && text[pos] == u'.') {
        ++pos;
        size_t digits = 0;
        KStringView fraction = text.substr(pos);
        size_t end = 0;
        while (end < fraction.size() && fraction[end] >= u'0' && fraction[end] <= u'9') ++end;
        fraction = fraction.substr(0, end);
        // Trailing zeros change nothing and would only make the denominator overflow.
        while (!fraction.empty() && fraction.back() == u'0') fraction.remove_suffix(1);
        if (fraction.empty()) return Reduced(*whole, 1);
        size_t fracPos = 0;
        const auto numerator = ReadDigits(fraction, fracPos, &digits);
        if (!numerator || digits > 18) return std::nullopt;
        long long denominator = 1;
        for (size_t i = 0; i < digits; ++i) denominator *= 10;
        if (*whole > (std::numeric_limits<long long>::max() - *numerator) / denominator) return std::nullopt;
        return Reduced(*whole * denominator + *numerator, denominator);
    }
    if (pos + 1 < text.size() && text[pos] == u' ' && text[pos + 1] >= u'0' && text[pos + 1] <= u'9') {
        size_t fracPos = pos + 1;
        const auto numerator = ReadDigits(text, fracPos);
        if (numerator && fracPos < text.size() && text[fracPos] == u'/') {
            ++fracPos;
            const auto denominator = ReadDigits(text, fracPos);
            if (!denominator || *denominator == 0) return std::nullopt;
            if (*whole > kMaxTerm || *numerator > kMaxTerm || *denominator > kMaxTerm) return std::nullopt;
            return Reduced(*whole * *denominator + *numerator, *denominator);
        }
    }
    return Reduced(*whole, 1);
}

KString KRRat::FormatText(KRational value) {
    if (value.numerator <= 0 || value.denominator <= 0) return u"0";
    const int32_t whole = value.numerator / value.denominator;
    const int32_t rest = value.numerator % value.denominator;
    KString text;
    if (whole > 0) text += ToKString(whole);
    if (whole > 0 && rest > 0) text += u' ';
    if (rest > 0) text += ToKString(rest) + u'/' + ToKString(value.denominator);
    return text;
}
