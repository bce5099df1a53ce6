#pragma once

// The summary pane of the event window: the event group (name, event, round and heat numbers,
// participants) and the scoring group (the scoring settings, read when shown), each a header of
// labels over one line of values, with column boundaries kept with the event.

#include <QWidget>

#include "scoring/EventRecord.h"

class KRegistry;
class QTableWidget;

class VZSummaryPane : public QWidget, private EventObserver {
public:
    explicit VZSummaryPane(KRegistry& settings, QWidget* parent = nullptr);
    ~VZSummaryPane() override;

    /// Shows `event` (null: nothing).
    void Attach(EventRecord* event);
    /// The table of group 0 (event) or 1 (scoring).
    QTableWidget* Group(int group) const { return m_groups[group]; }
    /// Re-reads every label and value.
    void Reload();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void AfterEventChange(EventRecord&) override { Reload(); }
    void UpdateEnded(EventRecord&) override { Reload(); }
    void FitColumns();
    /// A boundary dragged by the operator moves between its neighbours and becomes the group's default.
    void BoundaryDragged(int group, int section, int oldSize, int newSize);

    KRegistry& m_settings;
    EventRecord* m_event = nullptr;
    QTableWidget* m_groups[2] = {nullptr, nullptr};
    bool m_fitting = false;
};
