#include "scoring/TimeValue.h"

#include <algorithm>
#include <array>

#include "foundation/KBinaryData.h"
#include "foundation/KError.h"

void TimeValue::SetPrecision(TickCount precision, bool replace) {
    m_precision = replace ? precision : std::max(precision, m_precision);
}

TimeValue TimeValue::Add(const TimeValue& a, const TimeValue& b) {
    if (!a.IsValid() || !b.IsValid()) return TimeValue{};
    return TimeValue(a.m_ticks + b.m_ticks, std::max(a.m_precision, b.m_precision), a.m_tag);
}

TimeValue TimeValue::Subtract(const TimeValue& a, const TimeValue& b) {
    if (!a.IsValid() || !b.IsValid()) return TimeValue{};
    return TimeValue(a.m_ticks - b.m_ticks, std::max(a.m_precision, b.m_precision), a.m_tag);
}

void TimeValue::Store(KBinaryWriter& out) const {
    out.WriteWord(kStoreVersion);
    m_ticks.Store(out);
    m_precision.Store(out);
    out.WriteInt(m_tag);
}

TimeValue TimeValue::Load(KBinaryReader& in) {
    if (in.ReadWord() != kStoreVersion) throw KError(KErrorCode::kFileVersion);
    const TickCount ticks = TickCount::Load(in);
    const TickCount precision = TickCount::Load(in);
    const int32_t tag = in.ReadInt();
    return TimeValue(ticks, precision, tag);
}

namespace {

// Both operands are 48-bit values, so every intermediate below fits in 64 bits.
int64_t RoundUp(int64_t x, int64_t p);
int64_t RoundDown(int64_t x, int64_t p) { return x >= 0 ? (x / p) * p : -RoundUp(-x, p); }
int64_t RoundUp(int64_t x, int64_t p) { return x >= 0 ? ((x + p - 1) / p) * p : -RoundDown(-x, p); }

void AppendNumber(KString& out, int64_t value, int minDigits) {
    KString digits;
    TickCount::FromInt64(value).AppendDecimal(digits);
    for (int i = static_cast<int>(digits.size()); i < minDigits; ++i) out.push_back(u'0');
    out += digits;
}

}  // namespace

TickCount RoundTicks(TickCount x, TickCount step, RoundMethod method) {
    const int64_t p = step.Value();
    if (p <= 0) return x;
    switch (method) {
        case RoundMethod::Down:
            return TickCount::FromInt64(RoundDown(x.Value(), p));
        case RoundMethod::Round:
            return TickCount::FromInt64(RoundDown(x.Value() + p / 2, p));
        case RoundMethod::Up:
            break;
    }
    return TickCount::FromInt64(RoundUp(x.Value(), p));
}

TimeValue Round(const TimeValue& t, TickCount precision, std::optional<RoundMethod> method,
                const TimeFormat& format) {
    if (!t.IsValid()) return t;
    const TickCount step = std::max(precision, t.GetPrecision());
    return TimeValue(RoundTicks(t.GetTicks(), step, method.value_or(format.roundMethod)), step, t.GetTag());
}

