#include "scoreboards/VScoreboard.h"

#include <algorithm>

#include "foundation/KError.h"
#include "foundation/KFindFile.h"
#include "ports/KPortSpec.h"
#include "ports/KStreamFactory.h"
#include "ports/KTCPSocket.h"
#include "scoreboards/VScoreboardConfig.h"
#include "scoring/EventRecord.h"
#include "settings/KRegistry.h"

namespace {

constexpr uint32_t kFirstWriteAge = 100000;
// A mistyped PageSize must not make one page of two billion blank lines; no board shows more.
constexpr int32_t kMaxPageLines = 1000;

// A signed view of a wrapping tick difference: negative while `due` lies ahead of `now`.
bool Reached(uint32_t now, uint32_t due) { return static_cast<int32_t>(now - due) >= 0; }

KString ScoreboardText(KRegistry& settings, KRGroup& group, KStringView key) {
    if (const KRString* own = group.FindString(key)) return own->Value();
    return settings.GetText(u"\\Strings\\Scoreboards\\" + KString(key));
}

}  // namespace

std::unique_ptr<VScoreboard> VScoreboard::Load(KRegistry& settings, KRGroup& group,
                                               const std::filesystem::path& programFolder,
                                               const KStreamPrototypes& prototypes, uint32_t now) {
    KRString* script = group.FindString(u"Script");
    KRString* port = group.FindString(u"SerialPort");
    if (group.FindString(u"Name") == nullptr || script == nullptr || port == nullptr) return nullptr;
    VScoreboardConfig::UpgradeScoreboard(group);
    std::unique_ptr<VScoreboard> board(
        new VScoreboard(group, *script, *port, programFolder, prototypes, now));
    Keys& k = board->m_keys;
    const std::pair<KRInt**, KStringView> ints[] = {
        {&k.charMode, u"CharMode"},
        {&k.minUpdateDelay, u"MinUpdateDelay"},
        {&k.updateHold, u"UpdateHold"},
        {&k.timeMode, u"TimeMode"},
        {&k.timeAdjust, u"TimeAdjust"},
        {&k.timeNoDelay, u"TimeNoDelay"},
        {&k.resultsMode, u"ResultsMode"},
        {&k.pageMode, u"PageMode"},
        {&k.pageSize, u"PageSize"},
        {&k.pageMax, u"PageMax"},
        {&k.pageMask, u"PageMask"},
        {&k.pageTime, u"PageTime"},
        {&k.timePrecision, u"TimePrecision"},
        {&k.suppressMinute, u"SuppressMinute"},
        {&k.suppressCutoff, u"SuppressCutoff"},
        {&k.filter, u"Filter"},
    };
    for (const auto& [key, name] : ints) *key = group.FindInt(name);
    k.includeFirst = group.FindBool(u"IncludeFirst");
    k.affilAbbr = group.FindBool(u"AffilAbbr");
    k.minRunners = settings.FindInt(u"\\Scoring\\MinRunners");
    VScriptSettings& s = board->m_scriptSettings;
    const std::pair<KString*, KStringView> texts[] = {
        {&s.official, u"Official"},
        {&s.unofficial, u"Unofficial"},
        {&s.noWind, u"NoWind"},
        {&s.automaticStart, u"AutomaticStart"},
        {&s.manualStart, u"ManualStart"},
        {&s.clockArmed, u"ClockArmed"},
        {&s.clockRunning, u"ClockRunning"},
    };
    for (const auto& [text, key] : texts) *text = ScoreboardText(settings, group, key);
    board->m_capacity =
        static_cast<size_t>(std::clamp(VScoreboardConfig::ReadInt(settings, u"\\Scoreboards\\PortBuffer",
                                                                  VScoreboardConfig::kDefaultPortBuffer),
                                       1, 1 << 20));

    VScoreboard* self = board.get();
    std::lock_guard lock(self->m_mutex);
    self->LoadScript(script->Value());
    script->SetSetter([self](KRString& node, KString value) {
        if (value == node.Value()) return;
        node.StoreValue(value);
        std::lock_guard relock(self->m_mutex);
        self->LoadScript(value);
    });
    self->OpenPort(port->Value());
    port->SetSetter([self](KRString& node, KString value) {
        if (value == node.Value()) return;
        node.StoreValue(value);
        std::lock_guard relock(self->m_mutex);
        self->OpenPort(value);
    });
    return board;
}

VScoreboard::VScoreboard(KRGroup& group, KRString& script, KRString& port,
                         const std::filesystem::path& programFolder, const KStreamPrototypes& prototypes,
                         uint32_t now)
    : m_group(group),
      m_scriptKey(script),
      m_portKey(port),
      m_programFolder(programFolder),
      m_prototypes(prototypes),
      m_capacity(VScoreboardConfig::kDefaultPortBuffer),
      m_tick(now),
      m_lastWrite(now - kFirstWriteAge) {}

