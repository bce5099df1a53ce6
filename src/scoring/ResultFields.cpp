#include "scoring/ResultFields.h"

#include <algorithm>
#include <iterator>
#include <span>
#include <vector>

#include "scoring/EventRecord.h"
#include "scoring/FieldSet.h"
#include "scoring/ResultRecord.h"
#include "settings/KRegistry.h"

namespace {

using enum FieldAlignment;

constexpr FieldInfo kResultFields[] = {
    {u"Place", u"Place", true, 6, Right},
    {u"Id", u"Id", true, 5, None},
    {u"Lane", u"Lane", false, 5, None},
    {u"FirstName", u"First Name", false, 20, None},
    {u"LastName", u"Last Name", true, 20, None},
    {u"Affiliation", u"Affiliation", true, 20, None},
    {u"License", u"License", false, 10, None},
    {u"Time", u"Time", true, 10, Decimal},
    {u"DeltaTime", u"Delta Time", false, 10, Decimal},
    {u"ReacTime", u"ReacTime", false, 6, Decimal},
    {u"CumSplitTime", u"Cum. Split Time", true, 6, Decimal},
    {u"LastSplitTime", u"Last Split Time", false, 6, Decimal},
    {u"BestSplitTime", u"Best Split Time", false, 6, Decimal},
    {u"LapsToGo", u"Laps", true, 6, Right},
    {u"Speed", u"Speed", false, 6, Decimal},
    {u"Pace", u"Pace", false, 6, Decimal},
};

constexpr FieldInfo kStandingsFields[] = {
    {u"Place", u"Place", true, 5, Right},
    {u"Affiliation", u"Affiliation", true, 10, None},
    {u"Points", u"Points", true, 5, Decimal},
    {u"NumScorers", u"Num Scorers + Displacers", true, 12, Right},
    {u"NumMembers", u"Num Team Members", true, 12, Right},
};

constexpr FieldInfo kLengthsField = {u"Lengths", u"Lengths", false, 10, Decimal};

// What "nothing shown" falls back to.
constexpr int32_t kPlaceAloneWidth = 50;

std::span<const FieldInfo> Fields(FieldTable table) {
    if (table == FieldTable::Standings) return kStandingsFields;
    return kResultFields;
}

KString ResultCellText(ResultField field, const ResultRecord& r) {
    switch (field) {
        case ResultField::Place:
            return r.PlaceText();
        case ResultField::Id:
            return r.Id();
        case ResultField::Lane:
            return r.Lane();
        case ResultField::FirstName:
            return r.FirstName();
        case ResultField::LastName:
            return r.LastName();
        case ResultField::Affiliation:
            return r.Affiliation();
        case ResultField::License:
            return r.License();
        // The finish time keeps the precision the timing system measured it at.
        case ResultField::Time:
            return FormatTime(r.Time(), r.Time().GetPrecision());
        case ResultField::DeltaTime:
            return r.FormatTimeField(r.DeltaTime());
        case ResultField::ReacTime:
            return FormatTime(r.ReacTime(), kTicksThousandth);
        case ResultField::CumSplitTime:
            return r.FormatTimeField(r.CumSplitTime());
        case ResultField::LastSplitTime:
            return r.FormatTimeField(r.LastSplitTime());
        case ResultField::BestSplitTime:
            return r.FormatTimeField(r.BestSplitTime());
        case ResultField::LapsToGo:
            return ToKString(r.LapsToGo());
        case ResultField::Speed:
            return r.FormatTimeField(r.Speed());
        case ResultField::Pace:
            return r.FormatTimeField(r.Pace());
    }
    return {};
}

KString StandingsCellText(StandingsField field, const ResultRecord& r) {
    switch (field) {
        case StandingsField::Place:
            return r.Place() > 0 ? ToKString(r.Place()) : KString();
        case StandingsField::Affiliation:
            return r.Affiliation();
        case StandingsField::Points:
            return r.Points() != 0 ? ToKString(r.Points()) : KString(u"-");
        case StandingsField::NumScorers:
            return ToKString(r.NumScorers());
        case StandingsField::NumMembers:
            return ToKString(r.NumMembers());
    }
    return {};
}

/// The group at `path` (ending in a backslash), with any missing parent groups created.
KRGroup* MakeGroup(KRegistry& settings, KStringView path) {
    for (size_t end = path.find(u'\\'); end != KStringView::npos; end = path.find(u'\\', end + 1)) {
        const KStringView prefix = path.substr(0, end + 1);
        if (!settings.FindGroup(prefix)) settings.Define(KString(prefix) + u":=");
    }
    return settings.FindGroup(path);
}

KString KeyName(int n, KChar suffix) { return ToKString(n) + suffix; }

/// The Int "nE" / "nW" of the group; created as 0 when missing. Another kind of node reads as 0.
int32_t ReadOrCreateInt(KRGroup& group, const KString& name) {
    if (const KRInt* node = group.FindInt(name)) return node->Value();
    if (!group.FindChild(name)) group.Define(name + u":Int=0");
    return 0;
}

}  // namespace

