#pragma once

// A 48-bit signed count of ticks (80000 per second). Arithmetic wraps at 48 bits exactly as the stored
// form does, so a value always survives a store and load unchanged. Integer arithmetic only.

#include <compare>
#include <cstdint>
#include <optional>

#include "foundation/KString.h"

class KBinaryReader;
class KBinaryWriter;

class TickCount {
public:
    static constexpr int64_t kMax = (int64_t{1} << 47) - 1;
    static constexpr int64_t kMin = -(int64_t{1} << 47);

    constexpr TickCount() = default;
    /// Sign-extended.
    constexpr TickCount(int32_t value) : m_value(value) {}  // NOLINT(google-explicit-constructor)
    /// The low 48 bits of `value`, sign-extended.
    static constexpr TickCount FromInt64(int64_t value) {
        TickCount t;
        t.m_value = Wrap(value);
        return t;
    }

    constexpr int64_t Value() const { return m_value; }

    friend constexpr TickCount operator+(TickCount a, TickCount b) { return FromBits(Bits(a) + Bits(b)); }
    friend constexpr TickCount operator-(TickCount a, TickCount b) { return FromBits(Bits(a) - Bits(b)); }
    friend constexpr TickCount operator*(TickCount a, TickCount b) { return FromBits(Bits(a) * Bits(b)); }
    constexpr TickCount operator-() const { return FromBits(0 - Bits(*this)); }
    TickCount& operator+=(TickCount b) { return *this = *this + b; }
    TickCount& operator-=(TickCount b) { return *this = *this - b; }

    struct DivResult;
    /// Truncating division (quotient rounds toward zero, remainder takes the dividend's sign).
    /// Dividing by zero gives quotient 0 and the dividend as remainder rather than a fault.
    DivResult Divide(TickCount divisor) const;

    friend constexpr bool operator==(TickCount a, TickCount b) = default;
    friend constexpr std::strong_ordering operator<=>(TickCount a, TickCount b) {
        return a.m_value <=> b.m_value;
    }

    /// Appends the decimal form, with "-" when negative.
    void AppendDecimal(KString& text) const;
    /// Reads unsigned decimal digits from text[pos...]; advances pos past them. Nothing when no digit
    /// is there or when the number does not fit in 48 bits (pos then stays put).
    static std::optional<TickCount> ReadDecimal(KStringView text, size_t& pos);

    void Store(KBinaryWriter& out) const;
    static TickCount Load(KBinaryReader& in);

private:
    static constexpr int64_t Wrap(int64_t v) {
        auto bits = static_cast<uint64_t>(v) & ((uint64_t{1} << 48) - 1);
        if (bits & (uint64_t{1} << 47)) bits |= ~((uint64_t{1} << 48) - 1);
        return static_cast<int64_t>(bits);
    }
    static constexpr uint64_t Bits(TickCount t) { return static_cast<uint64_t>(t.m_value); }
    static constexpr TickCount FromBits(uint64_t bits) { return FromInt64(static_cast<int64_t>(bits)); }

    int64_t m_value = 0;
};

struct TickCount::DivResult {
    TickCount quotient;
    TickCount remainder;
};

// The named tick counts; every common timing precision divides a second exactly.
inline constexpr TickCount kTicksUnit{1};
inline constexpr TickCount kTicksTenThousandth{8};
inline constexpr TickCount kTicksThousandth{80};
inline constexpr TickCount kTicksMillisecond{80};
inline constexpr TickCount kTicksHundredth{800};
inline constexpr TickCount kTicksTwentieth{4000};
inline constexpr TickCount kTicksTenth{8000};
inline constexpr TickCount kTicksFifth{16000};
inline constexpr TickCount kTicksSecond{80000};
inline constexpr TickCount kTicksMinute{4800000};
inline constexpr TickCount kTicksHour{288000000};
inline constexpr TickCount kTicksDay = TickCount::FromInt64(6912000000LL);
