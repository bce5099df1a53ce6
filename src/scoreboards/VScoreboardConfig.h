#pragma once

// Where the scoreboards' configuration lives in the settings tree (Scoreboards\): the global keys,
// one numbered group per scoreboard, the list of scoreboard scripts beside the program, and the
// port prototypes the scoreboards open their ports with.
//
// Threads: the user-interface thread only (start-up and the options dialog).

#include <cstdint>
#include <filesystem>

#include "foundation/KString.h"

class KNetwork;
class KRegistry;
class KRGroup;
class KSerialPortList;
class KStreamPrototypes;

namespace VScoreboardConfig {

inline constexpr KStringView kRoot = u"\\Scoreboards\\";
inline constexpr int kDefaultPeriod = 100;
inline constexpr int kMinPeriod = 10;
inline constexpr int kMaxPeriod = 1000;
inline constexpr int kDefaultPortBuffer = 32768;

/// Rebuilds Scoreboards\Scripts\ from the *.vss files of `programFolder` (in the order the folder
/// lists them): each entry is the file name, followed by ",1,<spec>" or ",-1,<spec>" when the
/// file's first line is a "; Defaults: " or "; Network Defaults: " comment.
void BuildScriptList(KRegistry& settings, const std::filesystem::path& programFolder);

/// The serial, TCP and UDP prototypes of the scoreboards, sized by PortBuffer and UDPSize. Their
/// writes never wait: a port that cannot take output now refuses it.
void RegisterPrototypes(KStreamPrototypes& prototypes, KRegistry& settings, KSerialPortList& serialPorts,
                        KNetwork& network);

/// The numbered scoreboard groups; children such as Scripts\ are not scoreboards.
size_t ScoreboardCount(KRegistry& settings);
KRGroup* ScoreboardGroup(KRegistry& settings, size_t index);

/// Scoreboards\<n>\ with n one above the largest number in use, filled with a new scoreboard's keys.
KRGroup* CreateScoreboard(KRegistry& settings);

/// Adds the keys older versions did not write (value 0), moves AutoBreak to AutoBreakCapt where an
/// obsolete ABIfCapturing asked for it, and marks ABIfCapturing obsolete.
void UpgradeScoreboard(KRGroup& group);

/// Scoreboards\Period clamped to 10..1000 ms; 100 when absent.
int Period(KRegistry& settings);
/// An Int of `group`, or `absent` when the key is missing.
int32_t ReadInt(KRGroup& settings, KStringView path, int32_t absent);

/// A scripts-list entry split into the file name and the port fields after it ("1,9600,8,N,1" or
/// "-1,127.0.0.1,1024"); the fields are empty when the script names no defaults.
struct ScriptEntry {
    KString file;
    KString portDefaults;
};
ScriptEntry SplitScriptEntry(KStringView entry);

}  // namespace VScoreboardConfig
