#include "sources/TInputUpdate.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <vector>

#include "foundation/KLog.h"
#include "scoring/EventRecord.h"
#include "scoring/TeamScoring.h"
#include "scoring/TimeValue.h"
#include "script/TSourceScript.h"

namespace {

enum class FieldKind {
    // Event information.
    Official,
    EventName,
    Wind,
    EventNumber,
    RoundNumber,
    HeatNumber,
    StartType,
    NumberOfParticipants,
    // The pending result line.
    Place,
    Lane,
    Id,
    Name,
    Affiliation,
    License,
    Time,
    DeltaTime,
    CumulativeSplitTime,
    LastSplitTime,
    ReacTime,
    Speed,
    Pace,
    BestSplitTime,
    Laps,
    Other,
};

struct NamedKind {
    KStringView name;
    FieldKind kind;
};

constexpr std::array kFieldNames = {
    NamedKind{u"Official", FieldKind::Official},
    NamedKind{u"EventName", FieldKind::EventName},
    NamedKind{u"Wind", FieldKind::Wind},
    NamedKind{u"EventNumber", FieldKind::EventNumber},
    NamedKind{u"RoundNumber", FieldKind::RoundNumber},
    NamedKind{u"HeatNumber", FieldKind::HeatNumber},
    NamedKind{u"StartType", FieldKind::StartType},
    NamedKind{u"NumberOfParticipants", FieldKind::NumberOfParticipants},
    NamedKind{u"Place", FieldKind::Place},
    NamedKind{u"Lane", FieldKind::Lane},
    NamedKind{u"Id", FieldKind::Id},
    NamedKind{u"Name", FieldKind::Name},
    NamedKind{u"Affiliation", FieldKind::Affiliation},
    NamedKind{u"License", FieldKind::License},
    NamedKind{u"Time", FieldKind::Time},
    NamedKind{u"DeltaTime", FieldKind::DeltaTime},
    NamedKind{u"CumulativeSplitTime", FieldKind::CumulativeSplitTime},
    NamedKind{u"LastSplitTime", FieldKind::LastSplitTime},
    NamedKind{u"ReacTime", FieldKind::ReacTime},
    NamedKind{u"Speed", FieldKind::Speed},
    NamedKind{u"Pace", FieldKind::Pace},
    NamedKind{u"BestSplitTime", FieldKind::BestSplitTime},
    NamedKind{u"Laps", FieldKind::Laps},
};

FieldKind KindOf(KStringView name) {
    // Called for every field of every line: only the names of the same length are compared.
    constexpr size_t kLongest = [] {
        size_t longest = 0;
        for (const NamedKind& entry : kFieldNames) longest = std::max(longest, entry.name.size());
        return longest;
    }();
    static const auto kByLength = [] {
        std::array<std::vector<NamedKind>, kLongest + 1> table;
        for (const NamedKind& entry : kFieldNames) table[entry.name.size()].push_back(entry);
        return table;
    }();
    if (name.size() >= kByLength.size()) return FieldKind::Other;
    for (const NamedKind& entry : kByLength[name.size()]) {
        if (entry.name == name) return entry.kind;
    }
    return FieldKind::Other;
}

bool IsBlank(KChar c) { return c == u' ' || c == u'\t'; }

/// An integer with C-like prefixes after optional blanks; nothing when there is no digit.
std::optional<long long> ReadInteger(KStringView text) {
    size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    return ParseInteger(text, pos);
}

/// Empty or unreadable: no time.
TimeValue ReadTime(KStringView text) { return ParseTime(text).value_or(TimeValue()); }

/// The next word of `text` from `pos` on, skipping blanks; empty at the end.
KStringView NextWord(KStringView text, size_t& pos) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    const size_t start = pos;
    while (pos < text.size() && !IsBlank(text[pos])) ++pos;
    return text.substr(start, pos - start);
}

/// A result line as the fields of one update fill it. The texts are views into the update's
/// fields, which outlive it, and are emptied after each line; the times carry over to the next
/// line of the same update.
struct PendingLine {
    KStringView place, lane, id, lastName, firstName, affiliation, license;
    TimeValue time, deltaTime, cumSplitTime, lastSplitTime, reacTime, speed, pace, bestSplitTime;

    /// Two or more words: the first is the first name, the rest the last name ("Mary Van Dyke"
    /// keeps "Van Dyke" rather than losing a word); one word is the last name alone.
    void SetName(KStringView text) {
        size_t pos = 0;
        const KStringView first = NextWord(text, pos);
        const KStringView last = Trim(text.substr(pos), u" \t");
        firstName = last.empty() ? KStringView() : first;
        lastName = last.empty() ? first : last;
    }
    void ClearTexts() {
        for (KStringView* text : {&place, &lane, &id, &lastName, &firstName, &affiliation, &license})
            *text = {};
    }
};

void CompleteLine(ResultList& results, const PendingLine& line, int32_t laps) {
    if (ResultRecord* found = results.Find(TextField::Id, line.id)) {
        found->SetPlaceFromText(line.place);
        found->SetTime(line.time);
        found->SetCumSplitTime(line.cumSplitTime);
        found->SetDeltaTime(line.deltaTime);
        found->SetLapsToGo(laps);
        return;
    }
    ResultRecord* added = results.Add();
    added->SetPlaceFromText(line.place);
    added->SetLane(line.lane);
    added->SetId(line.id);
    added->SetLastName(line.lastName);
    added->SetFirstName(line.firstName);
    added->SetAffiliation(line.affiliation);
    added->SetTime(line.time);
    added->SetDeltaTime(line.deltaTime);
    added->SetCumSplitTime(line.cumSplitTime);
    added->SetLastSplitTime(line.lastSplitTime);
    added->SetLapsToGo(laps);
    added->SetLicense(line.license);
    added->SetReacTime(line.reacTime);
    added->SetSpeed(line.speed);
    added->SetPace(line.pace);
    added->SetBestSplitTime(line.bestSplitTime);
}

