#pragma once

// Team scoring away from the program's windows: a settings tree of its own filled from the default
// table, the built-in non-scoring entries, and nobody to ask. The offline scorer, the benchmarks and
// the fuzz targets score through it.

#include "foundation/KAlerts.h"
#include "scoring/NonScoringAffiliations.h"
#include "scoring/ScoringRules.h"
#include "scoring/TeamScoring.h"
#include "settings/KRegistry.h"

/// Alerts nobody sees; every question is answered yes.
class SilentAlerts : public KAlerts {
public:
    void ShowError(const KString&, const KString&) override {}
    void ShowMessage(const KString&, const KString&) override {}
    bool Confirm(const KString&, const KString&, KAlertButtons, KAlertButton, KAlertSymbol) override {
        return true;
    }
};

struct StandaloneScorer {
    /// Loads the default table and rebuilds the non-scoring list from it.
    StandaloneScorer();
    StandaloneScorer(const StandaloneScorer&) = delete;
    StandaloneScorer& operator=(const StandaloneScorer&) = delete;

    /// Writes the rules into the settings, where every calculation reads them.
    void SetRules(const ScoringRules& rules);

    KRegistry settings;
    SilentAlerts alerts;
    NonScoringAffiliations nonScoring{settings, alerts};
    TeamScoring scoring{settings, nonScoring};
};