VScoreboard::~VScoreboard() {
    m_scriptKey.SetSetter({});
    m_portKey.SetSetter({});
    std::lock_guard lock(m_mutex);
    m_port.reset();
}

KString VScoreboard::Name() const { return m_group.GetText(u"Name"); }

bool VScoreboard::IsPortOpen() {
    std::lock_guard lock(m_mutex);
    return m_port != nullptr && m_port->IsOpen();
}

void VScoreboard::LoadScript(const KString& name) {
    std::filesystem::path path = KFindFile(m_programFolder, name);
    if (path.empty()) path = m_programFolder / ToPath(name);
    VScoreboardScript::Load(path);  // a missing file leaves an empty script: nothing is sent
}

void VScoreboard::OpenPort(const KString& spec) {
    m_port = MakeStream(m_prototypes, spec, std::move(m_port));
    if (m_port != nullptr) m_port->Open(spec);
    m_portWasOpen = false;
}

int32_t VScoreboard::Int(const KRInt* key, int32_t absent) const {
    return key != nullptr ? key->Value() : absent;
}

const VScriptSettings& VScoreboard::ScriptSettings() {
    VScriptSettings& s = m_scriptSettings;
    s.includeFirst = m_keys.includeFirst != nullptr && m_keys.includeFirst->Value();
    s.affilAbbr = m_keys.affilAbbr != nullptr && m_keys.affilAbbr->Value();
    s.timePrecision = Int(m_keys.timePrecision, 0);
    s.suppressMinute = Int(m_keys.suppressMinute, 0);
    s.suppressCutoff = Int(m_keys.suppressCutoff, 0);
    s.filter = Int(m_keys.filter, 0);
    s.minRunners = Int(m_keys.minRunners, 5);
    return s;
}

void VScoreboard::Output(KStringView line) {
    if (m_directOutput) {
        Write(line);
        return;
    }
    // Bounded like the port's buffer: what does not fit is not sent.
    m_pending.append(line.substr(0, m_capacity - std::min(m_capacity, m_pending.size())));
}

bool VScoreboard::Write(KStringView text) {
    if (m_port == nullptr || text.empty()) return m_port != nullptr;
    m_bytes.clear();
    const int32_t mode = Int(m_keys.charMode, 0);
    if (mode == 2) {
        m_bytes = ToUtf8(text);
    } else if (mode == 1) {
        const bool big = m_port->IsBigEndian();
        for (const KChar c : text) {
            m_bytes += static_cast<char>(big ? c >> 8 : c & 0xFF);
            m_bytes += static_cast<char>(big ? c & 0xFF : c >> 8);
        }
    } else {
        for (const KChar c : text) m_bytes += static_cast<char>(c & 0xFF);
    }
    try {
        m_port->Write(reinterpret_cast<const uint8_t*>(m_bytes.data()), m_bytes.size());
        return true;
    } catch (const KError&) {
        // A board that did not get this text must not have its next copy of it suppressed.
        m_lastOutput.clear();
        return false;
    }
}

void VScoreboard::Flush() {
    if (m_port == nullptr) return;
    try {
        m_port->Flush();
    } catch (const KError&) {
        m_lastOutput.clear();
    }
}

void VScoreboard::WriteReady() {
    std::lock_guard lock(m_mutex);
    if (!m_ready) return;
    m_ready = false;
    Write(m_lastOutput);
    Flush();
}

void VScoreboard::ResetListPosition() {
    std::lock_guard lock(m_mutex);
    m_page = -1;
    m_offset = -1;
    m_lastCounter = 0;
}

void VScoreboard::Refresh() {
    std::lock_guard lock(m_mutex);
    const bool singleUntimed = Int(m_keys.pageTime, 5000) < 1 && Int(m_keys.resultsMode, 0) == 1 &&
                               (Int(m_keys.pageMode, 1) & 1) != 0 && Int(m_keys.pageSize, 1) == 1;
    if (!singleUntimed) m_lastCounter = -1;
}

