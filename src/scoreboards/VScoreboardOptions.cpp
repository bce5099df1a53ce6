#include "scoreboards/VScoreboardOptions.h"

#include "ports/KPortSpec.h"
#include "scoreboards/VScoreboardConfig.h"
#include "scoreboards/VScoreboards.h"
#include "settings/KRegistry.h"

namespace {

bool IsValidPortSpec(KStringView spec) {
    const int code = ReadPortCode(spec);
    if (code > 0) {
        KSerialSpec serial;
        return ReadSerialSpec(spec, serial);
    }
    if (code == KPortCode::kNetConnect) return ReadIPAddress(spec) && ReadIPPort(spec);
    if (code == KPortCode::kNetListen || code == KPortCode::kNetUDP) return ReadIPPort(spec).has_value();
    return code == 0 && ReadPortSpecInteger(spec, 0).has_value();
}

std::optional<int32_t> ReadWhole(KStringView text) {
    size_t pos = 0;
    const auto value = ParseInteger(text, pos);
    if (!value || pos != text.size() || *value < INT32_MIN || *value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(*value);
}

int32_t IntOf(KRGroup& group, KStringView key, int32_t absent) {
    return VScoreboardConfig::ReadInt(group, key, absent);
}

void SetInt(KRGroup& group, KStringView key, int32_t value) {
    KRInt* node = group.FindInt(key);
    if (node == nullptr) node = dynamic_cast<KRInt*>(group.Define(KString(key) + u":Int=0"));
    if (node != nullptr) node->SetValue(value);
}

void SetBool(KRGroup& group, KStringView key, bool value) {
    KRBool* node = group.FindBool(key);
    if (node == nullptr) node = dynamic_cast<KRBool*>(group.Define(KString(key) + u":Bool=0"));
    if (node != nullptr) node->SetValue(value);
}

void SetText(KRGroup& group, KStringView key, const KString& value) {
    KRString* node = group.FindString(key);
    if (node == nullptr) node = dynamic_cast<KRString*>(group.Define(KString(key) + u":String="));
    if (node != nullptr) node->SetValue(value);
}

}  // namespace

std::vector<KString> VScoreboardOptions::ScriptEntries() const {
    std::vector<KString> entries;
    if (KRGroup* scripts = m_settings.FindGroup(u"\\Scoreboards\\Scripts\\")) {
        for (KRNode* node = scripts->NextChild(nullptr); node != nullptr; node = scripts->NextChild(node)) {
            if (const auto* text = dynamic_cast<const KRString*>(node)) entries.push_back(text->Value());
        }
    }
    return entries;
}

KString VScoreboardOptions::PortDefaultsOf(KStringView entry) {
    return VScoreboardConfig::SplitScriptEntry(entry).portDefaults;
}

VScoreboardFields VScoreboardOptions::Load(KRGroup& group) const {
    VScoreboardFields f;
    f.name = group.GetText(u"Name");
    f.script = group.GetText(u"Script");
    f.charMode = IntOf(group, u"CharMode", 0);
    f.serialPort = group.GetText(u"SerialPort");
    f.resultsMode = IntOf(group, u"ResultsMode", 0);
    f.filter = IntOf(group, u"Filter", 0);
    f.paging = (IntOf(group, u"PageMode", 1) & 1) != 0;
    f.pageSize = ToKString(IntOf(group, u"PageSize", 1));
    const int32_t max = IntOf(group, u"PageMax", -1);
    f.pageMax = max == -1 ? KString() : ToKString(max);
    f.pageTime = ToKString(IntOf(group, u"PageTime", 5000));
    const KRBool* first = group.FindBool(u"IncludeFirst");
    f.includeFirst = first != nullptr && first->Value();
    const KRBool* abbr = group.FindBool(u"AffilAbbr");
    f.affilAbbr = abbr != nullptr && abbr->Value();
    if (const KRInt* always = group.FindInt(u"AlwaysPage")) f.alwaysPage = always->Value() != 0;
    return f;
}

void VScoreboardOptions::Apply(KRGroup& group, const VScoreboardFields& f) const {
    SetText(group, u"Name", f.name);
    SetText(group, u"Script", f.script);
    SetInt(group, u"CharMode", f.charMode);
    if (IsValidPortSpec(f.serialPort)) {
        if (KRString* port = group.FindString(u"SerialPort")) {
            AssignPortSpec(m_settings, *port, f.serialPort);
        } else {
            SetText(group, u"SerialPort", f.serialPort);
        }
    }
    SetInt(group, u"ResultsMode", f.resultsMode);
    SetInt(group, u"Filter", f.filter);
    SetInt(group, u"PageMode", f.paging ? 1 : 0);
    if (const auto size = ReadWhole(f.pageSize)) SetInt(group, u"PageSize", *size);
    if (f.pageMax.empty()) {
        SetInt(group, u"PageMax", -1);
    } else if (const auto max = ReadWhole(f.pageMax)) {
        SetInt(group, u"PageMax", *max);
    }
    if (const auto time = ReadWhole(f.pageTime)) SetInt(group, u"PageTime", *time);
    SetBool(group, u"IncludeFirst", f.includeFirst);
    SetBool(group, u"AffilAbbr", f.affilAbbr);
    if (f.alwaysPage) {
        if (KRInt* always = group.FindInt(u"AlwaysPage")) always->SetValue(*f.alwaysPage ? 1 : 0);
    }
}

KString VScoreboardOptions::StatusText(const VScoreboards* manager, const KRGroup& group) const {
    const VScoreboards::Status status =
        manager != nullptr ? manager->StatusOf(group) : VScoreboards::Status::NotLoaded;
    const KStringView key = status == VScoreboards::Status::Running      ? u"Running"
                            : status == VScoreboards::Status::NotRunning ? u"NotRunning"
                                                                         : u"NotLoaded";
    return m_settings.GetText(u"\\Strings\\Options\\Scoreboard\\" + KString(key));
}

KRGroup* VScoreboardOptions::New() const { return VScoreboardConfig::CreateScoreboard(m_settings); }

void VScoreboardOptions::Delete(KRGroup& group) { group.SetDeleted(true); }
