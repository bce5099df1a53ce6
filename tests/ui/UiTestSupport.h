#pragma once

// What the window tests share: a settings tree with the default table, an event fed by the
// timing-system simulator's race through the Gatemark script, and the main window over them.

#include <memory>
#include <vector>

#include "GatemarkMessage.h"
#include "SimRace.h"
#include "app/TZControl.h"
#include "scoring/EventRecord.h"
#include "scoring/StandaloneScorer.h"
#include "script/TSourceScript.h"
#include "sources/TInputUpdate.h"

class UiWorld {
public:
    explicit UiWorld(int runners = 60, int teams = 6) : race(GenerateRace(runners, teams, 7)) {
        script.Load(std::filesystem::path(KESTRUN_SOURCE_DIR) / "data" / "Gatemark.kss");
    }

    /// One results message with the first `finished` finishers, as the timing system sends it
    /// after each of them.
    void Finish(size_t finished) {
        GatemarkEvent info{u"Unofficial", u"Boys 5K", {}, u"7",
                           u"1",          u"2",       {}, static_cast<uint16_t>(race.RunnerCount())};
        const std::span<const GatemarkLine> lines(race.finishers.data(),
                                                  std::min(finished, race.finishers.size()));
        for (const std::string& message : EncodeGatemarkResults(info, lines))
            for (const char c : message) script.Feed(static_cast<unsigned char>(c));
    }

    std::unique_ptr<TZControl> Window() {
        return std::make_unique<TZControl>(
            TZControlSetup{.settings = &scorer.settings,
                           .event = &event,
                           .scoring = &scorer.scoring,
                           .activityLog = [this] { return activityLog; },
                           .setActivityLog = [this](bool on) { activityLog = on; },
                           .dataDisplay = [this] { return dataDisplay; },
                           .setDataDisplay = [this](bool on) { dataDisplay = on; },
                           .controlShiftHeld = [this] { return controlShift; }},
            [] {});
    }

    StandaloneScorer scorer;
    EventRecord event;
    SimRace race;
    bool activityLog = false;
    bool dataDisplay = true;
    bool controlShift = false;
    VRegisters registers{};
    TSourceScript script{registers, 1u << 20, [this](const TMessageDefinition& message) {
                             ApplyInputUpdate(event, message.Fields(), {nullptr, {}, &scorer.scoring});
                         }};
};
