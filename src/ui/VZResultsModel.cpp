#include "ui/VZResultsModel.h"

#include <QThread>
#include <algorithm>

#include "settings/KRegistry.h"
#include "ui/VZText.h"

VZResultsModel::VZResultsModel(KRegistry& settings, EventRecord& event, ResultList& list, QObject* parent)
    : QAbstractTableModel(parent),
      m_settings(settings),
      m_event(event),
      m_list(list),
      m_fields(dynamic_cast<FieldSet*>(list.FieldSet())),
      m_table(list.IsStandings() ? FieldTable::Standings : FieldTable::Results) {
    EventRecord::ScopedLock lock(m_event);
    if (m_fields != nullptr) m_fields->AddObserver(this);
    m_list.AddObserver(this);
    m_event.AddObserver(this);
    ReadColumns();
    Refresh();
}

VZResultsModel::~VZResultsModel() {
    EventRecord::ScopedLock lock(m_event);
    m_event.RemoveObserver(this);
    m_list.RemoveObserver(this);
    if (m_fields != nullptr) m_fields->RemoveObserver(this);
}

int VZResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int VZResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

int VZResultsModel::Field(int column) const {
    return column >= 0 && column < static_cast<int>(m_columns.size()) ? m_columns[column] : -1;
}

QVariant VZResultsModel::data(const QModelIndex& index, int role) const {
    const int field = Field(index.column());
    if (m_stale || field < 0 || index.row() < 0 || index.row() >= static_cast<int>(m_rows.size())) return {};
    EventRecord::ScopedLock lock(m_event);
    const ResultRecord& record = *m_rows[index.row()];
    switch (role) {
        case Qt::DisplayRole:
            return VZQString(CellText(m_table, field, record).text);
        case Qt::TextAlignmentRole:
            // Places, counts, points and times line up on the right, names on the left.
            return CellText(m_table, field, record).alignment == FieldAlignment::None
                       ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                       : QVariant(Qt::AlignRight | Qt::AlignVCenter);
        case Qt::ForegroundRole:
            if (field == static_cast<int>(ResultField::LapsToGo) && LapsHighlighted(record))
                return kLapsHighlight;
            return {};
        default:
            return {};
    }
}

bool VZResultsModel::LapsHighlighted(const ResultRecord& record) const {
    if (m_table != FieldTable::Results) return false;
    const KRBool* countsUp = m_settings.FindBool(u"Scoring\\LapsToGoDir");
    return (countsUp == nullptr || !countsUp->Value()) && record.LapsToGo() == 0 &&
           !record.Time().IsValid() && !record.CumSplitTime().IsValid();
}

QVariant VZResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    const int field = Field(section);
    return field < 0 ? QVariant() : QVariant(VZQString(FieldLabel(m_settings, m_table, field)));
}

int VZResultsModel::ColumnWidth(int column) const {
    if (m_fields == nullptr) return DefaultFieldWidth(m_table, Field(column), 8);
    EventRecord::ScopedLock lock(m_event);
    const std::vector<FieldSet::Column> columns = m_fields->Columns();
    return column >= 0 && column < static_cast<int>(columns.size()) ? columns[column].width : 0;
}

void VZResultsModel::SetColumnWidth(int column, int width) {
    if (m_fields == nullptr || ColumnWidth(column) == width) return;
    EventRecord::ScopedLock lock(m_event);
    m_fields->SetColumnWidth(static_cast<size_t>(column), width);
}

bool VZResultsModel::IsOfficial() const {
    EventRecord::ScopedLock lock(m_event);
    return m_list.IsOfficial();
}

void VZResultsModel::ReadColumns() {
    m_columns.clear();
    if (m_fields != nullptr) {
        for (const FieldSet::Column& column : m_fields->Columns()) m_columns.push_back(column.field);
    } else {
        for (int field = 0; field < FieldCount(m_table); ++field) {
            if (FindField(m_table, field)->shownByDefault) m_columns.push_back(field);
        }
    }
}

bool VZResultsModel::OwnThread() const { return QThread::currentThread() == thread(); }

