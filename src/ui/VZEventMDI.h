#pragma once

// The event window: the panes of Event\Layout\ (summary, individual results, team standings)
// placed at their percentages of the window, showing the current event. It only displays and
// redraws on the event's change notices; the unofficial banner goes out through BannerChanged.

#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

#include "ui/VZPaneLayout.h"

class EventRecord;
class KLog;
class KRegistry;
class QLabel;
class QTableView;
class VZResultsModel;
class VZSummaryPane;

class VZEventMDI : public QWidget {
    Q_OBJECT
public:
    /// Reads the layout entries (creating the standard ones when Event\Layout\ is missing); a
    /// malformed entry is logged to `log` (may be null) and left out.
    VZEventMDI(KRegistry& settings, KLog* log, QWidget* parent = nullptr);
    ~VZEventMDI() override;

    /// Shows `event` in the panes, or nothing for null, and lays the panes out again.
    void Attach(EventRecord* event);
    EventRecord* Event() const { return m_event; }

    const std::vector<VZPane>& Panes() const { return m_panes; }
    /// The frame of pane `index` (title line and content).
    QWidget* PaneWidget(size_t index) const;
    /// The title line of pane `index`.
    QString PaneTitle(size_t index) const;
    /// The table of a results or standings pane; null for a summary pane.
    QTableView* PaneTable(size_t index) const;
    VZSummaryPane* SummaryPane(size_t index) const;
    VZResultsModel* ResultsModel() const { return m_resultsModel.get(); }
    VZResultsModel* StandingsModel() const { return m_standingsModel.get(); }

    /// "*** Unofficial ***" while the standings are unofficial, else empty.
    QString Banner() const { return m_banner; }

Q_SIGNALS:
    void BannerChanged(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct PaneView;

    void PlacePanes();
    void UpdateTitles();
    void UpdateBanner();
    void ConnectTable(QTableView* table, VZResultsModel* model);

    KRegistry& m_settings;
    std::vector<VZPane> m_panes;
    std::vector<std::unique_ptr<PaneView>> m_views;
    EventRecord* m_event = nullptr;
    std::unique_ptr<VZResultsModel> m_resultsModel;
    std::unique_ptr<VZResultsModel> m_standingsModel;
    QString m_banner;
};
