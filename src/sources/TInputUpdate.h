#pragma once

// One input update: the named fields of a completed message applied to the event. Discards the
// results when the event changes, sets the event information, creates or updates one individual
// result per result line (found by Id), logs the update and recomputes the unofficial standings.

#include <functional>
#include <vector>

#include "foundation/KString.h"

class EventRecord;
class KLog;
class TeamScoring;
class TFieldSpec;

/// What an update needs besides the event and its fields.
struct TInputUpdateContext {
    /// Activity lines go here when `logEnabled` says so (always when it is empty); null: none.
    KLog* log = nullptr;
    std::function<bool()> logEnabled;
    /// Recomputes the unofficial standings after the update; null leaves them as they are.
    TeamScoring* scoring = nullptr;
};

/// Applies `fields` (name in `text`, cut value in `value`, in message order) to `event`. Holds the
/// event lock from the begin notice to the end one, so the scoreboard thread never sees a
/// half-applied update. Runs on the user-interface thread. Unreadable numbers and times take
/// their defaults; nothing is reported.
void ApplyInputUpdate(EventRecord& event, const std::vector<TFieldSpec>& fields,
                      const TInputUpdateContext& context);
