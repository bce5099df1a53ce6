#include "scoring/ResultRecord.h"

#include "foundation/KBinaryData.h"
#include "foundation/KError.h"
#include "scoring/ResultList.h"

void ResultRecord::BeforeChange() {
    if (m_list) m_list->RecordBeforeChange(*this);
}

void ResultRecord::AfterChange(bool mayHaveMoved) {
    if (m_list) m_list->RecordAfterChange(*this, mayHaveMoved);
}

void ResultRecord::ChangeTime(TimeValue& field, const TimeValue& value, bool mayHaveMoved) {
    if (field.IsIdentical(value)) return;
    BeforeChange();
    field = value;
    AfterChange(mayHaveMoved);
}

void ResultRecord::ChangeInt(int32_t& field, int32_t value, bool mayHaveMoved) {
    if (field == value) return;
    BeforeChange();
    field = value;
    AfterChange(mayHaveMoved);
}

void ResultRecord::SetText(TextField field, KStringView text) {
    const int index = static_cast<int>(field);
    if (index < 0 || index >= kTextFieldCount || m_texts[index] == text) return;
    // A text decides relevance under a filter, and the lane of a runner still on the course may move it.
    const bool mayHaveMoved =
        (m_list && m_list->CurrentFilter()) || (field == TextField::Lane && IsOnCourse());
    BeforeChange();
    if (m_list) m_list->RecordTextChanging(*this, index, m_texts[index]);
    m_texts[index] = KString(text);
    if (m_list) m_list->RecordTextChanged(*this, index);
    AfterChange(mayHaveMoved);
}

void ResultRecord::SetPlace(int32_t place) {
    if (m_place == place && !(m_flags & kFlagComputedPlace)) return;
    BeforeChange();
    m_place = place;
    m_flags &= ~kFlagComputedPlace;
    // A place of the source never moves the record, but it changes the places the sort hands out.
    AfterChange(true);
}

