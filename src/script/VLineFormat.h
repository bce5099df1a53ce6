#pragma once

// The first stage of running a scoreboard line: the variable's value placed into the line's format
// text. The format is read here, never handed to a C formatting function.

#include <cstddef>
#include <cstdint>

#include "foundation/KString.h"
#include "scoring/TickCount.h"
#include "scoring/TimeValue.h"

/// A formatted line holds at most this many characters (1024 with the terminator of the original).
inline constexpr size_t kMaxFormattedLine = 1023;

/// `format` as a printf format with `value` as its one string argument, into `out` (replaced): every
/// "%s" conversion, with the flags, width and precision of printf ("%-20s", "%5.5s"), places the
/// value; "%%" gives "%". A conversion of any other kind, or one that would read a further argument
/// ("*"), produces nothing. The result is cut to kMaxFormattedLine characters.
void FormatLine(KStringView format, KStringView value, KString& out);

/// `format` with every "%s" replaced by the four escapes \b0\b1\b2\b3 of `value`'s bytes, least
/// significant first, in lower-case hexadecimal.
void SubstituteBinary(KStringView format, uint32_t value, KString& out);

/// The time formatted at `precision` with the minute cutoff, then given a second-fraction separator
/// when it has none and blanks until exactly three characters follow it ("12.3" becomes "12.3  ").
/// Empty for no time.
KString DecimalAligned(const TimeValue& time, TickCount precision, int32_t cutoffMs);
