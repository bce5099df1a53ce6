#include "scoreboards/VScoreboards.h"

#include <ctime>

#include "scoreboards/VScoreboardConfig.h"
#include "scoring/EventRecord.h"
#include "settings/KRegistry.h"

namespace {

constexpr int64_t kHourMs = 3600 * 1000;
constexpr int kWorkerPriority = 1;

bool IsBreak(KChar c) { return c == u'\r' || c == u'\n'; }

}  // namespace

int64_t VScoreboards::LocalTimeOfDay() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return ((local.tm_hour * 60LL + local.tm_min) * 60 + local.tm_sec) * 1000 + now.tv_nsec / 1000000;
}

VScoreboards::VScoreboards(KRegistry& settings, std::filesystem::path programFolder,
                           const KStreamPrototypes& prototypes, TimeOfDaySource timeOfDay, uint32_t now)
    : m_settings(settings), m_timeOfDay(std::move(timeOfDay)) {
    m_optimize = settings.FindInt(u"\\Scoreboards\\Optimize");
    m_tod24Hour = settings.FindInt(u"\\Scoreboards\\TOD24Hour");
    for (size_t i = 0; i < VScoreboardConfig::ScoreboardCount(settings); ++i) {
        KRGroup* group = VScoreboardConfig::ScoreboardGroup(settings, i);
        if (group == nullptr) continue;
        if (auto board = VScoreboard::Load(settings, *group, programFolder, prototypes, now))
            m_boards.push_back(std::move(board));
    }
    ApplyResultsReleased();
}

VScoreboards::~VScoreboards() { Stop(); }

bool VScoreboards::StartWorker() {
    if (!Start(VScoreboardConfig::Period(m_settings), kWorkerPriority)) return false;
    Resume();
    return true;
}

void VScoreboards::ApplyResultsReleased() {
    const int32_t mode = VScoreboardConfig::ReadInt(m_settings, u"\\Scoreboards\\ResultsReleased", 1);
    if (mode == 0) m_resultsReleased = false;
    if (mode == 2) m_resultsReleased = true;
}

TimeValue VScoreboards::TimeOfDay() const {
    int64_t ms = m_timeOfDay ? m_timeOfDay() : 0;
    if (ms < 0) return {};
    // 12:xx stays 12 and 0:xx stays 0; 13:00 and later read one to eleven.
    if ((m_tod24Hour == nullptr || m_tod24Hour->Value() != 1) && ms >= 13 * kHourMs) ms -= 12 * kHourMs;
    return TimeValue(TickCount::FromInt64(ms * kTicksMillisecond.Value()), kTicksThousandth);
}

void VScoreboards::RefreshSnapshot() {
    const uint32_t counter = m_event->ChangeCount();
    if (m_snapshotEvent == m_event && counter == m_snapshotCounter) return;
    VEventSnapshot& s = m_snapshot;
    s.official = m_event->Standings().IsOfficial();
    s.name = m_event->Name();
    s.eventNumber = m_event->EventNumber();
    s.roundNumber = m_event->RoundNumber();
    s.heatNumber = m_event->HeatNumber();
    s.wind.reset();
    if (!m_event->Wind().empty()) {
        size_t pos = 0;
        const auto number = ParseInteger(m_event->Wind(), pos);
        s.wind = VWindReading{true, m_event->Wind(), {}, static_cast<int32_t>(number.value_or(0))};
    }
    m_snapshotEvent = m_event;
    m_snapshotCounter = counter;
}

void VScoreboards::RunPeriod(uint32_t now) {
    std::lock_guard lock(m_mutex);
    if (m_event != nullptr) {
        m_event->Lock();
        RefreshSnapshot();
    }
    VScoreboardPeriod period;
    period.now = now;
    period.timeOfDay = TimeOfDay();
    period.showTimeOfDay = m_showTimeOfDay;
    period.event = m_event;
    period.snapshot = m_event != nullptr ? &m_snapshot : nullptr;
    period.messageLines = &m_messageLines;
    period.resultsReleased = m_resultsReleased;
    period.optimize = m_optimize != nullptr ? m_optimize->Value() : 1;
    for (auto& board : m_boards) {
        period.initialize = std::exchange(m_initializeRequest, false);
        period.message = m_messageRequest;
        board->Update(period);
    }
    m_messageRequest = false;
    if (m_event != nullptr) m_event->Unlock();
    // Each board knows whether its update is waiting for the end of the period.
    if (period.optimize == 1)
        for (auto& board : m_boards) board->WriteReady();
}