namespace {

// A place is decimal whatever its leading zeros ("08" is 8); text after the number is ignored.
int32_t ReadPlace(KStringView text) {
    size_t pos = 0;
    while (pos < text.size() && text[pos] == u' ') ++pos;
    const bool negative = pos < text.size() && text[pos] == u'-';
    if (negative || (pos < text.size() && text[pos] == u'+')) ++pos;
    const size_t first = pos;
    int64_t value = 0;
    for (; pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9'; ++pos) {
        value = value * 10 + (text[pos] - u'0');
        if (value > INT32_MAX) return -1;
    }
    if (pos == first) return -1;
    return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace

void ResultRecord::SetPlaceFromText(KStringView text, const ResultCodeTexts& codes) {
    if (text.empty()) {
        SetPlace(-1);
        return;
    }
    if (auto code = codes.FromText(text)) {
        SetCode(*code);
        SetPlace(-1);
        return;
    }
    SetCode(ResultCode::None);
    SetPlace(ReadPlace(text));
}

void ResultRecord::SetDisplayPrecision(TickCount precision) {
    if (m_displayPrecision == precision) return;
    BeforeChange();
    m_displayPrecision = precision;
    AfterChange(false);
}

TickCount ResultRecord::EffectivePrecision() const {
    if (m_displayPrecision != TickCount{0}) return m_displayPrecision;
    return m_list ? m_list->Precision() : kTicksHundredth;
}

void ResultRecord::SetTime(const TimeValue& time, bool force) {
    if (force) {
        BeforeChange();
        m_time = time;
        m_flags |= kFlagForcedTime;
        AfterChange(true);
        return;
    }
    if (m_time.IsIdentical(time)) return;
    BeforeChange();
    m_time = time;
    m_flags &= ~kFlagForcedTime;
    AfterChange(true);
}

void ResultRecord::SetReacTime(const TimeValue& time) { ChangeTime(m_reacTime, time, false); }

void ResultRecord::SetCode(ResultCode code) {
    if (m_code == code) return;
    BeforeChange();
    m_code = code;
    AfterChange(true);
}

void ResultRecord::SetLapsToGo(int32_t laps) { ChangeInt(m_lapsToGo, laps, true); }
void ResultRecord::SetCumSplitTime(const TimeValue& time) { ChangeTime(m_cumSplitTime, time, true); }
void ResultRecord::SetLastSplitTime(const TimeValue& time) { ChangeTime(m_lastSplitTime, time, false); }
void ResultRecord::SetDeltaTime(const TimeValue& time) { ChangeTime(m_deltaTime, time, false); }
void ResultRecord::SetSpeed(const TimeValue& time) { ChangeTime(m_speed, time, false); }
void ResultRecord::SetBestSplitTime(const TimeValue& time) { ChangeTime(m_bestSplitTime, time, false); }
void ResultRecord::SetPace(const TimeValue& time) { ChangeTime(m_pace, time, false); }
void ResultRecord::SetPoints(int32_t points) { ChangeInt(m_points, points, true); }
void ResultRecord::SetNumScorers(int32_t count) { ChangeInt(m_numScorers, count, false); }
void ResultRecord::SetNumMembers(int32_t count) { ChangeInt(m_numMembers, count, true); }

int32_t ResultRecord::PlaceListEntry(size_t index) const {
    return index < m_placeList.size() ? m_placeList[index] : -1;
}

void ResultRecord::AppendPlace(int32_t place) {
    BeforeChange();
    m_placeList.push_back(place);
    AfterChange(true);
}

void ResultRecord::ClearPlaceList() {
    if (m_placeList.empty()) return;
    BeforeChange();
    m_placeList.clear();
    AfterChange(true);
}

bool ResultRecord::IsValid() const {
    return m_list && (m_code == ResultCode::None || m_code == ResultCode::Advanced);
}

bool ResultRecord::IsCoded() const { return m_list && !IsValid(); }
bool ResultRecord::IsFinished() const { return IsValid() && m_time.IsValid(); }
bool ResultRecord::IsOnCourse() const { return IsValid() && !m_time.IsValid(); }
bool ResultRecord::HasSplit() const { return IsValid() && m_cumSplitTime.IsValid(); }

int32_t ResultRecord::EffectivePlace() const {
    if (!m_list) return -1;
    return m_code == ResultCode::None ? m_place : 0;
}

KString ResultRecord::PlaceText(const ResultCodeTexts& codes) const {
    if (m_code != ResultCode::None) return KString(codes.Text(m_code));
    // Places may come from the sort, so the list's order must be current before the place is read.
    const size_t finishers = m_list ? m_list->Group(ResultGroupKind::Finished).count : 0;
    const bool shown = IsFinished() || (finishers == 0 && HasSplit());
    if (!shown || m_place < 0) return {};
    return ToKString(m_place);
}

KString ResultRecord::PointsText() const { return m_points != 0 ? ToKString(m_points) : KString(); }

KString ResultRecord::FormatTimeField(const TimeValue& time) const {
    return FormatTime(time, EffectivePrecision());
}

void ResultRecord::CopyFieldsFrom(const ResultRecord& source) {
    if (&source == this) return;
    BeforeChange();
    m_flags = source.m_flags;
    for (int i = 0; i < kTextFieldCount; ++i) {
        if (m_texts[i] == source.m_texts[i]) continue;
        if (m_list) m_list->RecordTextChanging(*this, i, m_texts[i]);
        m_texts[i] = source.m_texts[i];
        if (m_list) m_list->RecordTextChanged(*this, i);
    }
    m_place = source.m_place;
    m_displayPrecision = source.m_displayPrecision;
    m_time = source.m_time;
    m_reacTime = source.m_reacTime;
    m_code = source.m_code;
    m_lapsToGo = source.m_lapsToGo;
    m_cumSplitTime = source.m_cumSplitTime;
    m_lastSplitTime = source.m_lastSplitTime;
    m_deltaTime = source.m_deltaTime;
    m_speed = source.m_speed;
    m_bestSplitTime = source.m_bestSplitTime;
    m_points = source.m_points;
    m_numScorers = source.m_numScorers;
    m_numMembers = source.m_numMembers;
    m_pace = source.m_pace;
    m_placeList = source.m_placeList;
    AfterChange(true);
}

void ResultRecord::Store(KBinaryWriter& out) const {
    out.WriteWord(kStoreVersion);
    out.WriteWord(m_sequence);
    out.WriteWord(m_flags);
    out.WriteWord(kTextFieldCount);
    for (const KString& text : m_texts) out.WriteText(text);
    out.WriteInt(m_place);
    m_displayPrecision.Store(out);
    m_time.Store(out);
    out.WriteInt(static_cast<int32_t>(m_code));
    m_reacTime.Store(out);
    m_deltaTime.Store(out);
    m_cumSplitTime.Store(out);
    m_lastSplitTime.Store(out);
    out.WriteInt(m_lapsToGo);
    m_speed.Store(out);
    m_pace.Store(out);
    m_bestSplitTime.Store(out);
}

void ResultRecord::LoadFields(KBinaryReader& in) {
    const uint32_t version = in.ReadWord();
    if (version != kStoreVersion && version != kOldStoreVersion) throw KError(KErrorCode::kFileVersion);
    m_sequence = in.ReadWord();
    m_flags = in.ReadWord();
    const uint32_t textCount = in.ReadWord();
    if (textCount > kTextFieldCount) throw KError(KErrorCode::kFileVersion);
    for (uint32_t i = 0; i < textCount; ++i) m_texts[i] = in.ReadText();
    m_place = in.ReadInt();
    m_displayPrecision = TickCount::Load(in);
    m_time = TimeValue::Load(in);
    m_code = static_cast<ResultCode>(in.ReadInt());
    if (version == kOldStoreVersion) {
        in.Skip(6 * 4);  // six words the old layout kept here, without meaning now
    } else {
        m_reacTime = TimeValue::Load(in);
    }
    m_deltaTime = TimeValue::Load(in);
    m_cumSplitTime = TimeValue::Load(in);
    m_lastSplitTime = TimeValue::Load(in);
    m_lapsToGo = in.ReadInt();
    m_speed = TimeValue::Load(in);
    m_pace = TimeValue::Load(in);
    m_bestSplitTime = TimeValue::Load(in);
}
