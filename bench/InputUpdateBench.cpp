// A full results message of 500 and of 5,000 result lines, fed character by character through the
// project's Gatemark script (read from the source tree), applied to the event and followed by the
// unofficial team standings: the cost of one update as the sources pay it after each finisher.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>

#include "foundation/KTextFile.h"
#include "scoring/EventRecord.h"
#include "scoring/StandaloneScorer.h"
#include "script/TSourceScript.h"
#include "sources/TInputUpdate.h"

namespace {

const std::filesystem::path kScript =
    std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / "Gatemark.kss";

KString TimeText(int hundredths) {
    const int seconds = hundredths / 100;
    KString text = ToKString(seconds / 60) + u":" + (seconds % 60 < 10 ? u"0" : u"") +
                   ToKString(seconds % 60) + u"." + (hundredths % 100 < 10 ? u"0" : u"") +
                   ToKString(hundredths % 100);
    return text;
}

/// The value a field of result line `line` (0 for the event fields) carries.
KString Value(KStringView name, int line, int lines) {
    const int time = 15 * 6000 + line * 37;  // hundredths: 15 minutes and a finisher every 0.37 s
    if (name == u"EventName") return u"Boys 5K Championship";
    if (name == u"Official") return u"Unofficial";
    if (name == u"NumberOfParticipants") return ToKString(lines);
    if (name == u"Place" || name == u"Lane") return ToKString(line);
    if (name == u"Id") return ToKString(1000 + line);
    if (name == u"Name") return u"Runner" + ToKString(line) + u" Family" + ToKString(line % 97);
    if (name == u"Affiliation") return u"School " + ToKString(line % (lines / 10 + 1));
    if (name == u"Time" || name == u"CumulativeSplitTime") return TimeText(time);
    if (name == u"DeltaTime") return TimeText(line * 37);
    if (name == u"LastSplitTime") return TimeText(time / 3);
    if (name == u"Laps") return u"0";
    return {};
}

/// The fields of the script's first definition as its statements give them: name, stop text
/// (escapes expanded) and whether the field repeats per result line.
struct ScriptField {
    KString name;
    KString stop;
    bool repeat;
};
std::vector<ScriptField> ScriptFields(VRegisters& registers) {
    std::vector<ScriptField> fields;
    KTextReader reader(kScript, KCharMode::Detect);
    for (KString line; reader.ReadLine(line);) {
        const bool repeat = StartsWithNoCase(line, u"textfieldrepeat=");
        if (!repeat && !StartsWithNoCase(line, u"textfield=")) continue;
        const size_t nameStart = line.find(u'=') + 1;
        const size_t comma = line.find(u',', nameStart);
        ScriptField field{line.substr(nameStart, comma - nameStart), {}, repeat};
        if (const size_t stop = line.find(u"stop=", nameStart); stop != KString::npos) {
            ProcessValue(KStringView(line).substr(stop + 5), {}, field.stop, registers);
        }
        fields.push_back(std::move(field));
    }
    return fields;
}

/// A message with `lines` result lines, each field's value followed by its stop text, between the
/// definition's header and trailer.
KString Message(TMessageDefinition& definition, const std::vector<ScriptField>& fields, int lines) {
    KString message = definition.Header().text;
    for (const ScriptField& field : fields) {
        if (!field.repeat) message += Value(field.name, 0, lines) + field.stop;
    }
    for (int line = 1; line <= lines; ++line) {
        for (const ScriptField& field : fields) {
            if (field.repeat) message += Value(field.name, line, lines) + field.stop;
        }
    }
    return message + definition.Trailer().text;
}

void BM_InputUpdate(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    StandaloneScorer scorer;
    EventRecord event;
    const TInputUpdateContext context{.log = nullptr, .logEnabled = {}, .scoring = &scorer.scoring};
    VRegisters registers{};
    size_t updates = 0;
    TSourceScript script(registers, 1u << 20, [&](const TMessageDefinition& message) {
        ApplyInputUpdate(event, message.Fields(), context);
        ++updates;
    });
    if (!script.Load(kScript) || script.Definitions().empty()) {
        state.SkipWithError("data/Gatemark.kss cannot be read");
        return;
    }
    const KString message = Message(*script.Definitions().front(), ScriptFields(registers), lines);
    for (const KChar c : message) script.Feed(c);  // the first update fills the event
    if (updates != 1 || event.Results().Size() != static_cast<size_t>(lines)) {
        state.SkipWithError("the message does not cut into the expected results");
        return;
    }
    for (auto _ : state) {
        for (const KChar c : message) script.Feed(c);
    }
    benchmark::DoNotOptimize(updates);
    state.counters["lines"] = lines;
    state.counters["per line"] =
        benchmark::Counter(static_cast<double>(lines),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_InputUpdate)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
