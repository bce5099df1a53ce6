#include "scoring/NonScoringAffiliations.h"

#include <algorithm>

#include "foundation/KAlerts.h"
#include "scoring/PeopleFile.h"
#include "settings/KRegistry.h"

namespace {

constexpr KStringView kGroupPath = u"Results\\Unattached\\";
constexpr KStringView kNumDefaultPath = u"Results\\Unattached\\NumDefaultUna";
constexpr int32_t kDefaultNumDefault = 3;

KString TextOr(KRegistry& settings, KStringView path, KStringView fallback) {
    KString text = settings.GetText(path);
    return text.empty() ? KString(fallback) : text;
}

KRString* NameNode(KRGroup* entry) { return entry ? entry->FindString(u"Name") : nullptr; }

/// The entry's "Name", created when missing; null when something else holds the name.
KRString* MakeNameNode(KRGroup* entry) {
    if (!entry) return nullptr;
    entry->Define(u"Name:String=");
    return entry->FindString(u"Name");
}

}  // namespace

NonScoringAffiliations::NonScoringAffiliations(KRegistry& settings, KAlerts& alerts)
    : m_settings(settings), m_alerts(alerts) {}

KRGroup* NonScoringAffiliations::Group() const { return m_settings.FindGroup(kGroupPath); }

size_t NonScoringAffiliations::Count() const {
    const KRGroup* group = Group();
    return group ? group->NumberedGroupCount() : 0;
}

size_t NonScoringAffiliations::ActiveCount() const {
    size_t count = 0;
    for (size_t i = 0; i < Count(); ++i) count += IsEntryDeleted(i) ? 0 : 1;
    return count;
}

KRGroup* NonScoringAffiliations::Entry(size_t index) const {
    const KRGroup* group = Group();
    return group ? group->NumberedGroup(index) : nullptr;
}

KString NonScoringAffiliations::EntryName(size_t index) const {
    const KRString* name = NameNode(Entry(index));
    return name ? name->Value() : KString();
}

bool NonScoringAffiliations::IsEntryDeleted(size_t index) const {
    const KRGroup* entry = Entry(index);
    return entry && entry->IsDeleted();
}

size_t NonScoringAffiliations::NumDefault() const {
    const KRInt* node = m_settings.FindInt(kNumDefaultPath);
    const int32_t value = node ? node->Value() : kDefaultNumDefault;
    return value > 0 ? static_cast<size_t>(value) : 0;
}

KString NonScoringAffiliations::Add(std::optional<KStringView> name) {
    KRGroup* group = Group();
    if (!group) {
        // A tree without the group (a settings file cannot remove it, but be safe).
        m_settings.Define(u"Results\\:=");
        m_settings.Define(KString(kGroupPath) + u":=");
        group = Group();
        if (!group) return {};
    }
    const KString number = ToKString(group->NextFreeNumber());
    KString text = name ? KString(*name)
                        : TextOr(m_settings, u"Strings\\Options\\Results\\DefaultName", u"UNA") + number;
    group->Define(number + u"\\:=");
    if (KRString* node = MakeNameNode(group->FindGroup(number + u"\\"))) node->SetValue(text);
    return text;
}

bool NonScoringAffiliations::Insert(KStringView text) {
    KString key(text);
    if (m_lookup.contains(key)) return false;
    m_lookup.insert(key);
    m_sequence.push_back(std::move(key));
    return true;
}

void NonScoringAffiliations::SortTail() {
    const size_t head = std::min(NumDefault(), m_sequence.size());
    // u16string compares by code unit: plain character order, case-sensitive.
    std::sort(m_sequence.begin() + static_cast<std::ptrdiff_t>(head), m_sequence.end());
}

void NonScoringAffiliations::SetSequence(std::vector<KString> sequence) {
    m_sequence.clear();
    m_lookup.clear();
    for (KString& text : sequence) Insert(text);
}

void NonScoringAffiliations::ReadStored() {
    std::vector<KString> names;
    for (size_t i = 0; i < Count(); ++i) {
        if (!IsEntryDeleted(i)) names.push_back(EntryName(i));
    }
    SetSequence(std::move(names));
    SortTail();
}

void NonScoringAffiliations::Rebuild() {
    ReadStored();
    WriteBack();
}

void NonScoringAffiliations::WriteBack() {
    // Deleted entries keep their names: they are shown marked until the next start.
    size_t item = 0;
    for (size_t i = 0; i < Count() && item < m_sequence.size(); ++i) {
        if (IsEntryDeleted(i)) continue;
        if (KRString* name = MakeNameNode(Entry(i))) name->SetValue(m_sequence[item]);
        ++item;
    }
}

size_t NonScoringAffiliations::New() {
    Insert(Add());
    return Count() - 1;
}

size_t NonScoringAffiliations::Load(const std::filesystem::path& peopleFile) {
    const std::vector<KString> affiliations = PeopleFile::ReadAffiliations(peopleFile);
    size_t added = 0;
    for (const KString& affiliation : affiliations) {
        if (Insert(affiliation)) {
            Add(affiliation);
            ++added;
        }
    }
    SortTail();
    WriteBack();
    return added;
}

bool NonScoringAffiliations::Delete(size_t index) {
    KRGroup* entry = Entry(index);
    if (!entry) return false;
    if (index < NumDefault()) {
        m_alerts.ShowError(
            TextOr(m_settings, u"Strings\\Alerts\\Error", u"Error"),
            ExpandLineBreaks(TextOr(m_settings, u"Strings\\Alerts\\DelDefaultUna",
                                    u"The default non scoring affiliations cannot be deleted")));
        return false;
    }
    entry->SetDeleted(true);
    // What the operator sees is what scores.
    ReadStored();
    return true;
}

bool NonScoringAffiliations::DeleteAll() {
    const KString question = TextOr(m_settings, u"Strings\\Options\\Results\\DeleteAllNonS",
                                    u"Are you sure you want to delete all non-scoring athletes?");
    if (!m_alerts.Confirm(TextOr(m_settings, u"Strings\\Alerts\\Message", u"Message"),
                          ExpandLineBreaks(question), KAlertButtons::YesNo, KAlertButton::No,
                          KAlertSymbol::Question)) {
        return false;
    }
    for (size_t i = NumDefault(); i < Count(); ++i) Entry(i)->SetDeleted(true);
    ReadStored();
    return true;
}
