#pragma once

// One configured scoreboard: its settings (a numbered group of Scoreboards\), its script, its port,
// and the update the output engine runs for it once per period: what to render (initialisation,
// message, time of day, raw running time, results pages), when to write it (minimum delay, hold,
// duplicate suppression) and the paging of the results list.
//
// Threads: Update and WriteReady run on the scoreboard thread; the change handlers of Script and
// SerialPort and the manager's commands run on the user-interface thread. All of them take this
// scoreboard's lock.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "foundation/KString.h"
#include "script/VScoreboardScript.h"
#include "script/VScriptHost.h"

class EventRecord;
class KRBool;
class KRegistry;
class KRGroup;
class KRInt;
class KRString;
class KStream;
class KStreamPrototypes;
class ResultList;

/// Everything the manager hands each scoreboard for one period.
struct VScoreboardPeriod {
    uint32_t now = 0;
    /// The local time of day of the period (always there); shown only with `showTimeOfDay`.
    TimeValue timeOfDay;
    bool showTimeOfDay = false;
    /// The attached event, locked by the manager for the period; null when none.
    EventRecord* event = nullptr;
    const VEventSnapshot* snapshot = nullptr;
    const std::vector<KString>* messageLines = nullptr;
    bool initialize = false;
    bool message = false;
    bool resultsReleased = true;
    /// Scoreboards\Optimize: 0 each line at once, 1 at the end of the period, else at the end of
    /// this scoreboard's update.
    int optimize = 1;
};

class VScoreboard : public VScoreboardScript, private VScriptHost {
public:
    /// Reads the scoreboard from its group: null without Name, Script or SerialPort. Upgrades older
    /// groups, loads the script, opens the port and installs the change handlers of Script and
    /// SerialPort. `settings`, `group` and `prototypes` must outlive the scoreboard.
    static std::unique_ptr<VScoreboard> Load(KRegistry& settings, KRGroup& group,
                                             const std::filesystem::path& programFolder,
                                             const KStreamPrototypes& prototypes, uint32_t now);
    /// Removes the change handlers and closes the port.
    ~VScoreboard() override;

    /// One period's update (scoreboard thread). True when output waits for WriteReady (Optimize 1).
    bool Update(const VScoreboardPeriod& period);
    /// Writes the last output text and flushes: the end of an Optimize 1 period.
    void WriteReady();

    /// The event changed: no list position, nothing sent of the new event yet.
    void ResetListPosition();
    /// The operator's Refresh: the list is sent again from its first page at the next update,
    /// unless the board shows one line at a time, untimed, on its own.
    void Refresh();

    KRGroup& Group() const { return m_group; }
    KString Name() const;
    /// Whether the port exists and is open now.
    bool IsPortOpen();

private:
    enum class Render { None, Initialize, Message, TimeOfDay, RunningTime, Results };

    struct Keys {
        KRInt* charMode = nullptr;
        KRInt* minUpdateDelay = nullptr;
        KRInt* updateHold = nullptr;
        KRInt* timeMode = nullptr;
        KRInt* timeAdjust = nullptr;
        KRInt* timeNoDelay = nullptr;
        KRInt* resultsMode = nullptr;
        KRInt* pageMode = nullptr;
        KRInt* pageSize = nullptr;
        KRInt* pageMax = nullptr;
        KRInt* pageMask = nullptr;
        KRInt* pageTime = nullptr;
        KRInt* timePrecision = nullptr;
        KRInt* suppressMinute = nullptr;
        KRInt* suppressCutoff = nullptr;
        KRInt* filter = nullptr;
        KRInt* minRunners = nullptr;
        KRBool* includeFirst = nullptr;
        KRBool* affilAbbr = nullptr;
    };

    VScoreboard(KRGroup& group, KRString& script, KRString& port, const std::filesystem::path& programFolder,
                const KStreamPrototypes& prototypes, uint32_t now);

    // The script host.
    const VScriptSettings& ScriptSettings() override;
    uint32_t Tick() override { return m_tick; }
    void Output(KStringView line) override;

    void LoadScript(const KString& name);
    void OpenPort(const KString& spec);
    Render RenderUpdate(const VScoreboardPeriod& period, bool& restartedTimer, uint32_t& previousDue);
    void RenderMessage(const VScoreboardPeriod& period);
    void RenderClock(int slot, TimeValue time);
    bool ResultsStep(const VScoreboardPeriod& period, bool& restartedTimer, uint32_t& previousDue);
    void RenderResults(const VScoreboardPeriod& period, ResultList& list, long long extent, long long limit);
    void Finish(Render render, bool forced, bool restartedTimer, uint32_t previousDue, int optimize);
    /// Encodes in the character mode and writes; a port that refuses loses the text.
    bool Write(KStringView text);
    void Flush();
    int32_t Int(const KRInt* key, int32_t absent) const;

    KRGroup& m_group;
    KRString& m_scriptKey;
    KRString& m_portKey;
    const std::filesystem::path m_programFolder;
    const KStreamPrototypes& m_prototypes;
    Keys m_keys;
    VScriptSettings m_scriptSettings;

    // The last lock of the order written at VScoreboards::m_mutex. Guards everything below (and the
    // script's sections and registers): the port, the texts, the timing and the list position.
    std::mutex m_mutex;
    std::unique_ptr<KStream> m_port;
    KString m_pending;
    KString m_lastOutput;
    std::string m_bytes;  // scratch of Write
    size_t m_capacity;
    uint32_t m_tick = 0;
    uint32_t m_lastWrite;
    std::optional<uint32_t> m_holdDeadline;
    bool m_directOutput = false;  // Optimize 0: each line goes to the port as it is rendered
    bool m_initialize = false;
    bool m_message = false;
    bool m_ready = false;
    bool m_portWasOpen = false;
    bool m_resendLast = false;
    // List position: index of the Results page shown (-1 none), offset of its first record
    // (-1 none), the event's change counter last sent (-1 must resend) and when the next page is due.
    int m_page = -1;
    long long m_offset = -1;
    long long m_lastCounter = 0;
    uint32_t m_nextPageDue = 0;
};
