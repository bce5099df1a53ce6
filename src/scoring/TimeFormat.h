#pragma once

// The process-wide time settings: the rounding method and the five separator characters. They are read
// once at start-up, before any other thread runs, and only read afterwards; SetTimeFormat is not meant
// to race with formatting or parsing on other threads.

#include "foundation/KString.h"

enum class RoundMethod : int { Up = 0, Down = 1, Round = 2 };

struct TimeFormat {
    RoundMethod roundMethod = RoundMethod::Up;
    KChar negativeSign = u'-';
    KChar dayHourSeparator = u':';
    KChar hourMinuteSeparator = u':';
    KChar minuteSecondSeparator = u':';
    KChar secondFractionSeparator = u'.';

    friend bool operator==(const TimeFormat&, const TimeFormat&) = default;
};

/// The settings in force (the defaults until SetTimeFormat is called).
const TimeFormat& CurrentTimeFormat();
void SetTimeFormat(const TimeFormat& format);

/// A stored rounding method number: 0 Up, 1 Down, 2 Round; any other number acts as Up.
RoundMethod RoundMethodFromNumber(long long number);
