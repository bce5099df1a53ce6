// Any bytes as a results file: the reader either reads rows or raises its own
// error, and whatever it reads scores without fault in both modes, with the
// scoring rules taken from the first byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "ResultsCsv.h"
#include "ScoreCommand.h"
#include "scoring/EventRecord.h"
#include "scoring/StandaloneScorer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static StandaloneScorer scorer;
    if (size == 0) return 0;
    const uint8_t rules = data[0];
    scorer.SetRules({.minRunners = rules & 3,
                     .numScorers = (rules >> 2) & 3,
                     .maxDisplacers = (rules >> 4) & 1,
                     .resetScores = (rules & 0x20) != 0,
                     .lapsCountUp = (rules & 0x80) != 0,
                     .unatDisplaces = (rules & 0x40) != 0});

    std::istringstream in(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    EventRecord event;
    try {
        LoadResultsCsv(in, event, CurrentResultCodeTexts());
    } catch (const ResultsCsvError&) {
        return 0;
    }
    scorer.scoring.CalculateStandings(event, false);
    scorer.scoring.CalculateStandings(event, true);
    for (ResultRecord& team : event.Standings().Sorted()) {
        if (team.NumMembers() < 0 || team.NumScorers() < 0) std::abort();
    }
    return 0;
}