void VScoreboards::RequestInitialize() {
    std::lock_guard lock(m_mutex);
    m_initializeRequest = true;
}

void VScoreboards::Refresh() {
    std::lock_guard lock(m_mutex);
    for (const auto& board : m_boards) board->Refresh();
}

void VScoreboards::SetShowTimeOfDay(bool show) {
    std::lock_guard lock(m_mutex);
    m_showTimeOfDay = show;
}

bool VScoreboards::ShowTimeOfDay() const {
    std::lock_guard lock(m_mutex);
    return m_showTimeOfDay;
}

void VScoreboards::SetUse24Hour(bool on) {
    if (m_tod24Hour == nullptr) {
        auto* created = dynamic_cast<KRInt*>(m_settings.Define(u"\\Scoreboards\\TOD24Hour:Int=0"));
        std::lock_guard lock(m_mutex);  // the worker reads the pointer every period
        m_tod24Hour = created;
    }
    if (m_tod24Hour != nullptr) m_tod24Hour->SetValue(on ? 1 : 0);
}

bool VScoreboards::Use24Hour() const { return m_tod24Hour != nullptr && m_tod24Hour->Value() == 1; }

void VScoreboards::SendMessage() {
    std::lock_guard lock(m_mutex);
    m_messageRequest = true;
}

KString VScoreboards::GetMessageText() const {
    std::lock_guard lock(m_mutex);
    KString text;
    for (const KString& line : m_messageLines) text += line + u"\r\n";
    return text;
}

void VScoreboards::SetMessageText(KStringView text) {
    std::vector<KString> lines = SplitMessageText(text);
    std::lock_guard lock(m_mutex);
    m_messageLines = std::move(lines);
}

std::vector<KString> VScoreboards::SplitMessageText(KStringView text) {
    std::vector<KString> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = pos;
        while (end < text.size() && !IsBreak(text[end])) ++end;
        lines.emplace_back(text.substr(pos, end - pos));
        if (end == text.size()) break;
        const KChar brk = text[end];
        pos = end + 1;
        // CR LF and LF CR are one break; CR CR and LF LF are two.
        if (pos < text.size() && IsBreak(text[pos]) && text[pos] != brk) ++pos;
    }
    return lines;
}

bool VScoreboards::ResultsReleased() const {
    std::lock_guard lock(m_mutex);
    return m_resultsReleased;
}

void VScoreboards::SetResultsReleased(bool released) {
    std::lock_guard lock(m_mutex);
    m_resultsReleased = released;
}

void VScoreboards::AttachEvent(EventRecord* event) {
    std::lock_guard lock(m_mutex);
    if (event == m_event) return;
    if (m_event != nullptr) ApplyResultsReleased();  // the current event is detached first
    m_event = event;
    m_snapshotEvent = nullptr;
    m_snapshot = VEventSnapshot{};
    for (const auto& board : m_boards) board->ResetListPosition();
}

void VScoreboards::DetachEvent(EventRecord* event) {
    std::lock_guard lock(m_mutex);
    if (event == nullptr || event != m_event) return;
    m_event = nullptr;
    ApplyResultsReleased();
    m_snapshotEvent = nullptr;
    m_snapshot = VEventSnapshot{};
}

EventRecord* VScoreboards::Event() const {
    std::lock_guard lock(m_mutex);
    return m_event;
}

VScoreboards::Status VScoreboards::StatusOf(const KRGroup& group) const {
    for (const auto& board : m_boards) {
        if (&board->Group() == &group) return board->IsPortOpen() ? Status::Running : Status::NotRunning;
    }
    return Status::NotLoaded;
}
