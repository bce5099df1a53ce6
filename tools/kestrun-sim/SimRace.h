#pragma once

// The race a simulated timing system plays: who finishes when, and what it then reports.

#include <cstdint>
#include <istream>
#include <vector>

#include "GatemarkMessage.h"
#include "scoring/TimeValue.h"

class EventRecord;

struct SimRace {
    /// In finishing order, with their race times (at least one tick apart is not required:
    /// runners with equal times finish together).
    std::vector<GatemarkLine> finishers;
    std::vector<TimeValue> finishTimes;
    /// Runners still on the course or with a code, in results order: known only at the end.
    std::vector<GatemarkLine> others;

    size_t RunnerCount() const { return finishers.size() + others.size(); }
};

/// The race of a results file, read as kestrun-score reads it (LoadResultsCsv): a later row with
/// the Id of an earlier one updates that runner. A runner without an Id gets "#" and its number in the file,
/// as Kestrun tells runners apart by Id. Throws ResultsCsvError.
SimRace ReadRace(std::istream& in);

/// A plausible 5 km race of `runners` runners in `teams` teams (a few unattached runners and a
/// few who do not finish), the same for the same seed.
SimRace GenerateRace(int runners, int teams, uint64_t seed);

/// The lines of the event's results in results order: finishers (with their places, which the
/// results list computes where the event has none, and their gap to the leader), then the rest.
SimRace RaceFromEvent(EventRecord& event);
