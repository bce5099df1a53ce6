#pragma once

// What a scoreboard script sees of the scoreboard that runs it: the data of one update, the
// scoreboard's settings, a clock and where each output line goes. The output engine implements the
// host; a test implements it with a fake clock and a list of lines.

#include <cstdint>
#include <optional>

#include "foundation/KString.h"
#include "scoring/TickCount.h"
#include "scoring/TimeValue.h"

class EventRecord;
class ResultList;
class ResultRecord;

/// A wind reading: its value and units texts, whether it is valid, and its integer value (binary output).
struct VWindReading {
    bool valid = false;
    KString value;
    KString units;
    int32_t number = 0;
};

/// The event information the scoreboard manager copies from the event once per change (header lines).
struct VEventSnapshot {
    bool official = false;
    KString name;
    KString eventNumber;
    KString roundNumber;
    KString heatNumber;
    std::optional<VWindReading> wind;
    /// The event distance as a fraction; a denominator of 0 shows nothing.
    int64_t distanceNumerator = 0;
    int64_t distanceDenominator = 1;
    bool automaticStart = false;
    bool armed = false;
    int32_t counter = 0;
    TimeValue time;
};

/// The data of one update. Pointers are borrowed for the run and may be null where the update has no
/// such data; the caller holds the event's lock while lines of an event are rendered.
struct VUpdateRecord {
    /// Clock sections: the time to show and its precision, and a counter (clock variable 7).
    TimeValue time;
    TickCount precision = kTicksTenth;
    int32_t counter = 0;
    /// Wind section.
    std::optional<VWindReading> wind;
    /// List lines and header counts: the event, the list being shown and the current record.
    EventRecord* event = nullptr;
    ResultList* list = nullptr;
    ResultRecord* record = nullptr;
    /// Message section: the current message line.
    const KString* messageLine = nullptr;
    /// Header and trailer lines.
    const VEventSnapshot* snapshot = nullptr;
};

/// The settings of one scoreboard that change what its lines show (the host reads them from the
/// scoreboard's group, and MinRunners from the scoring settings).
struct VScriptSettings {
    bool includeFirst = false;
    bool affilAbbr = false;
    /// A tick count 1..80000; anything else means each record's display precision.
    int32_t timePrecision = 0;
    int32_t suppressMinute = 0;
    int32_t suppressCutoff = 100000;
    /// 1: list lines are team standings.
    int32_t filter = 0;
    int32_t minRunners = 5;
    KString official;
    KString unofficial;
    KString noWind;
    KString automaticStart;
    KString manualStart;
    KString clockArmed;
    KString clockRunning;
};

/// Implemented by whoever runs a scoreboard script. Called on the thread that runs the script.
class VScriptHost {
public:
    virtual ~VScriptHost() = default;
    /// The scoreboard's settings as they are now; read once per run.
    virtual const VScriptSettings& ScriptSettings() = 0;
    /// Milliseconds of a steady clock, wrapping at 32 bits.
    virtual uint32_t Tick() = 0;
    /// One rendered line, in the order the page runs its lines.
    virtual void Output(KStringView line) = 0;
};
