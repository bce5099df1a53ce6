// Reads any text as a race time and writes every time it reads back out: reading never fails other
// than by saying "no time", a time written at its own step reads back as the same ticks, and any
// tick count formats at any precision without fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "scoring/TimeValue.h"

namespace {

TimeFormat FormatFor(uint8_t selector) {
    TimeFormat format;
    format.roundMethod = RoundMethodFromNumber(selector % 3);
    if (selector & 0x10) {
        format.negativeSign = u'~';
        format.dayHourSeparator = u'd';
        format.hourMinuteSeparator = u'h';
        format.minuteSecondSeparator = u'\'';
        format.secondFractionSeparator = u',';
    }
    return format;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const TimeFormat format = FormatFor(data[0]);
    const KString text = FromLatin1(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    if (auto time = ParseTime(text, format)) {
        if (!time->IsValid()) std::abort();
        const TickCount step = time->GetPrecision();
        const KString written = FormatTime(*time, step, std::nullopt, 0, format);
        const auto again = ParseTime(written, format);
        if (!again) std::abort();
        if (time->GetTicks().Divide(step).remainder == TickCount{0} &&
            again->GetTicks() != time->GetTicks()) {
            std::abort();
        }
        for (TickCount precision : {kTicksUnit, kTicksFifth, kTicksSecond, kTicksDay}) {
            FormatTime(*time, precision, std::nullopt, 100000, format);
        }
    }
    // The first bytes as any tick count and step, formatted whatever they are.
    if (size >= 13) {
        int64_t ticks = 0, step = 0;
        for (int i = 0; i < 6; ++i) ticks |= static_cast<int64_t>(data[1 + i]) << (8 * i);
        for (int i = 0; i < 6; ++i) step |= static_cast<int64_t>(data[7 + i]) << (8 * i);
        const TimeValue t(TickCount::FromInt64(ticks), TickCount::FromInt64(step));
        for (auto method : {RoundMethod::Up, RoundMethod::Down, RoundMethod::Round}) {
            FormatTime(t, kTicksHundredth, method, data[0] * 1000, format);
        }
    }
    return 0;
}
