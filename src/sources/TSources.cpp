#include "sources/TSources.h"

#include <algorithm>

#include "foundation/KError.h"
#include "foundation/KFindFile.h"
#include "ports/KPortSpec.h"
#include "ports/KSerialPort.h"
#include "ports/KSocketPrototypes.h"
#include "ports/KStream.h"
#include "scoring/EventRecord.h"
#include "scoring/ResultFields.h"
#include "scoring/ScoringSettings.h"
#include "script/TSourceScript.h"
#include "settings/KRegistry.h"

namespace {

constexpr KStringView kSourcesPath = u"\\Sources\\";

bool IsScriptFile(const std::filesystem::path& file) {
    const KString name = FromPath(file.filename());
    // A name the settings file could not hold on one line is not offered.
    if (std::any_of(name.begin(), name.end(), [](KChar c) { return c < 0x20; })) return false;
    return name.size() > 4 && EqualsNoCase(KStringView(name).substr(name.size() - 4), u".kss");
}

/// A script name is a plain file name in the program folder; anything else names no script.
bool IsPlainFileName(KStringView name) {
    return !name.empty() && name != u"." && name != u".." && name.find(u'/') == KStringView::npos &&
           name.find(u'\\') == KStringView::npos && name.find(u'\0') == KStringView::npos;
}

KCharMode CharModeOf(int32_t value) {
    return value >= 0 && value <= static_cast<int32_t>(KCharMode::Detect) ? static_cast<KCharMode>(value)
                                                                          : KCharMode::SingleByte;
}

template <typename Node>
Node* ChildOf(const KRGroup& group, KStringView name) {
    return dynamic_cast<Node*>(group.FindChild(name));
}

}  // namespace

// --- One live source ----------------------------------------------------------------------------

class TSources::TSource {
public:
    TSource(TSources& owner, KRGroup& group, KRString& script, KRString& port, KRInt& charMode)
        : m_owner(owner),
          m_group(group),
          m_scriptKey(script),
          m_portKey(port),
          m_charModeKey(charMode),
          m_script(owner.m_registers, ReadFieldsBufferSize(owner.m_settings),
                   [this](const TMessageDefinition& message) { m_owner.Deliver(message); }) {
        m_scriptKey.SetSetter([this](KRString& key, KString value) {
            if (key.Value() == value) return;
            key.StoreValue(std::move(value));
            LoadScript();
        });
        LoadScript();
        m_portKey.SetSetter([this](KRString& key, KString value) { SetPort(key, std::move(value)); });
        Reopen();
        m_charModeKey.SetSetter([this](KRInt& key, int32_t value) {
            if (key.Value() == value) return;
            key.StoreValue(value);
            ApplyCharMode();
        });
    }

    ~TSource() {
        m_scriptKey.SetSetter({});
        m_portKey.SetSetter({});
        m_charModeKey.SetSetter({});
    }
    TSource(const TSource&) = delete;
    TSource& operator=(const TSource&) = delete;

    const KRGroup& Group() const { return m_group; }
    const KRString& PortKey() const { return m_portKey; }
    KStream* Stream() const { return m_stream.get(); }
    TSourceScript& Script() { return m_script; }

    /// Reads what has arrived; true when it stopped at the pass limit with more waiting.
    bool Poll() {
        if (m_stream == nullptr) return false;
        try {
            if (!m_stream->IsOpen()) return false;
            for (size_t count = 0; m_stream->IsDataAvailable(); ++count) {
                if (count == kMaxCharsPerPass) return true;
                const KChar c = m_stream->ReadChar();
                ++m_owner.m_charsRead;
                m_script.Feed(c);
            }
        } catch (const KError&) {
            // A port error ends this source's pass; the next pass tries again.
        }
        return false;
    }

private:
    void LoadScript() {
        const KString& name = m_scriptKey.Value();
        if (!IsPlainFileName(name)) return;
        // The settings may name "Gatemark.kss" where the file is "gatemark.kss".
        const std::filesystem::path file = KFindFile(m_owner.m_programFolder, name);
        if (!file.empty()) m_script.Load(file);  // a file that cannot be read keeps the definitions
    }

    void SetPort(KRString& key, KString value) {
        if (m_sweeping) {
            key.StoreValue(std::move(value));
            Reopen();
            return;
        }
        if (key.Value() == value) return;
        // The sweep frees the COM port in every other source first, then sets this key again,
        // which lands in the branch above and opens the port.
        m_sweeping = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{m_sweeping};
        AssignPortSpec(m_owner.m_settings, key, value);
    }

