#pragma once

// Reading the scoring and time settings from the settings tree. The orderings and the time functions
// themselves take plain values, so they can be used (and tested) without a tree.

#include "scoring/ResultCode.h"
#include "scoring/ScoringRules.h"
#include "scoring/TickCount.h"
#include "scoring/TimeFormat.h"

class KRegistry;

/// \Scoring\MinRunners, NumScorers, MaxDisplacers, ResetScores, LapsToGoDir, UnatDisplaces; defaults
/// for missing keys. Read afresh before every calculation.
ScoringRules ReadScoringRules(KRegistry& settings);

/// \Event\Results\RoundMethod and the first characters of \Strings\Time\NegChr, DayHourSep,
/// HourMinuteSep, MinuteSecondSep and SecondFracSep (each default kept when its text is missing or
/// empty). Read once at start-up.
TimeFormat ReadTimeFormat(KRegistry& settings);

/// \Strings\Event\Results\Codes\DidNotStart ... Advanced; a missing or empty text keeps its default.
ResultCodeTexts ReadResultCodeTexts(KRegistry& settings);

/// \Event\Results\TimePrecision, checked as ResultList::ValidPrecision (0, the default, gives hundredths).
TickCount ReadResultsPrecision(KRegistry& settings);

/// \Strings\Event\Results\DefaultName, the name a new results or standings list takes.
KString ReadResultsListName(KRegistry& settings);

/// Start-up: reads the time format and the code texts and makes them the process-wide ones.
void ApplyStartupScoringSettings(KRegistry& settings);
