// Any bytes as a results file: the reader either reads rows or raises its own
// error, and whatever it reads scores without fault in both modes, with the
// scoring rules taken from the first byte.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "ResultsCsv.h"
#include "ScoreCommand.h"
#include "foundation/KAlerts.h"
#include "scoring/EventRecord.h"
#include "scoring/NonScoringAffiliations.h"
#include "scoring/TeamScoring.h"
#include "settings/KDefaultSettings.h"
#include "settings/KRegistry.h"

namespace {

class NoAlerts : public KAlerts {
public:
    void ShowError(const KString&, const KString&) override {}
    void ShowMessage(const KString&, const KString&) override {}
    bool Confirm(const KString&, const KString&, KAlertButtons, KAlertButton, KAlertSymbol) override {
        return true;
    }
};

struct Scorer {
    Scorer() {
        LoadDefaults(settings);
        nonScoring.Rebuild();
    }
    KRegistry settings;
    NoAlerts alerts;
    NonScoringAffiliations nonScoring{settings, alerts};
    TeamScoring scoring{settings, nonScoring};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Scorer scorer;
    if (size == 0) return 0;
    const uint8_t rules = data[0];
    scorer.settings.FindInt(u"Scoring\\MinRunners")->SetValue(rules & 3);
    scorer.settings.FindInt(u"Scoring\\NumScorers")->SetValue((rules >> 2) & 3);
    scorer.settings.FindInt(u"Scoring\\MaxDisplacers")->SetValue((rules >> 4) & 1);
    scorer.settings.FindBool(u"Scoring\\ResetScores")->SetValue(rules & 0x20);
    scorer.settings.FindBool(u"Scoring\\UnatDisplaces")->SetValue(rules & 0x40);
    scorer.settings.FindBool(u"Scoring\\LapsToGoDir")->SetValue(rules & 0x80);

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