int FieldCount(FieldTable table) { return static_cast<int>(Fields(table).size()); }

const FieldInfo* FindField(FieldTable table, int n) {
    const auto fields = Fields(table);
    return n >= 0 && n < static_cast<int>(fields.size()) ? &fields[static_cast<size_t>(n)] : nullptr;
}

KString FieldLabel(KRegistry& settings, FieldTable table, int n, bool printed, bool deltaAsLengths) {
    const FieldInfo* info = FindField(table, n);
    if (!info) return {};
    if (deltaAsLengths && table == FieldTable::Results && n == static_cast<int>(ResultField::DeltaTime)) {
        info = &kLengthsField;
    }
    const KStringView prefix =
        printed ? u"\\Strings\\Event\\Results\\Print\\Fields\\" : u"\\Strings\\Event\\Results\\Fields\\";
    KString label = settings.GetText(KString(prefix) + KString(info->key));
    return label.empty() ? KString(info->defaultLabel) : label;
}

FieldCell CellText(FieldTable table, int n, const ResultRecord& record) {
    const FieldInfo* info = FindField(table, n);
    if (!info) return {};
    KString text = table == FieldTable::Standings ? StandingsCellText(static_cast<StandingsField>(n), record)
                                                  : ResultCellText(static_cast<ResultField>(n), record);
    return {std::move(text), info->alignment};
}

int32_t DefaultFieldWidth(FieldTable table, int n, int32_t charWidth) {
    const FieldInfo* info = FindField(table, n);
    return info ? info->charWidths * std::max(charWidth, 0) : 0;
}

KStringView DefaultsGroupPath(FieldTable table) {
    return table == FieldTable::Standings ? u"\\Event\\Standings\\Fields\\Defaults\\"
                                          : u"\\Event\\Results\\Fields\\Defaults\\";
}

void EnsureDefaultFields(KRegistry& settings, int32_t charWidth) {
    for (FieldTable table : {FieldTable::Results, FieldTable::Standings}) {
        if (settings.FindGroup(DefaultsGroupPath(table))) continue;
        KRGroup* group = MakeGroup(settings, DefaultsGroupPath(table));
        if (!group) continue;  // something else holds the name
        for (int n = 0; n < FieldCount(table); ++n) {
            const KString shown = FindField(table, n)->shownByDefault ? u"1" : u"0";
            group->Define(KeyName(n, u'E') + u":Int=" + shown);
            group->Define(KeyName(n, u'W') + u":Int=" + ToKString(DefaultFieldWidth(table, n, charWidth)));
        }
    }
}

void ApplyDefaultFields(KRegistry& settings, FieldSet& fieldSet) {
    const FieldTable table = fieldSet.Table();
    std::vector<FieldSet::Column> columns;
    if (KRGroup* group = MakeGroup(settings, DefaultsGroupPath(table))) {
        for (int n = 0; n < FieldCount(table); ++n) {
            const bool shown = ReadOrCreateInt(*group, KeyName(n, u'E')) != 0;
            const int32_t width = ReadOrCreateInt(*group, KeyName(n, u'W'));
            if (shown) columns.push_back({n, std::max(width, 0)});
        }
    }
    if (columns.empty()) columns.push_back({0, kPlaceAloneWidth});
    fieldSet.SetColumns(columns);
}

void ApplyDefaultFields(KRegistry& settings, EventRecord& event) {
    for (ResultList* list : {&event.Results(), &event.Standings()}) {
        if (auto* fieldSet = dynamic_cast<FieldSet*>(list->FieldSet()))
            ApplyDefaultFields(settings, *fieldSet);
    }
}

KString ReadDefaultFilterName(KRegistry& settings) {
    return settings.GetText(u"\\Strings\\Event\\Results\\Filter\\Default");
}
