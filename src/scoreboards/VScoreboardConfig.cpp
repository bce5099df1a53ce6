#include "scoreboards/VScoreboardConfig.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "ports/KSocketPrototypes.h"
#include "ports/KStreamFactory.h"
#include "ports/VSerialPort.h"
#include "settings/KRegistry.h"

namespace VScoreboardConfig {

namespace {

constexpr KStringView kDefaults = u"; Defaults: ";
constexpr KStringView kNetworkDefaults = u"; Network Defaults: ";
// The first line is all that is looked at; a file without a line end stops here.
constexpr size_t kMaxFirstLine = 1024;
constexpr int kSerialInputQueue = 2048;

KString FirstLine(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    char c;
    while (line.size() < kMaxFirstLine && in.get(c) && c != '\r' && c != '\n') line += c;
    return FromLatin1(line);
}

KString ScriptListEntry(const std::filesystem::path& file) {
    KString entry = FromPath(file.filename());
    const KString first = FirstLine(file);
    if (first.starts_with(kDefaults)) {
        entry += u",1," + KString(Trim(KStringView(first).substr(kDefaults.size()), u" \t"));
    } else if (first.starts_with(kNetworkDefaults)) {
        entry += u",-1," + KString(Trim(KStringView(first).substr(kNetworkDefaults.size()), u" \t"));
    }
    return entry;
}

bool IsScript(const std::filesystem::path& path) { return EqualsNoCase(FromPath(path.extension()), u".vss"); }

KRGroup* Root(KRegistry& settings) { return settings.FindGroup(kRoot); }

}  // namespace

void BuildScriptList(KRegistry& settings, const std::filesystem::path& programFolder) {
    KRGroup* root = Root(settings);
    if (root == nullptr) return;
    KRGroup* scripts = root->FindGroup(u"Scripts\\");
    if (scripts == nullptr) scripts = dynamic_cast<KRGroup*>(root->Define(u"Scripts\\:="));
    if (scripts == nullptr) return;
    // Entries a previous start listed beyond today's scripts would offer files that are gone.
    scripts->Clear();
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(programFolder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        if (IsScript(it->path()) && it->is_regular_file(entryError)) files.push_back(it->path());
    }
    // A stable order, so the list reads the same on every start.
    std::sort(files.begin(), files.end());
    int next = 1;
    for (const auto& file : files) {
        if (scripts->Define(ToKString(next) + u":String=" + ScriptListEntry(file))) ++next;
    }
}

void RegisterPrototypes(KStreamPrototypes& prototypes, KRegistry& settings, KSerialPortList& serialPorts,
                        KNetwork& network) {
    const int portBuffer = std::clamp(ReadInt(settings, u"\\Scoreboards\\PortBuffer", kDefaultPortBuffer), 1,
                                      kMaxSocketBufferSize);
    const int udpSize =
        std::clamp(ReadInt(settings, u"\\Scoreboards\\UDPSize", 536), 1, kMaxSocketBufferSize);
    prototypes.Register(std::make_unique<VSerialPort>(serialPorts,
                                                      KSerialUserMode::kRead | KSerialUserMode::kWrite,
                                                      kSerialInputQueue, static_cast<size_t>(portBuffer)));
    RegisterScoreboardNetworkPrototypes(prototypes, network, portBuffer, udpSize);
    for (const auto& prototype : prototypes.Prototypes()) {
        prototype->SetModes(KCharMode::SingleByte, KLineMode::None);
        prototype->SetReadTimeout(0);
        prototype->SetWriteTimeout(0);
    }
}

size_t ScoreboardCount(KRegistry& settings) {
    KRGroup* root = Root(settings);
    return root != nullptr ? root->NumberedGroupCount() : 0;
}

KRGroup* ScoreboardGroup(KRegistry& settings, size_t index) {
    KRGroup* root = Root(settings);
    return root != nullptr ? root->NumberedGroup(index) : nullptr;
}

KRGroup* CreateScoreboard(KRegistry& settings) {
    KRGroup* root = Root(settings);
    if (root == nullptr) return nullptr;
    auto* group = dynamic_cast<KRGroup*>(root->Define(ToKString(root->NextFreeNumber()) + u"\\:="));
    if (group == nullptr) return nullptr;
    group->Define(u"Name:String=" + settings.GetText(u"\\Strings\\Scoreboards\\DefaultName"));
    static constexpr KStringView kKeys[] = {
        u"Script:String=",
        u"SerialPort:String=0,9600,8,N,1.0",
        u"CharMode:Int=0",
        u"MinUpdateDelay:Int=0",
        u"UpdateHold:Int=0",
        u"TimeMode:Int=0",
        u"ResultsIfArmed:Int=0",
        u"IgnoreRun:Int=0",
        u"IgnorePause:Int=0",
        u"IgnoreFinish:Int=0",
        u"IgnoreStop:Int=0",
        u"PauseToFinish:Int=0",
        u"FinishToPause:Int=0",
        u"TimeOffset:Int=0",
        u"TimeAdjust:Int=0",
        u"TimePause:Int=3000",
        u"AutoBreak:Int=0",
        u"AutoBreakCapt:Int=0",
        u"TimeNoDelay:Int=1",
        u"ResultsMode:Int=0",
        u"SendPlace:Int=0",
        u"PageMode:Int=1",
        u"PageSize:Int=1",
        u"PageMax:Int=-1",
        u"PageMask:Int=0",
        u"PageTime:Int=5000",
        u"IncludeFirst:Bool=0",
        u"AffilAbbr:Bool=0",
        u"TimePrecision:Int=0",
        u"SuppressMinute:Int=0",
        u"SuppressCutoff:Int=100000",
        u"Filter:Int=0",
    };
    for (const KStringView key : kKeys) group->Define(key);
    return group;
}

void UpgradeScoreboard(KRGroup& group) {
    for (const KStringView key : {u"IgnoreRun", u"IgnorePause", u"IgnoreFinish", u"IgnoreStop",
                                  u"PauseToFinish", u"FinishToPause", u"PageMask", u"SortBy"}) {
        if (group.FindChild(key) == nullptr) group.Define(KString(key) + u":Int=0");
    }
    KRInt* autoBreak = group.FindInt(u"AutoBreak");
    KRInt* obsolete = group.FindInt(u"ABIfCapturing");
    if (group.FindChild(u"AutoBreakCapt") == nullptr) {
        auto* capt = dynamic_cast<KRInt*>(group.Define(u"AutoBreakCapt:Int=0"));
        if (capt != nullptr && autoBreak != nullptr) capt->SetValue(autoBreak->Value());
        if (autoBreak != nullptr && obsolete != nullptr && obsolete->Value() != 0) autoBreak->SetValue(0);
    }
    if (obsolete != nullptr) obsolete->SetDeleted(true);
}

int32_t ReadInt(KRGroup& settings, KStringView path, int32_t absent) {
    const KRInt* node = settings.FindInt(path);
    return node != nullptr ? node->Value() : absent;
}

int Period(KRegistry& settings) {
    const KRInt* node = settings.FindInt(u"\\Scoreboards\\Period");
    return node != nullptr ? std::clamp(node->Value(), kMinPeriod, kMaxPeriod) : kDefaultPeriod;
}

ScriptEntry SplitScriptEntry(KStringView entry) {
    const size_t comma = entry.find(u',');
    if (comma == KStringView::npos) return {KString(entry), {}};
    return {KString(entry.substr(0, comma)), KString(entry.substr(comma + 1))};
}

}  // namespace VScoreboardConfig
