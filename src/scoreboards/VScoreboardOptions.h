#pragma once

// The Scoreboard page of the options dialog without its widgets: what each control shows for a
// scoreboard group and what OK stores back. The dialog draws the controls and calls Load and Apply.
//
// Threads: the user-interface thread.

#include <optional>
#include <vector>

#include "foundation/KString.h"

class KRegistry;
class KRGroup;
class VScoreboards;

/// The controls' contents for one scoreboard.
struct VScoreboardFields {
    KString name;
    KString script;
    int charMode = 0;
    KString serialPort;
    int resultsMode = 0;
    int filter = 0;
    bool paging = true;
    KString pageSize;
    /// Empty for -1 (all lines).
    KString pageMax;
    KString pageTime;
    bool includeFirst = false;
    bool affilAbbr = false;
    /// "Always page data": only offered when the group already has an AlwaysPage key.
    std::optional<bool> alwaysPage;
};

class VScoreboardOptions {
public:
    explicit VScoreboardOptions(KRegistry& settings) : m_settings(settings) {}

    /// The entries of Scoreboards\Scripts\, for the Script list.
    std::vector<KString> ScriptEntries() const;
    /// The port fields a script entry names ("1,9600,8,N,1"), applied to the port editor when the
    /// operator chooses it; empty when the script names none.
    static KString PortDefaultsOf(KStringView entry);

    VScoreboardFields Load(KRGroup& group) const;
    /// Stores the fields: the port only when it is a valid specification, PageSize and PageTime
    /// only when they read as integers, an empty Max as -1, PageMode 1 or 0. Setting Script or
    /// SerialPort goes through their change handlers, so a running scoreboard follows.
    void Apply(KRGroup& group, const VScoreboardFields& fields) const;

    /// The list's status column: "Running" (port open), "Not Running", or "Not Loaded" (no manager, or
    /// the group did not load), from Strings\Options\Scoreboard\.
    KString StatusText(const VScoreboards* manager, const KRGroup& group) const;

    /// "New": a new scoreboard group.
    KRGroup* New() const;
    /// "Delete": the group is marked deleted (it is no longer written) and stops counting as a
    /// scoreboard at the next start.
    static void Delete(KRGroup& group);

private:
    KRegistry& m_settings;
};
