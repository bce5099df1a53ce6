#pragma once

// A race time: an exact tick count with the precision it was measured at (0 or less: no time) and a tag
// that copies carry along. No floating point anywhere, so equal times compare equal and ties are exact.

#include <cstdint>
#include <optional>

#include "foundation/KString.h"
#include "scoring/TickCount.h"
#include "scoring/TimeFormat.h"

class KBinaryReader;
class KBinaryWriter;

class TimeValue {
public:
    static constexpr uint32_t kStoreVersion = 0x20001;

    /// No time: ticks 0, precision -1, tag -1.
    constexpr TimeValue() = default;
    constexpr TimeValue(TickCount ticks, TickCount precision, int32_t tag = -1)
        : m_ticks(ticks), m_precision(precision), m_tag(tag) {}

    bool IsValid() const { return m_precision > TickCount{0}; }
    TickCount GetTicks() const { return m_ticks; }
    void SetTicks(TickCount ticks) { m_ticks = ticks; }
    TickCount GetPrecision() const { return m_precision; }
    /// With `replace` the precision becomes `precision`; otherwise the coarser of the two.
    void SetPrecision(TickCount precision, bool replace);
    int32_t GetTag() const { return m_tag; }
    void SetTag(int32_t tag) { m_tag = tag; }

    /// Valid only when both are: ticks a±b, the coarser precision, a's tag. Otherwise no time.
    static TimeValue Add(const TimeValue& a, const TimeValue& b);
    static TimeValue Subtract(const TimeValue& a, const TimeValue& b);
    friend TimeValue operator+(const TimeValue& a, const TimeValue& b) { return Add(a, b); }
    friend TimeValue operator-(const TimeValue& a, const TimeValue& b) { return Subtract(a, b); }

    /// Comparisons look at the ticks only; precision and tag are ignored.
    friend bool operator==(const TimeValue& a, const TimeValue& b) { return a.m_ticks == b.m_ticks; }
    friend std::strong_ordering operator<=>(const TimeValue& a, const TimeValue& b) {
        return a.m_ticks <=> b.m_ticks;
    }
    /// Ticks, precision and tag all equal (what a setter compares before it notifies).
    bool IsIdentical(const TimeValue& other) const {
        return m_ticks == other.m_ticks && m_precision == other.m_precision && m_tag == other.m_tag;
    }

    /// Version word, ticks, precision, tag.
    void Store(KBinaryWriter& out) const;
    /// Throws KError(3009) for another version, KError(3010) when the data ends early.
    static TimeValue Load(KBinaryReader& in);

private:
    TickCount m_ticks{0};
    TickCount m_precision{-1};
    int32_t m_tag = -1;
};

/// `x` rounded to a multiple of `step` (> 0; otherwise `x` unchanged): Up is the ceiling and Down the
/// floor for either sign; Round is Down(x + step div 2), so halves go up.
TickCount RoundTicks(TickCount x, TickCount step, RoundMethod method);

/// The time rounded to the coarser of `precision` and its own precision, which becomes its precision.
/// Without a method the process-wide one applies. No time stays no time.
TimeValue Round(const TimeValue& t, TickCount precision, std::optional<RoundMethod> method = std::nullopt,
                const TimeFormat& format = CurrentTimeFormat());

/// Appends the text form of `t` at the coarser of `precision` and its own precision; nothing for no
/// time. Below `cutoffMs` milliseconds (capped at 100000; 0 = never) a time without days or hours is
/// written without its minute field (65.43 rather than 1:05.43).
void FormatTime(const TimeValue& t, KString& out, TickCount precision,
                std::optional<RoundMethod> method = std::nullopt, int32_t cutoffMs = 0,
                const TimeFormat& format = CurrentTimeFormat());
KString FormatTime(const TimeValue& t, TickCount precision, std::optional<RoundMethod> method = std::nullopt,
                   int32_t cutoffMs = 0, const TimeFormat& format = CurrentTimeFormat());

/// Reads a time text such as "1:05.43", "-0.5", "12.3m" from the front of `text`. Nothing when it does
/// not start with a time or the time does not fit in 48 bits; anything after the time is ignored.
std::optional<TimeValue> ParseTime(KStringView text, const TimeFormat& format = CurrentTimeFormat());