void VZResultsModel::BeforeChange(ResultList&, ResultRecord* record) {
    if (record == nullptr && !m_refreshing && OwnThread()) m_stale = true;
}

void VZResultsModel::AfterChange(ResultList&, ResultRecord& record, bool) {
    if (m_refreshing || !OwnThread()) return;
    m_changed.insert(&record);
    // A change of one record leaves every row's record alive: the rows follow a little later.
    if (m_updateDepth == 0) ScheduleRefresh();
}

void VZResultsModel::ListChanged(ResultList&) {
    if (m_refreshing || !OwnThread()) return;
    m_wholeListChanged = true;
    // Records may be gone: outside an update the rows follow at once.
    if (m_updateDepth == 0) Refresh();
}

void VZResultsModel::AfterFieldsChanged(FieldSet&) {
    if (!OwnThread()) return;
    std::vector<int> before = m_columns;
    ReadColumns();
    if (before != m_columns) {
        beginResetModel();  // columns come and go only when the operator chooses them
        endResetModel();
    }
    Q_EMIT ColumnWidthsChanged();
}

void VZResultsModel::UpdateBegins(EventRecord&) {
    if (OwnThread()) ++m_updateDepth;
}

void VZResultsModel::UpdateEnded(EventRecord&) {
    if (!OwnThread() || m_updateDepth == 0) return;
    if (--m_updateDepth == 0 && (m_stale || m_wholeListChanged || !m_changed.empty())) Refresh();
}

void VZResultsModel::ScheduleRefresh() {
    if (m_refreshScheduled) return;
    m_refreshScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_refreshScheduled) Refresh();
        },
        Qt::QueuedConnection);
}

void VZResultsModel::Refresh() {
    if (m_refreshing) return;
    m_refreshing = true;
    m_refreshScheduled = false;
    std::vector<ResultRecord*> rows;
    rows.reserve(m_rows.size() + 16);
    {
        EventRecord::ScopedLock lock(m_event);
        m_list.Sort(m_fields);
        for (ResultRecord* r = m_list.First(m_fields); r != nullptr; r = m_list.Next(r, m_fields))
            rows.push_back(r);
    }

    // Rows are positions: only the span between the unchanged head and tail is announced.
    const size_t common = std::min(rows.size(), m_rows.size());
    size_t head = 0;
    while (head < common && rows[head] == m_rows[head]) ++head;
    size_t tail = 0;
    while (tail < common - head && rows[rows.size() - 1 - tail] == m_rows[m_rows.size() - 1 - tail]) ++tail;
    const int first = static_cast<int>(head);
    if (rows.size() > m_rows.size()) {
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size() - m_rows.size()) - 1);
        m_rows.swap(rows);
        m_stale = false;
        endInsertRows();
    } else if (rows.size() < m_rows.size()) {
        beginRemoveRows(QModelIndex(), first, first + static_cast<int>(m_rows.size() - rows.size()) - 1);
        m_rows.swap(rows);
        m_stale = false;
        endRemoveRows();
    } else {
        m_rows.swap(rows);
        m_stale = false;
    }

    // What to repaint: the span that moved, and every row whose record changed.
    int low = static_cast<int>(m_rows.size());
    int high = -1;
    if (head + tail < m_rows.size()) {
        low = first;
        high = static_cast<int>(m_rows.size() - tail) - 1;
    }
    if (m_wholeListChanged) {
        low = 0;
        high = static_cast<int>(m_rows.size()) - 1;
    } else if (!m_changed.empty()) {
        for (int row = 0; row < static_cast<int>(m_rows.size()); ++row) {
            if (m_changed.count(m_rows[row]) != 0) {
                low = std::min(low, row);
                high = std::max(high, row);
            }
        }
    }
    m_changed.clear();
    m_wholeListChanged = false;
    m_refreshing = false;
    if (low <= high && !m_columns.empty()) {
        Q_EMIT dataChanged(index(low, 0), index(high, static_cast<int>(m_columns.size()) - 1));
    }
    Q_EMIT Refreshed();
}