bool VScoreboard::Update(const VScoreboardPeriod& period) {
    std::lock_guard lock(m_mutex);
    m_tick = period.now;
    m_ready = false;
    m_initialize = m_initialize || period.initialize;
    m_message = m_message || period.message;
    const bool open = m_port != nullptr && m_port->IsOpen();
    // A board that reconnects gets what it missed while it was away.
    if (open && !m_portWasOpen && !m_lastOutput.empty()) m_resendLast = true;
    m_portWasOpen = open;
    if (!open || !m_port->IsWriteReady()) return false;
    if (period.now - m_lastWrite < static_cast<uint32_t>(std::max(0, Int(m_keys.minUpdateDelay, 0))))
        return false;

    const int32_t mode = Int(m_keys.charMode, 0);
    const KCharMode charMode = mode == 1   ? KCharMode::Unicode
                               : mode == 2 ? KCharMode::Native
                                           : KCharMode::SingleByte;
    m_port->SetModes(charMode, KLineMode::None);
    try {
        if (m_port->IsDataAvailable()) m_port->ReadChar();  // a board's answer is not used
    } catch (const KError&) {
    }

    m_directOutput = period.optimize == 0;
    m_pending.clear();
    const bool forced = m_lastCounter == -1;
    bool restartedTimer = false;
    uint32_t previousDue = m_nextPageDue;
    const Render render = RenderUpdate(period, restartedTimer, previousDue);
    if (render != Render::None) {
        Finish(render, forced, restartedTimer, previousDue, period.optimize);
    } else if (m_resendLast) {
        m_holdDeadline = period.now;
    }
    m_resendLast = false;
    if (m_holdDeadline && Reached(period.now, *m_holdDeadline)) {
        m_holdDeadline.reset();
        if (period.optimize == 1) {
            m_ready = true;
        } else {
            Write(m_lastOutput);
            Flush();
        }
        m_lastWrite = period.now;
    }
    return m_ready;
}

VScoreboard::Render VScoreboard::RenderUpdate(const VScoreboardPeriod& period, bool& restartedTimer,
                                              uint32_t& previousDue) {
    if (m_initialize) {
        m_initialize = false;
        if (const VSSPage* page = FirstPage(kInitialization)) Run(*page, VUpdateRecord{}, *this);
        return Render::Initialize;
    }
    if (m_message) {
        m_message = false;
        RenderMessage(period);
        return Render::Message;
    }
    if (period.showTimeOfDay && period.timeOfDay.IsValid()) {
        RenderClock(kTimeOfDay, period.timeOfDay);
        return Render::TimeOfDay;
    }
    if (Int(m_keys.timeMode, 0) == 2 && period.timeOfDay.IsValid()) {
        const long long ms =
            period.timeOfDay.GetTicks().Value() / kTicksMillisecond.Value() + Int(m_keys.timeAdjust, 0);
        RenderClock(
            kTimeUpdate,
            TimeValue(TickCount::FromInt64(std::max(0LL, ms) * kTicksMillisecond.Value()), kTicksThousandth));
        return Render::RunningTime;
    }
    if (Int(m_keys.resultsMode, 0) != 0 && period.resultsReleased &&
        ResultsStep(period, restartedTimer, previousDue)) {
        return Render::Results;
    }
    return Render::None;
}

void VScoreboard::RenderMessage(const VScoreboardPeriod& period) {
    if (const VSSPage* header = FirstPage(kMessageHeader)) Run(*header, VUpdateRecord{}, *this);
    if (const VSSPage* page = FirstPage(kMessage); page != nullptr && period.messageLines != nullptr) {
        VUpdateRecord record;
        for (size_t i = 0; i < period.messageLines->size(); ++i) {
            Registers()[0] = static_cast<int32_t>(i);
            record.messageLine = &(*period.messageLines)[i];
            Run(*page, record, *this);
        }
    }
    if (const VSSPage* trailer = FirstPage(kMessageTrailer)) Run(*trailer, VUpdateRecord{}, *this);
}

void VScoreboard::RenderClock(int slot, TimeValue time) {
    const VSSPage* page = FirstPage(slot);
    if (page == nullptr) return;
    VUpdateRecord record;
    record.time = time;
    record.precision = kTicksTenth;
    Run(*page, record, *this);
}

