#pragma once

// The rows of a results or standings table: the relevant records of an event's list in sorted
// order, in the columns of the list's field set. The rows follow the list's change notices
// incrementally (rows inserted or removed where the order changed, the changed range repainted),
// so a table of thousands of results stays cheap to keep current. Inside an input update the
// rows are brought up to date once, at its end.
//
// Threads: user-interface thread only. Notices that the scoreboard thread causes by sorting the
// list are ignored; cells are read under the event's lock.

#include <QAbstractTableModel>
#include <QColor>
#include <unordered_set>
#include <vector>

#include "scoring/EventRecord.h"
#include "scoring/FieldSet.h"

class KRegistry;

class VZResultsModel : public QAbstractTableModel,
                       private ResultListObserver,
                       private FieldSetObserver,
                       private EventObserver {
    Q_OBJECT
public:
    /// Colour 12 of the standard 16-colour palette: the laps of a runner still out on the course.
    static inline const QColor kLapsHighlight{0, 0, 255};

    /// Shows `list` (the event's results or standings) with the field set the list holds.
    VZResultsModel(KRegistry& settings, EventRecord& event, ResultList& list, QObject* parent = nullptr);
    ~VZResultsModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    FieldTable Table() const { return m_table; }
    ResultList& List() const { return m_list; }
    /// The field shown in `column`, -1 outside.
    int Field(int column) const;
    /// The field set's width of `column` in pixels.
    int ColumnWidth(int column) const;
    /// A drag of a column edge, kept in the field set.
    void SetColumnWidth(int column, int width);
    bool IsOfficial() const;

    /// Brings the rows up to date with the list now.
    void Refresh();

Q_SIGNALS:
    /// The rows were brought up to date (the official state may have changed).
    void Refreshed();
    /// The column widths of the field set changed.
    void ColumnWidthsChanged();

private:
    void BeforeChange(ResultList& list, ResultRecord* record) override;
    void AfterChange(ResultList& list, ResultRecord& record, bool mayHaveMoved) override;
    void AfterResort(ResultList& list) override { ListChanged(list); }
    void AfterStandingsRecalculated(ResultList& list) override { ListChanged(list); }
    void AfterAddRemove(ResultList& list) override { ListChanged(list); }
    void AfterFinalization(ResultList& list) override { ListChanged(list); }
    void AfterFlagsChanged(ResultList& list) override { ListChanged(list); }
    void AfterFieldsChanged(FieldSet& fieldSet) override;
    void UpdateBegins(EventRecord& event) override;
    void UpdateEnded(EventRecord& event) override;

    bool OwnThread() const;
    void ListChanged(ResultList& list);
    void ScheduleRefresh();
    void ReadColumns();
    bool LapsHighlighted(const ResultRecord& record) const;

    KRegistry& m_settings;
    EventRecord& m_event;
    ResultList& m_list;
    FieldSet* m_fields;  // the list's, or null when it has none of this kind
    FieldTable m_table;
    std::vector<int> m_columns;  // field numbers
    std::vector<ResultRecord*> m_rows;
    // Records changed since the last refresh; only compared, never read (they may be gone).
    std::unordered_set<const ResultRecord*> m_changed;
    bool m_wholeListChanged = false;
    bool m_stale = false;  // a list-wide change is under way: m_rows may hold destroyed records
    bool m_refreshScheduled = false;
    bool m_refreshing = false;
    int m_updateDepth = 0;
};