uint16_t ReadParticipants(KStringView text) {
    // Unreadable is -1, which the 16-bit count holds as 65535; a count beyond it is held as the
    // largest rather than wrapped to a small, wrong number.
    const std::optional<long long> count = ReadInteger(text);
    if (!count || *count < 0 || *count > std::numeric_limits<uint16_t>::max()) {
        return std::numeric_limits<uint16_t>::max();
    }
    return static_cast<uint16_t>(*count);
}

int32_t ReadLaps(KStringView text) {
    const std::optional<long long> laps = ReadInteger(text);
    if (!laps) return 0;
    return static_cast<int32_t>(std::clamp<long long>(*laps, std::numeric_limits<int32_t>::min(),
                                                      std::numeric_limits<int32_t>::max()));
}

class UpdateLog {
public:
    explicit UpdateLog(const TInputUpdateContext& context)
        : m_log(context.log), m_on(m_log != nullptr && (!context.logEnabled || context.logEnabled())) {}
    bool On() const { return m_on; }
    void Line(KStringView text) const {
        if (m_on) m_log->LogMain(text);
    }

private:
    KLog* m_log;
    bool m_on;
};

void LogResults(const UpdateLog& log, EventRecord& event) {
    if (!log.On()) return;
    log.Line(u"End Input Update");
    log.Line(u"Input Data:");
    log.Line(u"NumParticipants=" + ToKString(event.NumParticipants()) + u",");
    log.Line(u"(Place,Id,Affil,Time,Cum.Time)");
    KString line;
    for (ResultRecord& result : event.Results().Sorted()) {
        line = ToKString(result.Code() != ResultCode::None ? 0 : result.Place());
        line += u',';
        line += result.Id();
        line += u',';
        line += result.Affiliation();
        line += u',';
        line += result.FormatTimeField(result.Time());
        line += u',';
        line += result.FormatTimeField(result.CumSplitTime());
        line += u',';
        log.Line(line);
    }
}

}  // namespace

void ApplyInputUpdate(EventRecord& event, const std::vector<TFieldSpec>& fields,
                      const TInputUpdateContext& context) {
    // The scoreboard thread reads the event under this lock; it sees the event before the update or
    // after it, never half-way. The end notice goes out even when the update is cut short.
    EventRecord::ScopedLock lock(event);
    event.BeginUpdate();
    struct EndNotice {
        EventRecord& event;
        ~EndNotice() { event.EndUpdate(); }
    } endNotice{event};

    ResultList& results = event.Results();
    bool discarded = event.IsFirstUpdate();
    if (discarded) {
        results.Clear();
        event.SetFirstUpdate(false);
    }
    const KString storedName = event.Name();

    const UpdateLog log(context);
    log.Line(u"Start Input Update");

    // The results go before any line is applied when some "EventName" differs from the stored
    // name. Rather than walk a long update twice to find out, the fields are applied at once; a
    // differing name met on the way empties the results and applies the update again from its
    // start, which ends the same.
    PendingLine line;
    for (size_t i = 0; i < fields.size(); ++i) {
        const TFieldSpec& field = fields[i];
        const KStringView value = field.value;
        const FieldKind kind = KindOf(field.text);
        if (kind == FieldKind::EventName && !discarded && value != storedName) {
            discarded = true;
            results.Clear();
            line = PendingLine();
            i = static_cast<size_t>(-1);
            continue;
        }
        switch (kind) {
            case FieldKind::Official:
                event.SetOfficial(value);
                break;
            case FieldKind::EventName:
                event.SetName(value);
                break;
            case FieldKind::Wind:
                event.SetWind(value);
                break;
            case FieldKind::EventNumber:
                event.SetEventNumber(value);
                break;
            case FieldKind::RoundNumber:
                event.SetRoundNumber(value);
                break;
            case FieldKind::HeatNumber:
                event.SetHeatNumber(value);
                break;
            case FieldKind::StartType:
                event.SetStartType(value);
                break;
            case FieldKind::NumberOfParticipants:
                event.SetNumParticipants(ReadParticipants(value));
                if (event.NumParticipants() == 0) results.Clear();
                break;
            case FieldKind::Place:
                line.place = value;
                break;
            case FieldKind::Lane:
                line.lane = value;
                break;
            case FieldKind::Id:
                line.id = value;
                break;
            case FieldKind::Name:
                line.SetName(value);
                break;
            case FieldKind::Affiliation:
                line.affiliation = value;
                break;
            case FieldKind::License:
                line.license = value;
                break;
            case FieldKind::Time:
                line.time = ReadTime(value);
                break;
            case FieldKind::DeltaTime:
                line.deltaTime = ReadTime(value);
                break;
            case FieldKind::CumulativeSplitTime:
                line.cumSplitTime = ReadTime(value);
                break;
            case FieldKind::LastSplitTime:
                line.lastSplitTime = ReadTime(value);
                break;
            case FieldKind::ReacTime:
                line.reacTime = ReadTime(value);
                break;
            case FieldKind::Speed:
                line.speed = ReadTime(value);
                break;
            case FieldKind::Pace:
                line.pace = ReadTime(value);
                break;
            case FieldKind::BestSplitTime:
                line.bestSplitTime = ReadTime(value);
                break;
            case FieldKind::Laps:
                CompleteLine(results, line, ReadLaps(value));
                line.ClearTexts();
                break;
            case FieldKind::Other:
                break;
        }
    }

    LogResults(log, event);
    if (context.scoring != nullptr) context.scoring->CalculateStandings(event, false);
    event.Standings().SetOfficial(false);
}