bool VScoreboard::ResultsStep(const VScoreboardPeriod& period, bool& restartedTimer, uint32_t& previousDue) {
    if (period.event == nullptr) return false;
    EventRecord& event = *period.event;
    ResultList& list = Int(m_keys.filter, 0) == 1 ? event.Standings() : event.Results();
    const ResultFilter* filter = list.FieldSet();
    list.Sort(filter);
    const int32_t mask = Int(m_keys.pageMask, 0);
    long long limit = Int(m_keys.pageMax, -1);
    long long extent = static_cast<long long>(list.Group(ResultGroupKind::Relevant).count);
    if ((mask & 2) == 0 && list.Group(ResultGroupKind::OnCourse).count > 0) {
        extent = static_cast<long long>(list.Group(ResultGroupKind::Finished).count);
        if ((mask & 1) != 0) limit = limit >= 0 ? std::min(limit, extent) : extent;
    }
    if (limit >= 0) extent = std::min(extent, limit);

    const long long counter = event.ChangeCount();
    const int32_t pageTime = Int(m_keys.pageTime, 5000);
    const int32_t resultsMode = Int(m_keys.resultsMode, 0);
    const bool paging = (Int(m_keys.pageMode, 1) & 1) != 0;
    const VSSSection* section = Section(kResults);
    const int pageCount = section != nullptr ? static_cast<int>(section->Pages().size()) : 0;

    if (paging && pageTime > 0 && resultsMode != 2) {
        const uint32_t now = period.now;
        if (m_lastCounter == -1 || m_offset < 0) {
            // Sent afresh, or nothing of this event shown yet: the first page of the list.
            m_offset = 0;
            m_page = 0;
        } else if (!Reached(now, m_nextPageDue)) {
            if (counter == m_lastCounter) return false;
            if (m_offset >= extent) {
                m_offset = 0;
                m_page = 0;
            }
            restartedTimer = true;
            previousDue = m_nextPageDue;
        } else {
            const int oldPage = m_page;
            const long long oldOffset = m_offset;
            if (m_page + 1 < pageCount && m_offset < extent) {
                ++m_page;
            } else {
                m_page = 0;
                const long long next = m_offset + std::max(1, Int(m_keys.pageSize, 1));
                m_offset = next < extent ? next : 0;
            }
            m_nextPageDue = now + static_cast<uint32_t>(pageTime);
            if (m_page == oldPage && m_offset == oldOffset) return false;
        }
        m_nextPageDue = now + static_cast<uint32_t>(pageTime);
    } else {
        const bool automatic = resultsMode == 1 && !paging;
        if (counter == m_lastCounter || (m_lastCounter != -1 && !automatic)) return false;
        m_offset = 0;
        m_page = 0;
    }
    m_lastCounter = counter;
    RenderResults(period, list, extent, limit);
    return true;
}

void VScoreboard::RenderResults(const VScoreboardPeriod& period, ResultList& list, long long extent,
                                long long limit) {
    const VSSSection* section = Section(kResults);
    const VSSPage* page =
        section != nullptr && m_page >= 0 && m_page < static_cast<int>(section->Pages().size())
            ? &section->Pages()[static_cast<size_t>(m_page)]
            : nullptr;
    const int32_t number = page != nullptr ? page->Number() : 0;
    VUpdateRecord record;
    record.event = period.event;
    record.list = &list;
    record.snapshot = period.snapshot;
    if (const VSSPage* header = PageOrFirst(kResultsHeader, number)) Run(*header, record, *this);
    if (page != nullptr) {
        const ResultFilter* filter = list.FieldSet();
        ResultRecord* current = list.First(filter);
        for (long long skip = 0; current != nullptr && skip < m_offset; ++skip)
            current = list.Next(current, filter);
        const bool paging = (Int(m_keys.pageMode, 1) & 1) != 0;
        const long long lines =
            paging ? std::clamp(Int(m_keys.pageSize, 1), 1, kMaxPageLines) : std::max(0LL, extent - m_offset);
        for (long long i = 0; i < lines; ++i) {
            const bool shown = limit < 0 || m_offset + i < limit;
            record.record = shown ? current : nullptr;
            Registers()[0] = static_cast<int32_t>(i);
            Run(*page, record, *this);
            if (current != nullptr) current = list.Next(current, filter);
        }
    }
    if (const VSSPage* trailer = PageOrFirst(kResultsTrailer, number)) Run(*trailer, record, *this);
}

void VScoreboard::Finish(Render render, bool forced, bool restartedTimer, uint32_t previousDue,
                         int optimize) {
    if (const int32_t noDelay = Int(m_keys.timeNoDelay, 0); noDelay != 0) {
        if (auto* tcp = dynamic_cast<KTCPSocket*>(m_port.get()))
            tcp->SetNoDelay(render == Render::RunningTime);
    }
    if (optimize == 0) {
        Flush();
        m_lastWrite = m_tick;
        return;
    }
    if (render == Render::Results && !forced && m_pending == m_lastOutput) {
        if (restartedTimer) m_nextPageDue = previousDue;
    } else {
        const int32_t hold = Int(m_keys.updateHold, 0);
        if (hold <= 0) {
            m_lastOutput = m_pending;
            if (optimize == 1) {
                m_ready = true;
            } else {
                Write(m_lastOutput);
                Flush();
            }
            m_lastWrite = m_tick;
        } else {
            m_holdDeadline = m_tick + static_cast<uint32_t>(hold);
            m_lastOutput = m_pending;
        }
    }
    m_pending.clear();
}
