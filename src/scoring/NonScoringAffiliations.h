#pragma once

// The affiliations whose runners never form a team (unattached athletes).
// The settings entries under Results\Unattached\ are the persistent truth; the
// in-memory sequence is what scoring tests against. The first NumDefaultUna
// entries are built in and protected.

#include <filesystem>
#include <optional>
#include <unordered_set>
#include <vector>

#include "foundation/KString.h"

class KAlerts;
class KRegistry;
class KRGroup;

/// Lives on the main thread, as the settings tree does. The constructor does
/// not read the entries: call Rebuild at start-up.
class NonScoringAffiliations {
public:
    NonScoringAffiliations(KRegistry& settings, KAlerts& alerts);

    // --- Stored entries (numbered child groups of Results\Unattached\) ---

    /// Entry groups, deleted ones included (the list shows them marked).
    size_t Count() const;
    /// Entry groups that are not marked deleted.
    size_t ActiveCount() const;
    /// The i-th entry group in child order, or null.
    KRGroup* Entry(size_t index) const;
    /// Its "Name", or empty.
    KString EntryName(size_t index) const;
    bool IsEntryDeleted(size_t index) const;
    /// How many leading entries are built in (NumDefaultUna, never negative).
    size_t NumDefault() const;
    /// Creates the entry group numbered one more than the largest number present
    /// with "Name" = `name`, or without a name the default name followed by the
    /// number (UNA4). Returns the name given.
    KString Add(std::optional<KStringView> name = std::nullopt);

    // --- The sequence scoring uses ---

    /// Exact comparison: same characters, same case.
    bool IsNonScoring(KStringView affiliation) const { return m_lookup.contains(affiliation); }
    /// Adds the text unless present; true when it was added.
    bool Insert(KStringView text);
    /// Sorts the entries after the built-in ones (plain character order).
    void SortTail();
    const std::vector<KString>& Sequence() const { return m_sequence; }
    /// Start-up: the sequence from the entries' names (deleted entries left out),
    /// the tail sorted, then the names written back so the stored order follows it.
    void Rebuild();
    /// Writes item i of the sequence into the i-th entry that is not deleted.
    void WriteBack();

    // --- Commands of the Results options page ---

    /// "New": an entry with the default name, also added to the sequence.
    /// Returns its index (the last entry).
    size_t New();
    /// "Load...": adds the affiliation (fourth field) of every line of a people
    /// file that is not yet in the sequence, once each; then sorts and writes back.
    /// Returns how many entries were added. Throws KError(3002/3004, errno) when
    /// the file cannot be read; nothing is changed then.
    size_t Load(const std::filesystem::path& peopleFile);
    /// "Delete": marks the entry deleted; a built-in entry is refused with an
    /// alert. True when something was deleted. Scoring then sees exactly the
    /// stored entries that are not deleted.
    bool Delete(size_t index);
    /// "Delete All...": after the operator confirms, marks every entry after the
    /// built-in ones deleted. True when confirmed. Scoring then sees exactly the
    /// built-in entries (those not deleted).
    bool DeleteAll();

private:
    KRGroup* Group() const;
    /// The sequence from the stored entries that are not deleted, tail sorted.
    void ReadStored();
    void SetSequence(std::vector<KString> sequence);

    KRegistry& m_settings;
    KAlerts& m_alerts;
    std::vector<KString> m_sequence;
    struct TextHash {
        using is_transparent = void;
        size_t operator()(KStringView text) const { return std::hash<KStringView>{}(text); }
    };
    /// The same texts, for the per-runner test without a copy of the affiliation.
    std::unordered_set<KString, TextHash, std::equal_to<>> m_lookup;
};
