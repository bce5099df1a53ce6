#include "scoring/StandaloneScorer.h"

#include "settings/KDefaultSettings.h"

StandaloneScorer::StandaloneScorer() {
    LoadDefaults(settings);
    nonScoring.Rebuild();
}

void StandaloneScorer::SetRules(const ScoringRules& rules) {
    // The default table holds every one of these entries.
    settings.FindInt(u"Scoring\\MinRunners")->SetValue(rules.minRunners);
    settings.FindInt(u"Scoring\\NumScorers")->SetValue(rules.numScorers);
    settings.FindInt(u"Scoring\\MaxDisplacers")->SetValue(rules.maxDisplacers);
    settings.FindBool(u"Scoring\\ResetScores")->SetValue(rules.resetScores);
    settings.FindBool(u"Scoring\\LapsToGoDir")->SetValue(rules.lapsCountUp);
    settings.FindBool(u"Scoring\\UnatDisplaces")->SetValue(rules.unatDisplaces);
}
