// Reads any bytes as a scoreboard script and runs every page of every section against an update
// that has all its data: reading and running end, and no output line exceeds the expansion limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FuzzInputFile.h"
#include "scoring/EventRecord.h"
#include "script/VScoreboardScript.h"

namespace {

class CountingHost : public VScriptHost {
public:
    const VScriptSettings& ScriptSettings() override { return settings; }
    uint32_t Tick() override { return now += 300; }
    void Output(KStringView line) override {
        // A line of the input, each "%s" made twelve characters, then expanded.
        if (line.size() > 6 * 4096 + kMaxExpansionGrowth) std::abort();
    }
    VScriptSettings settings;
    uint32_t now = 0;
};

struct Update {
    Update() {
        ResultRecord& runner = *event.Results().Add();
        runner.SetLastName(u"Lee");
        runner.SetAffiliation(u"Northfield");
        runner.SetTime(TimeValue(kTicksSecond * 75 + kTicksHundredth * 43, kTicksHundredth));
        snapshot.name = u"Girls 5K";
        snapshot.wind = VWindReading{true, u"1.2", u"m/s", 12};
        snapshot.distanceNumerator = 7;
        snapshot.distanceDenominator = 2;
        record.time = TimeValue(kTicksSecond * 3725 + kTicksTenth * 5, kTicksTenth);
        record.wind = snapshot.wind;
        record.event = &event;
        record.list = &event.Results();
        record.record = &runner;
        record.messageLine = &message;
        record.snapshot = &snapshot;
    }
    EventRecord event;
    VEventSnapshot snapshot;
    KString message = u"Welcome";
    VUpdateRecord record;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzInputFile input;
    static Update update;
    input.Write(data, size);
    VScoreboardScript script;
    script.Load(input.path);
    CountingHost host;
    host.settings.suppressMinute = 1;
    for (int slot = 0; slot < VScoreboardScript::kSlotCount; ++slot) {
        if (const VScoreboardScript::VSSSection* section = script.Section(slot))
            for (const VScoreboardScript::VSSPage& page : section->Pages())
                script.Run(page, update.record, host);
    }
    return 0;
}
