#pragma once

// The scoring settings that orderings and team scoring use. Team scoring reads them afresh from the
// settings before every calculation (ReadScoringRules) and hands them to the lists; tests set them
// directly.

#include <cstdint>

struct ScoringRules {
    int32_t minRunners = 5;     ///< runners an affiliation needs to qualify as a team
    int32_t numScorers = 5;     ///< runners whose points add to the team total
    int32_t maxDisplacers = 2;  ///< further runners per team that take positions without scoring
    bool resetScores = true;    ///< score only runners at the leader's laps value
    bool lapsCountUp = false;   ///< the laps field counts up rather than down (laps to go)
    bool unatDisplaces = true;  ///< runners of non-scoring affiliations take positions

    friend bool operator==(const ScoringRules&, const ScoringRules&) = default;
};
