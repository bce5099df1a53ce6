#pragma once

// One line of a results list: an individual result (`IndivResult`) or, in a standings list, a team line
// (`TeamStanding`). A record always belongs to the ResultList that created it; the list owns it, and the
// setters tell the list's observers before and after every change. Not synchronised: callers that share
// an event between threads hold the event's lock (see EventRecord.h).

#include <cstdint>
#include <vector>

#include "foundation/KString.h"
#include "scoring/ResultCode.h"
#include "scoring/TickCount.h"
#include "scoring/TimeValue.h"

class KBinaryReader;
class KBinaryWriter;
class ResultList;

enum class TextField : int { LastName = 0, FirstName = 1, Affiliation = 2, Lane = 3, Id = 4, License = 5 };
inline constexpr int kTextFieldCount = 6;

class ResultRecord {
public:
    static constexpr uint32_t kStoreVersion = 0x20007;
    static constexpr uint32_t kOldStoreVersion = 0x20006;
    /// Time was assigned with the force option; cleared by any ordinary change of Time.
    static constexpr uint32_t kFlagForcedTime = 1;
    /// Place was given by the last sort rather than by the source, so the next sort recomputes it.
    static constexpr uint32_t kFlagComputedPlace = 2;

    ResultRecord(const ResultRecord&) = delete;
    ResultRecord& operator=(const ResultRecord&) = delete;

    ResultList* List() const { return m_list; }
    uint32_t Sequence() const { return m_sequence; }
    uint32_t Flags() const { return m_flags; }

    const KString& Text(TextField field) const { return m_texts[static_cast<int>(field)]; }
    void SetText(TextField field, KStringView text);
    const KString& LastName() const { return Text(TextField::LastName); }
    const KString& FirstName() const { return Text(TextField::FirstName); }
    const KString& Affiliation() const { return Text(TextField::Affiliation); }
    const KString& Lane() const { return Text(TextField::Lane); }
    const KString& Id() const { return Text(TextField::Id); }
    const KString& License() const { return Text(TextField::License); }
    void SetLastName(KStringView text) { SetText(TextField::LastName, text); }
    void SetFirstName(KStringView text) { SetText(TextField::FirstName, text); }
    void SetAffiliation(KStringView text) { SetText(TextField::Affiliation, text); }
    void SetLane(KStringView text) { SetText(TextField::Lane, text); }
    void SetId(KStringView text) { SetText(TextField::Id, text); }
    void SetLicense(KStringView text) { SetText(TextField::License, text); }

    /// -1 = no place.
    int32_t Place() const { return m_place; }
    /// A place given by the source (or the team calculation); the sort keeps it.
    void SetPlace(int32_t place);
    /// A code text ("DNF") sets the code and Place -1; any other text sets code None and the text read as
    /// an integer (-1 when it is not one); an empty text only sets Place to -1.
    void SetPlaceFromText(KStringView text, const ResultCodeTexts& codes = CurrentResultCodeTexts());

    /// 0 = use the list's precision.
    TickCount DisplayPrecision() const { return m_displayPrecision; }
    void SetDisplayPrecision(TickCount precision);
    /// The record's own display precision when set, else its list's.
    TickCount EffectivePrecision() const;

    const TimeValue& Time() const { return m_time; }
    /// With `force` the time is assigned even when equal and the forced-time flag is set.
    void SetTime(const TimeValue& time, bool force = false);
    const TimeValue& ReacTime() const { return m_reacTime; }
    void SetReacTime(const TimeValue& time);
    ResultCode Code() const { return m_code; }
    void SetCode(ResultCode code);
    /// On a team line: the laps value of the runner that created it.
    int32_t LapsToGo() const { return m_lapsToGo; }
    void SetLapsToGo(int32_t laps);
    const TimeValue& CumSplitTime() const { return m_cumSplitTime; }
    void SetCumSplitTime(const TimeValue& time);
    const TimeValue& LastSplitTime() const { return m_lastSplitTime; }
    void SetLastSplitTime(const TimeValue& time);
    const TimeValue& DeltaTime() const { return m_deltaTime; }
    void SetDeltaTime(const TimeValue& time);
    const TimeValue& Speed() const { return m_speed; }
    void SetSpeed(const TimeValue& time);
    const TimeValue& BestSplitTime() const { return m_bestSplitTime; }
    void SetBestSplitTime(const TimeValue& time);
    const TimeValue& Pace() const { return m_pace; }
    void SetPace(const TimeValue& time);

