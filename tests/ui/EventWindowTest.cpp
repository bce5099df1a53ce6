// The event window: panes from the layout entries, the layout that hands an empty pane's area to
// its neighbours, the summary's columns, and the tables that follow a simulated race.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <tuple>
#include <utility>

#include "UiTestSupport.h"
#include "foundation/KLog.h"
#include "support/KTempFolder.h"
#include "ui/VZEventMDI.h"
#include "ui/VZResultsModel.h"
#include "ui/VZSummaryColumns.h"
#include "ui/VZSummaryPane.h"

namespace {

VZPane Pane(VZRect rect, bool content) { return {{}, VZPaneKind::Summary, rect, {}, {}, content}; }

TEST(PaneLayout, EmptyPanesGiveTheirAreaToNeighbours) {
    // Panes and the areas they work in once laid out.
    std::pair<std::vector<VZPane>, std::vector<VZRect>> cases[] = {
        // The defaults without standings: the summary grows down.
        {{Pane({0, 0, 40, 15}, true), Pane({0, 15, 40, 100}, false), Pane({40, 0, 100, 100}, true)},
         {{0, 0, 40, 100}, {}, {40, 0, 100, 100}}},
        // No results: the left column grows sideways only where edges match.
        {{Pane({0, 0, 40, 100}, true), Pane({40, 0, 100, 100}, false)}, {{0, 0, 100, 100}, {}}},
        // A shorter neighbour takes part of an edge, then the rest goes whole.
        {{Pane({0, 0, 50, 50}, true), Pane({50, 0, 100, 100}, false), Pane({0, 50, 50, 100}, true)},
         {{0, 0, 100, 50}, {}, {0, 50, 100, 100}}},
        // No neighbour touches: the area stays unused.
        {{Pane({0, 0, 30, 30}, true), Pane({60, 60, 100, 100}, false)}, {{0, 0, 30, 30}, {}}},
    };
    for (auto& [panes, working] : cases) {
        VZPaneLayout::Layout(panes);
        for (size_t i = 0; i < panes.size(); ++i)
            EXPECT_EQ(panes[i].working, working[i]) << "pane " << i << " of " << panes.size();
    }
}

TEST(PaneLayout, EntriesGiveKindRectangleAndDockingOrAreDropped) {
    // Entry name and value; whether it is read, and then as what kind, rectangle and docking.
    const std::tuple<KStringView, KStringView, bool, VZPaneKind, VZRect, KStringView> cases[] = {
        {u"standingsX", u" 0, 15 ,40,100,Left", true, VZPaneKind::Standings, {0, 15, 40, 100}, u"Left"},
        {u"Results1", u"40,0,100,100", true, VZPaneKind::Results, {40, 0, 100, 100}, u"40,0,100,100"},
        {u"Results2", u"-5,0,250,100,Bottom", true, VZPaneKind::Results, {0, 0, 100, 100}, u"Bottom"},
        {u"Results3", u"40,0,100", false, {}, {}, {}},
        {u"Other1", u"0,0,40,15,Left", false, {}, {}, {}},
    };
    for (const auto& [name, value, read, kind, rect, docking] : cases) {
        const std::optional<VZPane> pane = VZPaneLayout::ReadEntry(name, value);
        ASSERT_EQ(pane.has_value(), read) << ToUtf8(value);
        if (!pane) continue;
        EXPECT_EQ(pane->kind, kind);
        EXPECT_EQ(pane->configured, rect) << ToUtf8(value);
        EXPECT_EQ(pane->docking, docking);
    }
}

TEST(EventWindow, MalformedEntryIsLoggedAndDroppedAndPanesKeepOnePixelApart) {
    KTempFolder folder;
    UiWorld world;
    world.scorer.settings.Define(u"Event\\Layout\\Results2:String=40,0,100,x,Bottom");
    KLog log(folder.Path());
    VZEventMDI window(world.scorer.settings, &log);
    const std::vector<KString> lines = FileLines(folder / KLog::kFileName);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].ends_with(u"VZEventMDI::VZEventMDI: error loading pane"));
    window.Attach(&world.event);
    window.resize(1000, 500);
    window.show();
    ASSERT_EQ(window.Panes().size(), 3u);
    EXPECT_EQ(window.PaneWidget(0)->geometry(), QRect(QPoint(0, 0), QPoint(398, 73)));     // summary
    EXPECT_EQ(window.PaneWidget(1)->geometry(), QRect(QPoint(0, 75), QPoint(398, 499)));   // standings
    EXPECT_EQ(window.PaneWidget(2)->geometry(), QRect(QPoint(400, 0), QPoint(999, 499)));  // results
    EXPECT_EQ(window.PaneTitle(2), QStringLiteral("Individual Standings"));
    window.Attach(nullptr);
    EXPECT_EQ(window.PaneTitle(2), QStringLiteral("Individual Results"));
    EXPECT_TRUE(window.PaneWidget(2)->isHidden());
}