    void Reopen() {
        const KString& spec = m_portKey.Value();
        m_stream = MakeStream(m_owner.m_prototypes, spec, std::move(m_stream));
        m_stream->Open(spec);  // a port that does not open leaves a closed stream, skipped by the polls
        ApplyCharMode();
    }

    void ApplyCharMode() {
        if (m_stream == nullptr) return;
        const KCharMode mode = CharModeOf(m_charModeKey.Value());
        m_stream->SetReadModes(mode, KLineMode::None);
        m_stream->SetWriteModes(mode, KLineMode::None);
    }

    TSources& m_owner;
    KRGroup& m_group;
    KRString& m_scriptKey;
    KRString& m_portKey;
    KRInt& m_charModeKey;
    TSourceScript m_script;
    std::unique_ptr<KStream> m_stream;
    bool m_sweeping = false;
};

// --- Start ----------------------------------------------------------------------------------------

void TSources::StartSources(KRegistry& settings, const std::filesystem::path& programFolder,
                            bool settingsFileLoaded, KStreamPrototypes& prototypes,
                            KSerialPortList& serialPorts, KNetwork& network) {
    if (KRGroup* sources = settings.FindGroup(kSourcesPath)) {
        KRGroup* scripts = sources->FindGroup(u"Scripts\\");
        if (scripts == nullptr) scripts = dynamic_cast<KRGroup*>(sources->Define(u"Scripts\\:="));
        if (scripts != nullptr) {
            scripts->Clear();
            std::vector<std::filesystem::path> files;
            std::error_code ec;
            for (std::filesystem::directory_iterator it(programFolder, ec), end; !ec && it != end;
                 it.increment(ec)) {
                std::error_code entryError;
                if (IsScriptFile(it->path()) && it->is_regular_file(entryError)) files.push_back(it->path());
            }
            std::sort(files.begin(), files.end());
            int next = 1;
            for (const auto& file : files) {
                if (scripts->Define(ToKString(next) + u":String=" + FromPath(file.filename()))) ++next;
            }
        }
        if (!settingsFileLoaded && sources->NumberedGroupCount() == 0) {
            if (KRGroup* first = NewSource(settings)) {
                first->FindString(u"Script")->SetValue(u"gatemark.kss");
                first->FindString(u"SerialPort")->SetValue(u"1,9600,8,N,1.0");
            }
        }
    }

    const int bufferSize = [&] {
        const KRInt* node = settings.FindInt(u"\\Sources\\BufferSize");
        return std::max(kMinBufferSize, node != nullptr ? node->Value() : kMinBufferSize);
    }();
    auto serial = std::make_unique<KSerialPort>(serialPorts, KSerialUserMode::kRead,
                                                std::min(bufferSize, kMaxSocketBufferSize), 0);
    serial->SetModes(KCharMode::SingleByte, KLineMode::None);
    prototypes.Register(std::move(serial));
    RegisterSourceNetworkPrototypes(prototypes, network, bufferSize);
    for (const auto& prototype : prototypes.Prototypes()) {
        prototype->SetModes(KCharMode::SingleByte, KLineMode::None);
        prototype->SetReadTimeout(0);
        prototype->SetWriteTimeout(0);
    }
}

KRGroup* TSources::NewSource(KRegistry& settings) {
    KRGroup* sources = settings.FindGroup(kSourcesPath);
    if (sources == nullptr) return nullptr;
    auto* group = dynamic_cast<KRGroup*>(sources->Define(ToKString(sources->NextFreeNumber()) + u"\\:="));
    if (group == nullptr) return nullptr;
    group->Define(u"Name:String=" + settings.GetText(u"\\Strings\\Sources\\DefaultName"));
    group->Define(u"Script:String=");
    group->Define(u"SerialPort:String=0,9600,8,N,1.0");
    group->Define(u"CharMode:Int=0");
    return group;
}

// --- The manager -------------------------------------------------------------------------------------

