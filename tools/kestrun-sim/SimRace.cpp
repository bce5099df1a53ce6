#include "SimRace.h"

#include <array>
#include <cmath>
#include <random>

#include "ScoreCommand.h"
#include "scoring/EventRecord.h"

namespace {

KString TimeText(const TimeValue& time) {
    // At its own precision, the text reads back as the same time.
    return FormatTime(time, time.GetPrecision(), RoundMethod::Round);
}

GatemarkLine LineOf(ResultRecord& result) {
    GatemarkLine line;
    line.place = result.PlaceText();
    line.id = result.Id().empty() ? u"#" + ToKString(result.Sequence() + 1LL) : result.Id();
    line.name =
        result.FirstName().empty() ? result.LastName() : result.FirstName() + u' ' + result.LastName();
    line.affiliation = result.Affiliation();
    line.time = TimeText(result.Time());
    line.cumulativeSplitTime = TimeText(result.CumSplitTime());
    line.lastSplitTime = TimeText(result.LastSplitTime());
    line.laps = ToKString(result.LapsToGo());
    return line;
}

}  // namespace

SimRace RaceFromEvent(EventRecord& event) {
    SimRace race;
    EventRecord::ScopedLock lock(event);
    const ResultRecord* leader = nullptr;
    for (ResultRecord& result : event.Results().Sorted()) {
        GatemarkLine line = LineOf(result);
        if (!result.IsFinished() || result.Code() != ResultCode::None) {
            race.others.push_back(std::move(line));
            continue;
        }
        if (leader == nullptr) {
            leader = &result;
        } else {
            line.deltaTime = TimeText(result.Time() - leader->Time());
        }
        race.finishers.push_back(std::move(line));
        race.finishTimes.push_back(result.Time());
    }
    return race;
}

SimRace ReadRace(std::istream& in) {
    EventRecord event;
    LoadResultsCsv(in, event, CurrentResultCodeTexts());
    return RaceFromEvent(event);
}

SimRace GenerateRace(int runners, int teams, uint64_t seed) {
    static constexpr std::array kTeams = {
        u"Northfield",  u"Riverside",   u"Lakeview",    u"Hillcrest",  u"Oakridge",    u"Westbrook",
        u"Pine Hollow", u"Eastgate",    u"Stonebridge", u"Maple Park", u"Cedar Falls", u"Brookside",
        u"Fairhaven",   u"Granite Bay", u"Highland",    u"Kingsport",  u"Millbrook",   u"Summit",
    };
    static constexpr std::array kFirst = {u"Ann", u"Bo",  u"Cy",   u"Dee", u"Eli", u"Flo", u"Gus", u"Hal",
                                          u"Ivy", u"Jo",  u"Kai",  u"Lu",  u"Mo",  u"Ned", u"Oz",  u"Pia",
                                          u"Rae", u"Sam", u"Tess", u"Uma", u"Vic", u"Wes", u"Xan", u"Zoe"};
    static constexpr std::array kLast = {u"Lee",  u"Kim",   u"Park", u"Fox",  u"Ray",  u"Hart", u"Oh",
                                         u"Ng",   u"Tan",   u"Wu",   u"Do",   u"Yi",   u"Le",   u"Po",
                                         u"Qi",   u"Su",    u"Vo",   u"Xu",   u"Moss", u"Reed", u"Shaw",
                                         u"Webb", u"Young", u"Cole", u"Dunn", u"Ford", u"Gray", u"Hale"};
    std::mt19937_64 random(seed);
    // The library's distributions differ between standard libraries; these do not.
    const auto pick = [&random](size_t count) { return static_cast<size_t>(random() % count); };
    const auto uniform = [&random] { return static_cast<double>(random() >> 11) * 0x1.0p-53; };

    std::vector<double> strength(static_cast<size_t>(std::max(teams, 1)));
    for (double& s : strength) s = (uniform() - 0.5) * 90.0;  // a team's seconds on the average

    EventRecord event;
    for (int i = 0; i < runners; ++i) {
        ResultRecord* result = event.Results().Add();
        const size_t team = static_cast<size_t>(i) % strength.size();
        result->SetId(ToKString(101 + i));
        result->SetFirstName(kFirst[pick(kFirst.size())]);
        result->SetLastName(kLast[pick(kLast.size())]);
        const bool unattached = uniform() < 0.03;
        result->SetAffiliation(unattached ? KString(u"UNA")
                               : team < kTeams.size()
                                   ? KString(kTeams[team])
                                   : u"Team " + ToKString(static_cast<long long>(team) + 1));
        if (uniform() < 0.02) {
            result->SetPlaceFromText(u"DNF");
            continue;
        }
        // About 17:00 for 5 km, spread like a sum of uniforms (close to normal), none under 14:00.
        const double spread = (uniform() + uniform() + uniform() + uniform() - 2.0) * 75.0;
        const double seconds = std::max(840.0, 1020.0 + (unattached ? 0.0 : strength[team]) + spread);
        const auto hundredths = static_cast<int64_t>(std::llround(seconds * 100.0));
        result->SetTime(
            TimeValue(TickCount::FromInt64(hundredths * kTicksHundredth.Value()), kTicksHundredth));
    }
    return RaceFromEvent(event);
}
