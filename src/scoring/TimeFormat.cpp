#include "scoring/TimeFormat.h"

namespace {
TimeFormat g_timeFormat;
}  // namespace

const TimeFormat& CurrentTimeFormat() { return g_timeFormat; }

void SetTimeFormat(const TimeFormat& format) { g_timeFormat = format; }

RoundMethod RoundMethodFromNumber(long long number) {
    switch (number) {
        case 1:
            return RoundMethod::Down;
        case 2:
            return RoundMethod::Round;
        default:
            return RoundMethod::Up;
    }
}
