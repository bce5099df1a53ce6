#pragma once

// The sources: the input connections from timing systems. The manager creates the live sources
// from the numbered groups of Sources\ at start, owns the one event they all feed, polls every
// source on the user-interface thread, feeds each received character to the source's script and
// applies every completed message to the event as an input update.
//
// Threads: everything here runs on the user-interface thread (start, the settings' change
// handlers, polling, delivery, the updates). The scoreboard thread only reads the event, under
// its lock, which each update holds from its begin notice to its end one.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "foundation/KString.h"
#include "ports/KStreamFactory.h"
#include "script/VCommandLanguage.h"
#include "sources/TInputUpdate.h"

class EventRecord;
class KLog;
class KNetwork;
class KRegistry;
class KRGroup;
class KSerialPortList;
class TeamScoring;
class TMessageDefinition;

class TSources {
public:
    /// Characters one source may deliver in one poll pass; a source that keeps sending is read
    /// again at the next pass, so a flood cannot hold the user interface.
    static constexpr size_t kMaxCharsPerPass = 65536;
    /// Bytes of the serial input queue and of the UDP buffer at least, whatever the settings say.
    static constexpr int kMinBufferSize = 2048;

    /// Run once at start, after the settings are loaded and the ports found: rebuilds
    /// Sources\Scripts\ from the *.kss files of `programFolder` (sorted by name); on a first start
    /// (no settings file) without any source, creates one on COM1 with the Gatemark script; and
    /// registers the serial, TCP and UDP prototypes of the sources in `prototypes`.
    static void StartSources(KRegistry& settings, const std::filesystem::path& programFolder,
                             bool settingsFileLoaded, KStreamPrototypes& prototypes,
                             KSerialPortList& serialPorts, KNetwork& network);
    /// Sources\N\ with N one above the largest number used, and the keys of a new source.
    static KRGroup* NewSource(KRegistry& settings);

    /// Creates a live source for every numbered group that has the keys Script, SerialPort and
    /// CharMode (others are not loaded), then the event. `settings`, `prototypes` and what the
    /// prototypes refer to must outlive this object.
    TSources(KRegistry& settings, std::filesystem::path programFolder, const KStreamPrototypes& prototypes);
    /// Detaches from the settings and closes every stream.
    ~TSources();
    TSources(const TSources&) = delete;
    TSources& operator=(const TSources&) = delete;

    /// Where updates log and what recomputes the standings (see TInputUpdateContext).
    void SetActivityLog(KLog* log, std::function<bool()> enabled = {});
    void SetTeamScoring(TeamScoring* scoring);
    /// Told after every update the sources applied (the application stores the event a little later).
    void SetUpdateObserver(std::function<void()> observer) { m_updated = std::move(observer); }

    /// One pass over the live sources: reads what has arrived, never waits. An error ends that
    /// source's pass only. True when a source stopped at kMaxCharsPerPass with more waiting.
    bool PollSources();
    /// Applies a completed message of one of the sources' scripts to the event.
    void Deliver(const TMessageDefinition& message);

    EventRecord& Event() { return *m_event; }
    /// Characters read by all polls so far.
    unsigned long long CharsRead() const { return m_charsRead; }
    /// Descriptors that become readable when a live source has something to read.
    std::vector<int> PollDescriptors() const;

    // Walks over the settings, for the options page.
    /// The numbered groups of Sources\.
    size_t SourceCount() const;
    KRGroup* SourceGroup(size_t index) const;
    size_t ScriptCount() const;
    KString ScriptName(size_t index) const;
    /// "Not Loaded", "Not Running" or "Running" (the texts of Strings\Options\Source\).
    KString SourceStatus(size_t index) const;

    /// The live sources, in settings order, and the stream of each (null while it has none).
    size_t LiveCount() const { return m_sources.size(); }
    class KStream* LiveStream(size_t index) const;
    const KRGroup* LiveGroup(size_t index) const;

private:
    class TSource;

    KRegistry& m_settings;
    std::filesystem::path m_programFolder;
    const KStreamPrototypes& m_prototypes;
    // Shared by the scripts of all sources, as the command language's registers are.
    VRegisters m_registers{};
    std::vector<std::unique_ptr<TSource>> m_sources;
    std::unique_ptr<EventRecord> m_event;
    TInputUpdateContext m_update;
    std::function<void()> m_updated;
    unsigned long long m_charsRead = 0;
    bool m_polling = false;
};