TSources::TSources(KRegistry& settings, std::filesystem::path programFolder,
                   const KStreamPrototypes& prototypes)
    : m_settings(settings), m_programFolder(std::move(programFolder)), m_prototypes(prototypes) {
    for (size_t i = 0; i < SourceCount(); ++i) {
        KRGroup& group = *SourceGroup(i);
        auto* script = ChildOf<KRString>(group, u"Script");
        auto* port = ChildOf<KRString>(group, u"SerialPort");
        auto* charMode = ChildOf<KRInt>(group, u"CharMode");
        if (script == nullptr || port == nullptr || charMode == nullptr) continue;  // not loaded
        m_sources.push_back(std::make_unique<TSource>(*this, group, *script, *port, *charMode));
    }
    // The event's standard views: each list's field set with its one filter and the default fields.
    const KString listName = ReadResultsListName(settings);
    m_event = std::make_unique<EventRecord>(ReadResultsPrecision(settings), listName, listName,
                                            ReadDefaultFilterName(settings));
    ApplyDefaultFields(settings, *m_event);
}

TSources::~TSources() {
    m_sources.clear();
    m_event.reset();
}

void TSources::SetActivityLog(KLog* log, std::function<bool()> enabled) {
    m_update.log = log;
    m_update.logEnabled = std::move(enabled);
}

void TSources::SetTeamScoring(TeamScoring* scoring) { m_update.scoring = scoring; }

bool TSources::PollSources() {
    // A delivery that ran a nested loop (an alert) must not poll the sources it is inside of.
    if (m_polling) return false;
    m_polling = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_polling};
    bool more = false;
    for (const auto& source : m_sources) more = source->Poll() || more;
    return more;
}

void TSources::Deliver(const TMessageDefinition& message) {
    // A body that holds its own header is the rest of a cut-off message run into the next one:
    // its fields belong to two messages, so applying it could give a runner another's time. The
    // timing system's next message carries the results again.
    for (const auto& source : m_sources) {
        for (const auto& definition : source->Script().Definitions()) {
            if (definition.get() != &message) continue;
            const KString& header = definition->Header().text;
            if (!header.empty() && !definition->Trailer().text.empty()) {
                for (const TFieldSpec& field : message.Fields()) {
                    if (field.value.find(header) != KString::npos) return;
                }
            }
        }
    }
    ApplyInputUpdate(*m_event, message.Fields(), m_update);
    if (m_updated) m_updated();
}

std::vector<int> TSources::PollDescriptors() const {
    std::vector<int> descriptors;
    for (const auto& source : m_sources) {
        const int fd = source->Stream() != nullptr ? source->Stream()->PollDescriptor() : -1;
        if (fd >= 0) descriptors.push_back(fd);
    }
    return descriptors;
}

// --- Walks -----------------------------------------------------------------------------------------

size_t TSources::SourceCount() const {
    const KRGroup* sources = m_settings.FindGroup(kSourcesPath);
    return sources != nullptr ? sources->NumberedGroupCount() : 0;
}

KRGroup* TSources::SourceGroup(size_t index) const {
    const KRGroup* sources = m_settings.FindGroup(kSourcesPath);
    return sources != nullptr ? sources->NumberedGroup(index) : nullptr;
}

size_t TSources::ScriptCount() const {
    const KRGroup* scripts = m_settings.FindGroup(u"\\Sources\\Scripts\\");
    return scripts != nullptr ? scripts->ChildCount() : 0;
}

KString TSources::ScriptName(size_t index) const {
    const KRGroup* scripts = m_settings.FindGroup(u"\\Sources\\Scripts\\");
    if (scripts == nullptr || index >= scripts->ChildCount()) return {};
    const auto* entry = dynamic_cast<const KRString*>(scripts->Children()[index].get());
    return entry != nullptr ? entry->Value() : KString();
}

KString TSources::SourceStatus(size_t index) const {
    const auto text = [this](KStringView key, KStringView fallback) {
        KString found = m_settings.GetText(KString(u"\\Strings\\Options\\Source\\") + KString(key));
        return found.empty() ? KString(fallback) : found;
    };
    const KRGroup* group = SourceGroup(index);
    const KRString* port = group != nullptr ? ChildOf<KRString>(*group, u"SerialPort") : nullptr;
    const bool loaded =
        port != nullptr && std::any_of(m_sources.begin(), m_sources.end(),
                                       [port](const auto& s) { return &s->PortKey() == port; });
    if (!loaded) return text(u"NotLoaded", u"Not Loaded");
    if (ReadPortCode(port->Value()) == KPortCode::kNone) return text(u"NotRunning", u"Not Running");
    return text(u"Running", u"Running");
}

KStream* TSources::LiveStream(size_t index) const {
    return index < m_sources.size() ? m_sources[index]->Stream() : nullptr;
}

const KRGroup* TSources::LiveGroup(size_t index) const {
    return index < m_sources.size() ? &m_sources[index]->Group() : nullptr;
}
