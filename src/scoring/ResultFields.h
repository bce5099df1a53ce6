#pragma once

// The columns ("fields") a results or standings table can show: their keys, labels, default widths,
// cell texts and alignment classes, and the Defaults groups of the settings tree that say which fields a
// table shows and how wide.

#include <cstdint>

#include "foundation/KString.h"

class EventRecord;
class FieldSet;
class KRegistry;
class ResultRecord;

enum class FieldTable { Results = 0, Standings = 1 };

enum class ResultField : int {
    Place = 0,
    Id = 1,
    Lane = 2,
    FirstName = 3,
    LastName = 4,
    Affiliation = 5,
    License = 6,
    Time = 7,
    DeltaTime = 8,
    ReacTime = 9,
    CumSplitTime = 10,
    LastSplitTime = 11,
    BestSplitTime = 12,
    LapsToGo = 13,
    Speed = 14,
    Pace = 15,
};

enum class StandingsField : int { Place = 0, Affiliation = 1, Points = 2, NumScorers = 3, NumMembers = 4 };

/// How a cell is drawn; the window decides what each class looks like. Right: counts and places;
/// Decimal: points and times.
enum class FieldAlignment { None = 0, Right = 1, Decimal = 2 };

struct FieldInfo {
    KStringView key;           ///< names the label text and is stable across languages
    KStringView defaultLabel;  ///< shown when the language has no text for the key
    bool shownByDefault;
    int32_t charWidths;  ///< default width in character widths of the display font
    FieldAlignment alignment;
};

/// Fields a table knows (16 results, 5 standings); the number one past the last means "no field".
int FieldCount(FieldTable table);
inline int NoField(FieldTable table) { return FieldCount(table); }
/// Display slots of a field set: one more than the fields.
inline int SlotCount(FieldTable table) { return FieldCount(table) + 1; }
/// Null for a number outside the table.
const FieldInfo* FindField(FieldTable table, int n);

/// "\Strings\Event\Results\Fields\<key>" (printed: "...\Print\Fields\<key>"), or the default label when
/// that text is missing. With `deltaAsLengths` the delta-time field is labelled by the key Lengths.
/// Empty for a number outside the table.
KString FieldLabel(KRegistry& settings, FieldTable table, int n, bool printed = false,
                   bool deltaAsLengths = false);

struct FieldCell {
    KString text;
    FieldAlignment alignment = FieldAlignment::None;
};

/// The text of field `n` for `record` and its alignment class; empty for a number outside the table.
/// Times use the process-wide rounding and never suppress minutes.
FieldCell CellText(FieldTable table, int n, const ResultRecord& record);

/// The default width of field `n` in pixels: its character widths times `charWidth`.
int32_t DefaultFieldWidth(FieldTable table, int n, int32_t charWidth);

/// "\Event\Results\Fields\Defaults\" or "\Event\Standings\Fields\Defaults\".
KStringView DefaultsGroupPath(FieldTable table);

/// Start-up: creates each Defaults group that does not exist, with "nE" (1 shown, 0 hidden) and "nW"
/// (width in pixels, `charWidth` being the width of one character of the display's default font) for
/// every field of its table. An existing group is left as the user made it.
void EnsureDefaultFields(KRegistry& settings, int32_t charWidth);

/// Shows, in field-number order, every field whose "nE" is non-zero, at the width "nW"; Place alone, 50
/// pixels wide, when none is. Missing keys are created as 0 (and a missing group as empty).
void ApplyDefaultFields(KRegistry& settings, FieldSet& fieldSet);
/// Both tables of the event (those that have a field set).
void ApplyDefaultFields(KRegistry& settings, EventRecord& event);

/// "\Strings\Event\Results\Filter\Default": the name of the one filter a new field set gets.
KString ReadDefaultFilterName(KRegistry& settings);
