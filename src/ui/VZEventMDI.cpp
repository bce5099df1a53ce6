#include "ui/VZEventMDI.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

#include "scoring/EventRecord.h"
#include "settings/KRegistry.h"
#include "ui/VZResultsModel.h"
#include "ui/VZSummaryPane.h"
#include "ui/VZText.h"

struct VZEventMDI::PaneView {
    QWidget* frame = nullptr;
    QLabel* title = nullptr;
    QTableView* table = nullptr;
    VZSummaryPane* summary = nullptr;
};

VZEventMDI::VZEventMDI(KRegistry& settings, KLog* log, QWidget* parent)
    : QWidget(parent), m_settings(settings) {
    resize(500, 350);
    VZPaneLayout::EnsureDefaults(settings);
    m_panes = VZPaneLayout::ReadEntries(settings.FindGroup(u"Event\\Layout\\"), log);
    for (const VZPane& pane : m_panes) {
        auto view = std::make_unique<PaneView>();
        view->frame = new QWidget(this);
        auto* layout = new QVBoxLayout(view->frame);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        view->title = new QLabel(view->frame);
        view->title->setAlignment(Qt::AlignCenter);
        view->title->setFrameShape(QFrame::StyledPanel);
        layout->addWidget(view->title);
        if (pane.kind == VZPaneKind::Summary) {
            view->summary = new VZSummaryPane(settings, view->frame);
            layout->addWidget(view->summary);
        } else {
            view->table = new QTableView(view->frame);
            view->table->verticalHeader()->hide();
            // Fixed row heights: the view never measures thousands of rows.
            view->table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
            view->table->verticalHeader()->setDefaultSectionSize(view->table->fontMetrics().height() + 6);
            view->table->setSelectionBehavior(QAbstractItemView::SelectRows);
            view->table->setEditTriggers(QAbstractItemView::NoEditTriggers);
            view->table->setWordWrap(false);
            layout->addWidget(view->table);
        }
        m_views.push_back(std::move(view));
    }
    UpdateTitles();
    PlacePanes();
}

VZEventMDI::~VZEventMDI() {
    // The tables let go of their models before the models go.
    for (const auto& view : m_views) {
        if (view->table != nullptr) view->table->setModel(nullptr);
    }
    Attach(nullptr);
}

void VZEventMDI::Attach(EventRecord* event) {
    for (size_t i = 0; i < m_views.size(); ++i) {
        if (m_views[i]->table != nullptr) m_views[i]->table->setModel(nullptr);
        if (m_views[i]->summary != nullptr) m_views[i]->summary->Attach(event);
        m_panes[i].hasContent = event != nullptr;
    }
    m_resultsModel.reset();
    m_standingsModel.reset();
    m_event = event;
    if (event != nullptr) {
        m_resultsModel = std::make_unique<VZResultsModel>(m_settings, *event, event->Results());
        m_standingsModel = std::make_unique<VZResultsModel>(m_settings, *event, event->Standings());
        connect(m_standingsModel.get(), &VZResultsModel::Refreshed, this, &VZEventMDI::UpdateBanner);
        for (size_t i = 0; i < m_views.size(); ++i) {
            if (m_views[i]->table == nullptr) continue;
            ConnectTable(m_views[i]->table, m_panes[i].kind == VZPaneKind::Results ? m_resultsModel.get()
                                                                                   : m_standingsModel.get());
        }
    }
    UpdateTitles();
    UpdateBanner();
    PlacePanes();
}

void VZEventMDI::ConnectTable(QTableView* table, VZResultsModel* model) {
    table->setModel(model);
    const auto applyWidths = [table, model] {
        for (int column = 0; column < model->columnCount(); ++column)
            table->setColumnWidth(column, model->ColumnWidth(column));
    };
    applyWidths();
    connect(model, &VZResultsModel::ColumnWidthsChanged, table, applyWidths);
    connect(model, &QAbstractItemModel::modelReset, table, applyWidths);
    connect(table->horizontalHeader(), &QHeaderView::sectionResized, model,
            [model](int column, int, int width) { model->SetColumnWidth(column, width); });
}

QWidget* VZEventMDI::PaneWidget(size_t index) const {
    return index < m_views.size() ? m_views[index]->frame : nullptr;
}

QString VZEventMDI::PaneTitle(size_t index) const {
    return index < m_views.size() ? m_views[index]->title->text() : QString();
}

QTableView* VZEventMDI::PaneTable(size_t index) const {
    return index < m_views.size() ? m_views[index]->table : nullptr;
}

VZSummaryPane* VZEventMDI::SummaryPane(size_t index) const {
    return index < m_views.size() ? m_views[index]->summary : nullptr;
}

void VZEventMDI::UpdateTitles() {
    for (size_t i = 0; i < m_views.size(); ++i) {
        KStringView key = u"Strings\\Event\\Results\\IndivResults";
        if (m_panes[i].kind == VZPaneKind::Summary) {
            key = u"Strings\\Event\\EventInfo";
        } else if (m_event != nullptr) {
            key = m_panes[i].kind == VZPaneKind::Results ? u"Strings\\Event\\Results\\IndivStandings"
                                                         : u"Strings\\Event\\Results\\TeamStandings";
        }
        m_views[i]->title->setText(VZQString(m_settings.GetText(key)));
    }
}

void VZEventMDI::UpdateBanner() {
    const bool unofficial = m_standingsModel != nullptr && !m_standingsModel->IsOfficial();
    const QString banner =
        unofficial ? VZQString(m_settings.GetText(u"Strings\\Event\\Unofficial")) : QString();
    if (banner == m_banner) return;
    m_banner = banner;
    Q_EMIT BannerChanged(m_banner);
}

void VZEventMDI::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlacePanes();
}

void VZEventMDI::PlacePanes() {
    VZPaneLayout::Layout(m_panes);
    for (size_t i = 0; i < m_views.size(); ++i) {
        const VZRect& rect = m_panes[i].working;
        if (rect.Empty()) {
            m_views[i]->frame->hide();
            continue;
        }
        const VZPixelEdges edges = VZPaneLayout::PixelEdges(rect, width(), height());
        m_views[i]->frame->setGeometry(
            QRect(QPoint(edges.left, edges.top), QPoint(edges.right, edges.bottom)));
        m_views[i]->frame->show();
    }
}
