#include "ui/VZMenuModel.h"

namespace {

using C = VZCommand;

constexpr VZMenuItemSpec kSeparator{u"", C::None, false};

constexpr VZMenuItemSpec kFile[] = {
    {u"Options", C::FileOptions, false}, kSeparator, {u"Exit", C::Exit, false}};
constexpr VZMenuItemSpec kData[] = {{u"FinalizeData", C::FinalizeData, false},
                                    kSeparator,
                                    {u"UpdateDisplay", C::UpdateDisplay, true},
                                    {u"Clear", C::Clear, false},
                                    kSeparator,
                                    {u"ActivityLog", C::ActivityLog, true}};
constexpr VZMenuItemSpec kScoreboard[] = {{u"Initialize", C::ScoreboardInitialize, false},
                                          {u"Refresh", C::ScoreboardRefresh, false},
                                          kSeparator,
                                          {u"TimeOfDay", C::TimeOfDay, true},
                                          {u"TimeOfDay24Hour", C::TimeOfDay24Hour, true},
                                          kSeparator,
                                          {u"EditMessage", C::EditMessage, false},
                                          {u"SendMessage", C::SendMessage, false},
                                          kSeparator,
                                          {u"Options", C::ScoreboardOptions, false}};
constexpr VZMenuItemSpec kScoring[] = {{u"Options", C::ScoringOptions, false}};
constexpr VZMenuItemSpec kResults[] = {{u"Options", C::ResultsOptions, false},
                                       {u"ApplyDefFields", C::ApplyDefaultFields, false}};
constexpr VZMenuItemSpec kHelp[] = {{u"About", C::About, false}};

constexpr VZMenuSpec kMenuBar[] = {
    {u"File", kFile},       {u"Data", kData},       {u"Scoreboard", kScoreboard},
    {u"Scoring", kScoring}, {u"Results", kResults}, {u"Help", kHelp}};

}  // namespace

std::span<const VZMenuSpec> MenuBarSpec() { return kMenuBar; }

KString MenuTextPath(KStringView menu, KStringView key) {
    return KString(u"Strings\\MenuBar\\") + KString(menu) + u"\\" + KString(key);
}

VZItemState MenuItemState(VZCommand command, const VZMenuState& state) {
    switch (command) {
        case C::Exit:
        case C::About:
            return {true, false};
        case C::FinalizeData:
        case C::Clear:
            return {state.event, false};
        case C::UpdateDisplay:
            return {true, state.dataDisplay};
        case C::ActivityLog:
            return {true, state.activityLog};
        case C::FileOptions:
        case C::ScoreboardOptions:
        case C::ScoringOptions:
            return {state.optionsDialog, false};
        case C::ResultsOptions:
            return {state.optionsDialog && state.eventWindow, false};
        case C::ApplyDefaultFields:
            return {state.eventWindow, false};
        case C::ScoreboardInitialize:
        case C::ScoreboardRefresh:
        case C::SendMessage:
            return {state.scoreboards, false};
        case C::TimeOfDay:
            return {state.scoreboards, state.scoreboards && state.timeOfDay};
        case C::TimeOfDay24Hour:
            return {state.scoreboards, state.scoreboards && state.use24Hour};
        case C::EditMessage:
            return {state.scoreboards && state.messageDialog, false};
        default:
            return {};
    }
}

int OptionsPage(VZCommand command) {
    const int code = static_cast<int>(command);
    const int first = static_cast<int>(C::FileOptions);
    return code >= first && code <= static_cast<int>(C::ResultsOptions) ? code - first : -1;
}
