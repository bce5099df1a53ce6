#include "script/VScoreboardScript.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "foundation/KError.h"
#include "foundation/KTextFile.h"
#include "script/VLineFormat.h"
#include "script/VScriptVariables.h"

namespace {

struct SlotName {
    KStringView name;
    int slot;
};

constexpr SlotName kSlotNames[] = {
    {u"Initialization", VScoreboardScript::kInitialization},
    {u"TimeArmed", VScoreboardScript::kTimeArmed},
    {u"TimeRunning", VScoreboardScript::kTimeRunning},
    {u"TimePaused", VScoreboardScript::kTimePaused},
    {u"TimeStopped", VScoreboardScript::kTimeStopped},
    {u"TimeGun", VScoreboardScript::kTimeGun},
    {u"TimeBreak", VScoreboardScript::kTimeBreak},
    {u"TimeUpdate", VScoreboardScript::kTimeUpdate},
    {u"Wind", VScoreboardScript::kWind},
    {u"TimeOfDay", VScoreboardScript::kTimeOfDay},
    {u"StartListHeader", VScoreboardScript::kStartListHeader},
    {u"StartListTrailer", VScoreboardScript::kStartListTrailer},
    {u"StartList", VScoreboardScript::kStartList},
    {u"StartedHeader", VScoreboardScript::kStartedHeader},
    {u"StartedTrailer", VScoreboardScript::kStartedTrailer},
    {u"Started", VScoreboardScript::kStarted},
    {u"ResultsHeader", VScoreboardScript::kResultsHeader},
    {u"ResultsTrailer", VScoreboardScript::kResultsTrailer},
    {u"Results", VScoreboardScript::kResults},
    {u"Result", VScoreboardScript::kResults},
    {u"Image", VScoreboardScript::kImage},
    {u"ImageResultsHeader", VScoreboardScript::kImageResultsHeader},
    {u"ImageResultsTrailer", VScoreboardScript::kImageResultsTrailer},
    {u"ImageResults", VScoreboardScript::kImageResults},
    {u"MessageHeader", VScoreboardScript::kMessageHeader},
    {u"MessageTrailer", VScoreboardScript::kMessageTrailer},
    {u"Message", VScoreboardScript::kMessage},
};

// A decimal page number as the original's scan read it: optional sign and digits; 0 when there are
// none. Saturates rather than overflowing.
int32_t ReadPageNumber(KStringView text) {
    size_t pos = 0;
    const bool negative = pos < text.size() && text[pos] == u'-';
    if (pos < text.size() && (text[pos] == u'-' || text[pos] == u'+')) ++pos;
    int64_t value = 0;
    for (; pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9'; ++pos)
        value = std::min<int64_t>(value * 10 + (text[pos] - u'0'), int64_t{1} << 31);
    value = negative ? -value : value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

KStringView WithoutLastFour(KStringView text) {
    return text.substr(0, text.size() >= 4 ? text.size() - 4 : 0);
}

}  // namespace

VScoreboardScript::VSSPage& VScoreboardScript::VSSSection::PageNumbered(int32_t number, int group) {
    for (VSSPage& page : m_pages)
        if (page.Number() == number) return page;
    return m_pages.emplace_back(number, group);
}

bool VScoreboardScript::VSSSection::HasLines() const {
    for (const VSSPage& page : m_pages)
        if (!page.Lines().empty()) return true;
    return false;
}

int VScoreboardScript::SlotNamed(KStringView name) {
    for (const SlotName& entry : kSlotNames)
        if (entry.name == name) return entry.slot;
    return -1;
}

int VScoreboardScript::GroupOf(int slot) {
    switch (slot) {
        case kInitialization:
            return kGroupInitialization;
        case kWind:
            return kGroupWind;
        case kStartList:
        case kStarted:
        case kResults:
        case kImageResults:
            return kGroupList;
        case kMessageHeader:
        case kMessageTrailer:
            return kGroupMessageFrame;
        case kMessage:
            return kGroupMessage;
        default:
            return slot <= kTimeOfDay ? kGroupClock : kGroupHeader;
    }
}

void VScoreboardScript::Clear() {
    for (auto& section : m_sections) section.reset();
}

bool VScoreboardScript::Load(const std::filesystem::path& path) {
    Clear();
    try {
        KTextReader reader(path, KCharMode::Detect);
        VSSPage* current = nullptr;
        for (KString line; reader.ReadLine(line);) ReadLine(line, current);
    } catch (const KError&) {
        Clear();
        return false;
    }
    ApplyFallbacks();
    return true;
}

void VScoreboardScript::ReadLine(const KString& line, VSSPage*& current) {
    if (line.starts_with(u";;")) {
        const size_t bracket = line.size() > 3 ? line.find(u'[', 3) : KString::npos;
        const int32_t number =
            bracket == KString::npos ? 0 : ReadPageNumber(KStringView(line).substr(bracket + 1));
        const int slot =
            SlotNamed(KStringView(line).substr(2, bracket == KString::npos ? KString::npos : bracket - 2));
        if (slot < 0) return;
        auto& section = m_sections[static_cast<size_t>(slot)];
        if (!section) section = std::make_shared<VSSSection>();
        current = &section->PageNumbered(number, GroupOf(slot));
    } else if (!line.starts_with(u';') && line.size() >= 2 && current != nullptr) {
        current->AddLine(line);
    }
}

void VScoreboardScript::ApplyFallbacks() {
    const auto take = [this](int slot, int from) {
        auto& section = m_sections[static_cast<size_t>(slot)];
        if (!section) section = m_sections[static_cast<size_t>(from)];
    };
    auto& timeOfDay = m_sections[kTimeOfDay];
    if ((!timeOfDay || !timeOfDay->HasLines()) && m_sections[kTimeRunning])
        timeOfDay = m_sections[kTimeRunning];
    take(kTimeArmed, kTimeRunning);
    take(kTimePaused, kTimeStopped);
    take(kStartListHeader, kResultsHeader);
    take(kStartListTrailer, kResultsTrailer);
    take(kStartList, kResults);
    take(kStartedHeader, kStartListHeader);
    take(kStartedTrailer, kStartListTrailer);
    take(kStarted, kStartList);
}

const VScoreboardScript::VSSSection* VScoreboardScript::Section(int slot) const {
    return slot >= 0 && slot < kSlotCount ? m_sections[static_cast<size_t>(slot)].get() : nullptr;
}

const VScoreboardScript::VSSPage* VScoreboardScript::FindPage(int slot, int32_t number) const {
    if (const VSSSection* section = Section(slot))
        for (const VSSPage& page : section->Pages())
            if (page.Number() == number) return &page;
    return nullptr;
}

const VScoreboardScript::VSSPage* VScoreboardScript::FirstPage(int slot) const {
    const VSSSection* section = Section(slot);
    return section != nullptr && !section->Pages().empty() ? &section->Pages().front() : nullptr;
}

const VScoreboardScript::VSSPage* VScoreboardScript::PageOrFirst(int slot, int32_t number) const {
    const VSSPage* page = FindPage(slot, number);
    return page != nullptr ? page : FirstPage(slot);
}

void VScoreboardScript::Run(const VSSPage& page, const VUpdateRecord& record, VScriptHost& host) {
    const VScriptSettings& settings = host.ScriptSettings();
    m_timeUnchanged = false;
    if (page.Group() == kGroupClock) StartClockUpdate(record, host);
    for (const VSSLine& line : page.Lines()) RunLine(line.Text(), page.Group(), record, settings, host);
}

// The repeat rule: at tenths a clock line need only go out when the whole seconds change, or at
// least every 1.1 s; a script asks for that by setting R0 to 1 on the line.
void VScoreboardScript::StartClockUpdate(const VUpdateRecord& record, VScriptHost& host) {
    KString text = DecimalAligned(record.time, record.precision, 0);
    bool changed =
        record.precision != kTicksTenth || WithoutLastFour(text) != WithoutLastFour(m_lastTimeText);
    const uint32_t now = host.Tick();
    if (now - m_lastTimeChange > 1099) changed = true;
    if (changed) m_lastTimeChange = now;
    m_timeUnchanged = !changed;
    m_lastTimeText = std::move(text);
    m_registers[0] = 0;
}

void VScoreboardScript::RunLine(KStringView line, int pageGroup, const VUpdateRecord& record,
                                const VScriptSettings& settings, VScriptHost& host) {
    size_t pos = 0;
    const std::optional<int> head = ReadNumberToken(line, pos);
    if (!head) return;
    int group = pageGroup;
    int variable = *head;
    if (*head >= 16) {
        const std::optional<int> second = ReadNumberToken(line, pos);
        if (!second) return;
        group = *head;
        variable = *second;
    }
    // Groups 23 and 24 are accepted and, like any number beyond them, produce nothing.
    if (group < kGroupInitialization || group > kGroupMessage) return;
    const KStringView format = line.substr(pos);
    if (variable == 0) {
        m_lineText.assign(format);
    } else if (const std::optional<uint32_t> binary = BinaryValue(group, variable, record)) {
        SubstituteBinary(format, *binary, m_lineText);
    } else {
        m_value = VariableValue(group, variable, record, settings);
        FormatLine(format, m_value, m_lineText);
    }
    ExpandCommands(m_lineText, m_output, m_registers, VCommandDialect::Scoreboard);
    if (group == kGroupClock && variable == 1 && m_registers[0] == 1 && m_timeUnchanged) return;
    host.Output(m_output);
}