    // Team line fields.
    int32_t Points() const { return m_points; }
    void SetPoints(int32_t points);
    /// Counted runners: scorers plus displacers.
    int32_t NumScorers() const { return m_numScorers; }
    void SetNumScorers(int32_t count);
    int32_t NumMembers() const { return m_numMembers; }
    void SetNumMembers(int32_t count);
    /// Overall places of the team's runners in scoring order.
    const std::vector<int32_t>& PlaceList() const { return m_placeList; }
    /// -1 beyond the end.
    int32_t PlaceListEntry(size_t index) const;
    void AppendPlace(int32_t place);
    void ClearPlaceList();

    // Derived predicates; each is false for a record whose list is gone.
    bool IsValid() const;     ///< code None or Advanced
    bool IsCoded() const;     ///< codes 1..5
    bool IsFinished() const;  ///< valid with a valid Time
    bool IsOnCourse() const;  ///< valid without a valid Time
    bool HasSplit() const;    ///< valid with a valid CumSplitTime
    /// -1 outside a list; Place with code None; 0 with any code (Advanced included).
    int32_t EffectivePlace() const;

    /// The code's text, or the number when the record is finished (or, in a list without finishers,
    /// has a split); otherwise empty.
    KString PlaceText(const ResultCodeTexts& codes = CurrentResultCodeTexts()) const;
    /// Empty for 0.
    KString PointsText() const;
    /// A time at the record's effective precision, the process-wide rounding, no minute suppression.
    KString FormatTimeField(const TimeValue& time) const;

    /// Copies every field but the sequence number (notifies once).
    void CopyFieldsFrom(const ResultRecord& source);

    /// Version 0x20007: sequence, flags, 6, the texts, Place, display precision, Time, code, ReacTime,
    /// DeltaTime, CumSplitTime, LastSplitTime, LapsToGo, Speed, Pace, BestSplitTime.
    void Store(KBinaryWriter& out) const;
    /// The smallest number of bytes a stored record takes (bounds a stored record count).
    static constexpr size_t kMinStoredSize = 4 * 4 + 4 + 6 + 20 + 4 + 20 + 3 * 20 + 4 + 3 * 20;

private:
    friend class ResultList;
    ResultRecord(ResultList* list, uint32_t sequence) : m_list(list), m_sequence(sequence) {}

    /// Reads a stored record into this fresh, unlisted-for-notification record. Throws KError(3009) for
    /// an unknown version or more than six texts, KError(3010) when the data ends early.
    void LoadFields(KBinaryReader& in);

    void BeforeChange();
    void AfterChange(bool mayHaveMoved);
    void ChangeTime(TimeValue& field, const TimeValue& value, bool mayHaveMoved);
    void ChangeInt(int32_t& field, int32_t value, bool mayHaveMoved);

    ResultList* m_list;
    uint32_t m_sequence;
    uint32_t m_flags = 0;
    KString m_texts[kTextFieldCount];
    int32_t m_place = -1;
    TickCount m_displayPrecision{0};
    TimeValue m_time;
    TimeValue m_reacTime;
    ResultCode m_code = ResultCode::None;
    int32_t m_lapsToGo = 0;
    TimeValue m_cumSplitTime;
    TimeValue m_lastSplitTime;
    TimeValue m_deltaTime;
    TimeValue m_speed;
    TimeValue m_bestSplitTime;
    int32_t m_points = 0;
    int32_t m_numScorers = 0;
    int32_t m_numMembers = 0;
    TimeValue m_pace;
    std::vector<int32_t> m_placeList;

    // Kept by the list: position in sorted order, relevance under the current filter, and this record's
    // slot in each text index bucket (so index upkeep is constant time).
    size_t m_position = 0;
    bool m_relevant = true;
    size_t m_indexSlot[kTextFieldCount] = {};
};

/// The two uses of the one record type: a line of the results list and a line of the standings list.
using IndivResult = ResultRecord;
using TeamStanding = ResultRecord;
