#pragma once

// A table's field set: which fields its columns show, in which order and how wide, and the filters that
// decide which records the table treats as relevant. The results list and the standings list each own
// one, and a list sorted against its field set puts the records no filter accepts at the end.
//
// Threads: not synchronised. A field set belongs to a list of the event, and a list's current filter is
// read by the scoreboard thread while it sorts, so changes are made with the event's lock held.

#include <array>
#include <cstdint>
#include <vector>

#include "foundation/KString.h"
#include "scoring/ObserverList.h"
#include "scoring/ResultFields.h"
#include "scoring/ResultList.h"
#include "scoring/TimeValue.h"

class FieldSet;

/// Told after the columns or the filters change, so a table can redraw.
class FieldSetObserver {
public:
    virtual ~FieldSetObserver() = default;
    virtual void AfterFieldsChanged(FieldSet& fieldSet) = 0;
};

class FieldSet : public ResultFieldSet {
public:
    static constexpr uint32_t kStoreVersion = 0x2000f;

    /// Texts that bound a record's six text fields (LastName ... License); an empty text bounds nothing.
    using Bound = std::array<KString, kTextFieldCount>;

    /// One alternative of the set: a range for each text field.
    struct Filter {
        static constexpr uint32_t kFlagMask = 1;  ///< the one flag bit there is

        KString name;
        Bound lower;
        Bound upper;
        uint32_t flags = 0;
        int32_t value = -1;
        TimeValue time{TickCount{0}, kTicksTenth};

        /// Rejects a record whose text lies outside the range of a field bounded on both sides. The
        /// shorter of the two texts compared is padded on the left with spaces first, so digit strings
        /// compare by value (" 99" before "100"); letters compare without regard to case.
        bool Accepts(const ResultRecord& record) const;

        friend bool operator==(const Filter&, const Filter&) = default;
    };

    struct Column {
        int field = 0;
        int32_t width = 0;  ///< pixels

        friend bool operator==(const Column&, const Column&) = default;
    };

    /// The table's built-in default columns (widths for `charWidth` pixels a character) and one filter
    /// named `filterName` that accepts every record.
    explicit FieldSet(FieldTable table, KString name = {}, KString filterName = {}, int32_t charWidth = 8);

    FieldTable Table() const { return m_table; }
    bool IsStandings() const { return m_table == FieldTable::Standings; }
    const KString& Name() const { return m_name; }
    void SetName(KStringView name) { m_name = KString(name); }

    /// The shown columns, left to right.
    std::vector<Column> Columns() const;
    /// Shows `columns` in order; a column whose field is not in the table is left out, and columns
    /// beyond the table's slots are dropped. Notifies.
    void SetColumns(const std::vector<Column>& columns);
    /// The width of shown column `index` (a drag of its edge); ignored for an index not shown.
    void SetColumnWidth(size_t index, int32_t width);

    const std::vector<Filter>& Filters() const { return m_filters; }
    void SetFilters(std::vector<Filter> filters);

    /// Any filter accepts the record (filters are alternatives); false when there are none.
    bool Relevant(const ResultRecord& record) const override;
    uint32_t Sequence() const override { return m_sequence; }

    /// Two layout values and four settings kept for the windows that draw the table; stored, without
    /// meaning here.
    using Layout = std::array<int32_t, 2>;
    using Settings = std::array<uint32_t, 4>;
    const Layout& LayoutValues() const { return m_layout; }
    void SetLayoutValues(const Layout& layout) { m_layout = layout; }
    const Settings& SettingValues() const { return m_settings; }
    void SetSettingValues(const Settings& settings) { m_settings = settings; }

    void AddObserver(FieldSetObserver* observer) { m_observers.Add(observer); }
    void RemoveObserver(FieldSetObserver* observer) { m_observers.Remove(observer); }

    /// Version 0x2000f, sequence, name, layout, settings, five reserved zeros, the filters, then the
    /// slot count, a width per slot, the shown count and a field number per slot.
    void Store(KBinaryWriter& out) const override;
    /// All or nothing: on KError (3009 another version or a bound of more than six texts, 3010 data
    /// that ends early) the set is unchanged. Columns stored for the other table are read and ignored;
    /// stored field numbers outside the table are dropped.
    void Load(KBinaryReader& in) override;

private:
    void Changed();

    FieldTable m_table;
    KString m_name;
    uint32_t m_sequence = 1;
    std::vector<Filter> m_filters;
    std::vector<Column> m_columns;  // the shown ones; the remaining slots hold no field
    Layout m_layout{};
    Settings m_settings{};
    ObserverList<FieldSetObserver> m_observers;
};
