#include "ui/VZSummaryPane.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>

#include "settings/KRegistry.h"
#include "ui/VZSummaryColumns.h"
#include "ui/VZText.h"

namespace {

constexpr KStringView kLabels[2][5] = {
    {u"Strings\\Event\\Fields\\Name", u"Strings\\Event\\Fields\\EventNumber",
     u"Strings\\Event\\Fields\\RoundNumber", u"Strings\\Event\\Fields\\HeatNumber",
     u"Strings\\Event\\Fields\\NumParticipants"},
    {u"Strings\\Event\\Scoring\\Name",
     u"Strings\\Event\\Scoring\\NumQualify",
     u"Strings\\Event\\Scoring\\NumScorers",
     u"Strings\\Event\\Scoring\\NumDisplacers",
     {}}};

QString IntText(KRegistry& settings, KStringView path) {
    const KRInt* value = settings.FindInt(path);
    return value != nullptr ? QString::number(value->Value()) : QString();
}

}  // namespace

VZSummaryPane::VZSummaryPane(KRegistry& settings, QWidget* parent) : QWidget(parent), m_settings(settings) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int group = 0; group < 2; ++group) {
        auto* table =
            new QTableWidget(1, static_cast<int>(EventSummaryColumns::kBoundaryCounts[group]) - 1, this);
        table->verticalHeader()->hide();
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->setSelectionMode(QAbstractItemView::NoSelection);
        table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        table->setFixedHeight(table->horizontalHeader()->sizeHint().height() +
                              table->verticalHeader()->defaultSectionSize() + 2);
        connect(table->horizontalHeader(), &QHeaderView::sectionResized, this,
                [this, group](int section, int oldSize, int newSize) {
                    BoundaryDragged(group, section, oldSize, newSize);
                });
        layout->addWidget(table);
        m_groups[group] = table;
    }
    layout->addStretch();
    Reload();
}

VZSummaryPane::~VZSummaryPane() { Attach(nullptr); }

void VZSummaryPane::Attach(EventRecord* event) {
    if (m_event != nullptr) m_event->RemoveObserver(this);
    m_event = event;
    if (m_event != nullptr) m_event->AddObserver(this);
    Reload();
    FitColumns();
}

void VZSummaryPane::Reload() {
    if (QThread::currentThread() != thread()) return;
    QString values[2][5];
    if (m_event != nullptr) {
        EventRecord::ScopedLock lock(*m_event);
        values[0][0] = VZQString(m_event->Name());
        values[0][1] = VZQString(m_event->EventNumber());
        values[0][2] = VZQString(m_event->RoundNumber());
        values[0][3] = VZQString(m_event->HeatNumber());
        if (m_event->NumParticipants() > 0) values[0][4] = QString::number(m_event->NumParticipants());
    }
    values[1][0] = VZQString(m_settings.GetText(kLabels[1][0]));
    values[1][1] = IntText(m_settings, u"Scoring\\MinRunners");
    values[1][2] = IntText(m_settings, u"Scoring\\NumScorers");
    values[1][3] = IntText(m_settings, u"Scoring\\MaxDisplacers");
    for (int group = 0; group < 2; ++group) {
        QTableWidget* table = m_groups[group];
        for (int column = 0; column < table->columnCount(); ++column) {
            const QString label = VZQString(m_settings.GetText(kLabels[group][column]));
            if (table->horizontalHeaderItem(column) == nullptr ||
                table->horizontalHeaderItem(column)->text() != label)
                table->setHorizontalHeaderItem(column, new QTableWidgetItem(label));
            if (table->item(0, column) == nullptr) table->setItem(0, column, new QTableWidgetItem);
            table->item(0, column)->setText(values[group][column]);
        }
    }
}

void VZSummaryPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FitColumns();
}

void VZSummaryPane::FitColumns() {
    const EventSummaryColumns stored = m_event != nullptr ? m_event->SummaryColumns() : EventSummaryColumns{};
    const int charWidth = fontMetrics().averageCharWidth();
    m_fitting = true;
    for (int group = 0; group < 2; ++group) {
        QTableWidget* table = m_groups[group];
        const std::vector<int32_t> widths = VZSummaryColumns::Widths(VZSummaryColumns::Fit(
            VZSummaryColumns::DefaultWidths(group, stored, charWidth), width() - 2 * table->frameWidth()));
        for (int column = 0; column < table->columnCount(); ++column)
            table->setColumnWidth(column, widths[column]);
    }
    m_fitting = false;
}

void VZSummaryPane::BoundaryDragged(int group, int section, int oldSize, int newSize) {
    if (m_fitting || m_event == nullptr) return;
    QTableWidget* table = m_groups[group];
    m_fitting = true;
    if (section + 1 < table->columnCount()) {
        const int next = table->columnWidth(section + 1);
        const int moved = std::min(newSize - oldSize, next);
        table->setColumnWidth(section, oldSize + moved);
        table->setColumnWidth(section + 1, next - moved);
    }
    m_fitting = false;
    std::vector<int32_t> boundaries{0};
    for (int column = 0; column < table->columnCount(); ++column)
        boundaries.push_back(boundaries.back() + table->columnWidth(column));
    EventRecord::ScopedLock lock(*m_event);
    m_event->SummaryColumns().groups[group] = std::move(boundaries);
}