TEST(SummaryColumns, WidthsFitThePaneAsTheColumnRulesSay) {
    const std::vector<int32_t> widths{120, 24, 24, 24, 120};  // 15, 3, 3, 3, 15 characters of 8 pixels
    // The pane's width and the column boundaries fitted to it.
    const std::pair<int32_t, std::vector<int32_t>> cases[] = {
        {413, {0, 120, 170, 219, 268, 413}},  // 101 more: 25 each to the last three, 26 to the second
        {100, {0, 100, 100, 100, 100, 100}},  // the last four give all, the first the rest
        {-10, {0, 0, 0, 0, 0, 0}},
    };
    for (const auto& [width, boundaries] : cases)
        EXPECT_EQ(VZSummaryColumns::Fit(widths, width), boundaries) << width;

    EventSummaryColumns stored;
    stored.groups[1] = {0, 50, 60, 70, 80};
    EXPECT_EQ(VZSummaryColumns::DefaultWidths(1, stored, 8), (std::vector<int32_t>{50, 10, 10, 10}));
    stored.groups[0] = {0, 50};  // a count that does not fit the group is not used
    EXPECT_EQ(VZSummaryColumns::DefaultWidths(0, stored, 2), (std::vector<int32_t>{30, 6, 6, 6, 30}));
}

TEST(EventWindow, SimulatedRaceFillsTablesAndSummaryRowByRowAndADraggedBoundaryIsKeptWithTheEvent) {
    UiWorld world(60, 6);
    VZEventMDI window(world.scorer.settings, nullptr);
    window.Attach(&world.event);
    window.resize(1000, 600);
    window.show();
    VZResultsModel* results = window.ResultsModel();
    QSignalSpy resets(results, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(results, &QAbstractItemModel::rowsInserted);

    for (size_t finished = 5; finished <= 40; finished += 5) world.Finish(finished);
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(inserted.count(), 8);
    ASSERT_EQ(results->rowCount(), 40);
    EXPECT_EQ(results->index(39, 0).data().toString(), QStringLiteral("40"));
    EXPECT_EQ(results->index(0, 0).data(Qt::TextAlignmentRole).toInt(),
              int(Qt::AlignRight | Qt::AlignVCenter));
    EXPECT_EQ(window.StandingsModel()->rowCount(), static_cast<int>(world.event.Standings().Size()));
    EXPECT_EQ(window.PaneTable(1)->model(), window.StandingsModel());

    QTableWidget* group = window.SummaryPane(0)->Group(0);
    EXPECT_EQ(group->item(0, 0)->text(), QStringLiteral("Boys 5K"));
    EXPECT_EQ(group->item(0, 4)->text(), QString::number(world.race.RunnerCount()));
    EXPECT_EQ(window.SummaryPane(0)->Group(1)->item(0, 2)->text(), QStringLiteral("5"));

    // A dragged boundary moves between its neighbours only, and the event keeps it.
    const int first = group->columnWidth(0);
    const int second = group->columnWidth(1);
    const int last = group->columnWidth(4);
    group->horizontalHeader()->resizeSection(0, first + 10);
    EXPECT_EQ(group->columnWidth(1), second - 10);
    EXPECT_EQ(group->columnWidth(4), last);
    const std::vector<int32_t>& kept = world.event.SummaryColumns().groups[0];
    ASSERT_EQ(kept.size(), 6u);
    EXPECT_EQ(kept[1], first + 10);
    EXPECT_EQ(kept[2], first + second);
}

TEST(EventWindow, LapsOfARunnerStillOutAreHighlightedWhenLapsCountDown) {
    UiWorld world;
    static_cast<FieldSet*>(world.event.Results().FieldSet())
        ->SetColumns(
            {{static_cast<int>(ResultField::Id), 40}, {static_cast<int>(ResultField::LapsToGo), 40}});
    world.event.Results().Add()->SetId(u"9");  // a runner still out
    VZResultsModel model(world.scorer.settings, world.event, world.event.Results());
    ASSERT_EQ(model.Field(1), static_cast<int>(ResultField::LapsToGo));
    EXPECT_EQ(model.index(0, 1).data(Qt::ForegroundRole).value<QColor>(), VZResultsModel::kLapsHighlight);
    world.scorer.settings.FindBool(u"Scoring\\LapsToGoDir")->SetValue(true);
    EXPECT_FALSE(model.index(0, 1).data(Qt::ForegroundRole).isValid());
}

}  // namespace