void FormatTime(const TimeValue& t, KString& out, TickCount precision, std::optional<RoundMethod> method,
                int32_t cutoffMs, const TimeFormat& format) {
    if (!t.IsValid()) return;
    const int64_t step = std::max(precision, t.GetPrecision()).Value();
    int64_t v =
        RoundTicks(t.GetTicks(), TickCount::FromInt64(step), method.value_or(format.roundMethod)).Value();
    if (v < 0) {
        out.push_back(format.negativeSign);
        v = -v;
    }
    bool written = false;
    const int64_t days = v / kTicksDay.Value();
    int64_t rest = v % kTicksDay.Value();
    if (days > 0) {
        AppendNumber(out, days, 1);
        out.push_back(format.dayHourSeparator);
        written = true;
    }
    const int64_t hours = rest / kTicksHour.Value();
    rest %= kTicksHour.Value();
    if (hours > 0 || written) {
        AppendNumber(out, hours, written ? 2 : 1);
        out.push_back(format.hourMinuteSeparator);
        written = true;
    }
    const int64_t cutoffTicks = static_cast<int64_t>(std::min(cutoffMs, 100000)) * kTicksMillisecond.Value();
    const bool suppressMinutes = !written && cutoffMs > 0 && rest < cutoffTicks;
    if (!suppressMinutes) {
        const int64_t minutes = rest / kTicksMinute.Value();
        rest %= kTicksMinute.Value();
        if (minutes > 0 || written) {
            AppendNumber(out, minutes, written ? 2 : 1);
            out.push_back(format.minuteSecondSeparator);
            written = true;
        }
    }
    const int64_t seconds = rest / kTicksSecond.Value();
    const int64_t fraction = rest % kTicksSecond.Value();
    AppendNumber(out, seconds, written ? 2 : 1);
    if (2 * step <= kTicksSecond.Value()) {
        out.push_back(format.secondFractionSeparator);
        int digits = 0;
        for (int64_t x = kTicksSecond.Value() / step; x > 1; x /= 10) ++digits;
        AppendNumber(out, fraction / step, digits);
    }
}

KString FormatTime(const TimeValue& t, TickCount precision, std::optional<RoundMethod> method,
                   int32_t cutoffMs, const TimeFormat& format) {
    KString text;
    FormatTime(t, text, precision, method, cutoffMs, format);
    return text;
}

std::optional<TimeValue> ParseTime(KStringView text, const TimeFormat& format) {
    size_t pos = 0;
    const auto at = [&](KChar c) { return pos < text.size() && text[pos] == c; };
    const bool negative = at(format.negativeSign);
    if (negative) ++pos;

    std::array<int64_t, 4> numbers{};
    size_t count = 0;
    if (!at(format.secondFractionSeparator)) {
        auto first = TickCount::ReadDecimal(text, pos);
        if (!first) return std::nullopt;
        numbers[count++] = first->Value();
        while (count < numbers.size() && (at(format.dayHourSeparator) || at(format.hourMinuteSeparator) ||
                                          at(format.minuteSecondSeparator))) {
            ++pos;
            auto next = TickCount::ReadDecimal(text, pos);
            if (!next) return std::nullopt;
            numbers[count++] = next->Value();
        }
    }

    int64_t precision = kTicksSecond.Value();
    int64_t tenThousandths = 0;
    int fractionDigits = 0;
    if (at(format.secondFractionSeparator)) {
        ++pos;
        for (; pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9'; ++pos) {
            if (fractionDigits < 4) {
                tenThousandths = tenThousandths * 10 + (text[pos] - u'0');
                ++fractionDigits;
            }
        }
        static constexpr int64_t kPrecisionByDigits[] = {80000, 8000, 800, 80, 8};
        precision = kPrecisionByDigits[fractionDigits];
        for (int i = fractionDigits; i < 4; ++i) tenThousandths *= 10;
    }
    if (count == 0 && fractionDigits == 0) return std::nullopt;

    // Seconds are the last number read, then minutes, hours, days.
    static constexpr int64_t kUnits[] = {80000, 4800000, 288000000, 6912000000LL};
    int64_t ticks = tenThousandths * kTicksTenThousandth.Value();
    for (size_t i = 0; i < count; ++i) {
        const int64_t number = numbers[count - 1 - i];
        if (number > (TickCount::kMax - ticks) / kUnits[i]) return std::nullopt;
        ticks += number * kUnits[i];
    }
    if (ticks > TickCount::kMax) return std::nullopt;
    if (negative) ticks = -ticks;

    if (pos < text.size()) {
        const KChar suffix = FoldCase(text[pos]);
        if (suffix == u'a') precision = kTicksThousandth.Value();
        if (suffix == u'm') precision = kTicksTenth.Value();
    }
    return TimeValue(TickCount::FromInt64(ticks), TickCount::FromInt64(precision));
}
