#pragma once

// The menu bar as data: its menus and items with their text keys and commands, and which items
// are enabled and checked when a menu opens. The main window builds its menus from it; a test
// asks it without a screen.

#include <span>

#include "foundation/KString.h"

/// The command codes of the menu bar and the tool bar.
enum class VZCommand : int {
    None = 0,
    Exit = 10005,
    About = 10132,
    HelpContents = 10133,
    FileOptions = 10134,
    ScoreboardOptions = 10135,
    ScoringOptions = 10136,
    ResultsOptions = 10137,
    Clear = 10150,
    ActivityLog = 10151,
    UpdateDisplay = 10152,
    DisableDisplay = 10154,
    EnableDisplay = 10155,
    FinalizeData = 10156,
    ApplyDefaultFields = 10161,
    ScoreboardInitialize = 10163,
    ScoreboardRefresh = 10164,
    TimeOfDay = 10165,
    TimeOfDay24Hour = 10166,
    EditMessage = 10167,
    SendMessage = 10168,
};

struct VZMenuItemSpec {
    KStringView key;  ///< Strings\MenuBar\<menu>\<key>; empty for a separator
    VZCommand command;
    bool checkable;
};

struct VZMenuSpec {
    KStringView key;  ///< Strings\MenuBar\<key>\Title is its title
    std::span<const VZMenuItemSpec> items;
};

/// File, Data, Scoreboard, Scoring, Results, Help, in that order.
std::span<const VZMenuSpec> MenuBarSpec();

/// "Strings\MenuBar\<menu>\<key>".
KString MenuTextPath(KStringView menu, KStringView key);

/// What the enabling of the items depends on, gathered when a menu opens.
struct VZMenuState {
    bool event = false;          ///< the sources' event exists
    bool eventWindow = false;    ///< an event window shows it
    bool scoreboards = false;    ///< a scoreboard manager exists
    bool messageDialog = false;  ///< the scoreboard message dialog can be opened
    bool optionsDialog = false;  ///< the Options dialog can be opened
    bool activityLog = false;
    bool dataDisplay = false;
    bool timeOfDay = false;  ///< the scoreboards' flags
    bool use24Hour = false;
};

struct VZItemState {
    bool enabled = false;
    bool checked = false;
};

/// An item that would do nothing in `state` (no dialog to open, no scoreboards) is disabled.
VZItemState MenuItemState(VZCommand command, const VZMenuState& state);

/// Options items open the Options dialog at this page (0 sources, 1 scoreboards, 2 scoring,
/// 3 results); -1 for other commands.
int OptionsPage(VZCommand command);
