#include "scoring/FieldSet.h"

#include <algorithm>

#include "foundation/KBinaryData.h"
#include "foundation/KError.h"
#include "scoring/ResultRecord.h"

namespace {

constexpr int kReservedWords = 5;
// A stored filter holds at least: name, two empty bounds, flags, value and a time.
constexpr size_t kMinStoredFilterSize = 4 + 4 + 4 + 4 + 4 + (4 + 6 + 6 + 4);
// A stored slot holds a width and a field number.
constexpr size_t kStoredSlotSize = 8;

/// Negative when `text` sorts before `bound`: the shorter one is padded with leading spaces first.
int ComparePadded(KStringView text, KStringView bound) {
    const size_t length = std::max(text.size(), bound.size());
    const size_t padText = length - text.size(), padBound = length - bound.size();
    for (size_t i = 0; i < length; ++i) {
        const KChar a = FoldCase(i < padText ? u' ' : text[i - padText]);
        const KChar b = FoldCase(i < padBound ? u' ' : bound[i - padBound]);
        if (a != b) return a < b ? -1 : 1;
    }
    return 0;
}

void StoreBound(KBinaryWriter& out, const FieldSet::Bound& bound) {
    out.WriteWord(static_cast<uint32_t>(bound.size()));
    for (const KString& text : bound) out.WriteText(text);
}

FieldSet::Bound LoadBound(KBinaryReader& in) {
    const uint32_t count = in.ReadWord();
    if (count > kTextFieldCount) throw KError(KErrorCode::kFileVersion);
    FieldSet::Bound bound;
    for (uint32_t i = 0; i < count; ++i) bound[i] = in.ReadText();
    return bound;
}

/// Refuses a stored count that the remaining data cannot hold, before anything is allocated for it.
void RequireRoom(const KBinaryReader& in, uint32_t count, size_t itemSize) {
    if (count > in.Remaining() / itemSize) {
        throw KError(KErrorCode::kFileContents,
                     static_cast<int>(std::min<size_t>(in.Remaining(), INT32_MAX)));
    }
}

}  // namespace

bool FieldSet::Filter::Accepts(const ResultRecord& record) const {
    for (int i = 0; i < kTextFieldCount; ++i) {
        if (lower[i].empty() || upper[i].empty()) continue;
        const KString& text = record.Text(static_cast<TextField>(i));
        if (ComparePadded(text, lower[i]) < 0 || ComparePadded(text, upper[i]) > 0) return false;
    }
    return true;
}

FieldSet::FieldSet(FieldTable table, KString name, KString filterName, int32_t charWidth)
    : m_table(table), m_name(std::move(name)) {
    Filter all;
    all.name = std::move(filterName);
    m_filters.push_back(std::move(all));
    for (int n = 0; n < FieldCount(table); ++n) {
        if (FindField(table, n)->shownByDefault)
            m_columns.push_back({n, DefaultFieldWidth(table, n, charWidth)});
    }
}

void FieldSet::Changed() {
    m_observers.Notify([&](FieldSetObserver& observer) { observer.AfterFieldsChanged(*this); });
}

std::vector<FieldSet::Column> FieldSet::Columns() const { return m_columns; }

void FieldSet::SetColumns(const std::vector<Column>& columns) {
    m_columns.clear();
    for (const Column& column : columns) {
        if (m_columns.size() == static_cast<size_t>(SlotCount(m_table))) break;
        if (FindField(m_table, column.field)) m_columns.push_back(column);
    }
    Changed();
}

void FieldSet::SetColumnWidth(size_t index, int32_t width) {
    if (index >= m_columns.size() || m_columns[index].width == width) return;
    m_columns[index].width = width;
    Changed();
}

void FieldSet::SetFilters(std::vector<Filter> filters) {
    m_filters = std::move(filters);
    for (Filter& filter : m_filters) filter.flags &= Filter::kFlagMask;
    // A list compares sequences to learn that its relevant records may differ; 0 means "no filter".
    if (++m_sequence == 0) m_sequence = 1;
    Changed();
}

bool FieldSet::Relevant(const ResultRecord& record) const {
    return std::any_of(m_filters.begin(), m_filters.end(),
                       [&](const Filter& filter) { return filter.Accepts(record); });
}

void FieldSet::Store(KBinaryWriter& out) const {
    out.WriteWord(kStoreVersion);
    out.WriteWord(m_sequence);
    out.WriteText(m_name);
    for (int32_t value : m_layout) out.WriteInt(value);
    for (uint32_t value : m_settings) out.WriteWord(value);
    for (int i = 0; i < kReservedWords; ++i) out.WriteWord(0);
    out.WriteWord(static_cast<uint32_t>(m_filters.size()));
    for (const Filter& filter : m_filters) {
        out.WriteText(filter.name);
        StoreBound(out, filter.lower);
        StoreBound(out, filter.upper);
        out.WriteWord(filter.flags);
        out.WriteInt(filter.value);
        filter.time.Store(out);
    }
    const size_t slots = static_cast<size_t>(SlotCount(m_table));
    out.WriteWord(static_cast<uint32_t>(slots));
    for (size_t slot = 0; slot < slots; ++slot)
        out.WriteInt(slot < m_columns.size() ? m_columns[slot].width : 0);
    out.WriteWord(static_cast<uint32_t>(m_columns.size()));
    for (size_t slot = 0; slot < slots; ++slot) {
        out.WriteInt(slot < m_columns.size() ? m_columns[slot].field : NoField(m_table));
    }
}

void FieldSet::Load(KBinaryReader& in) {
    if (in.ReadWord() != kStoreVersion) throw KError(KErrorCode::kFileVersion);
    const uint32_t sequence = in.ReadWord();
    KString name = in.ReadText();
    Layout layout;
    for (int32_t& value : layout) value = in.ReadInt();
    Settings settings;
    for (uint32_t& value : settings) value = in.ReadWord();
    in.Skip(kReservedWords * 4);

    const uint32_t filterCount = in.ReadWord();
    RequireRoom(in, filterCount, kMinStoredFilterSize);
    std::vector<Filter> filters(filterCount);
    for (Filter& filter : filters) {
        filter.name = in.ReadText();
        filter.lower = LoadBound(in);
        filter.upper = LoadBound(in);
        filter.flags = in.ReadWord() & Filter::kFlagMask;
        filter.value = in.ReadInt();
        filter.time = TimeValue::Load(in);
    }

    const uint32_t slots = in.ReadWord();
    RequireRoom(in, slots, kStoredSlotSize);
    std::vector<int32_t> widths(slots), fields(slots);
    for (int32_t& width : widths) width = in.ReadInt();
    const uint32_t shown = in.ReadWord();
    for (int32_t& field : fields) field = in.ReadInt();

    m_name = std::move(name);
    m_layout = layout;
    m_settings = settings;
    m_filters = std::move(filters);
    // Whether this is a standings set is its list's role, not the file's say: columns of the other
    // table are not taken.
    if (slots == static_cast<uint32_t>(SlotCount(m_table))) {
        m_columns.clear();
        for (uint32_t slot = 0; slot < std::min(shown, slots); ++slot) {
            if (FindField(m_table, fields[slot])) m_columns.push_back({fields[slot], widths[slot]});
        }
    }
    // The list that sorts against this set must see that its relevant records may have changed.
    m_sequence = std::max(sequence, m_sequence + 1);
    if (m_sequence == 0) m_sequence = 1;
    Changed();
}
