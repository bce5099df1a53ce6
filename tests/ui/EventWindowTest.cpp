// The event window: panes from the layout entries, the layout that hands an empty pane's area to
// its neighbours, the summary's columns, and tables and banner that follow a simulated race.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>

#include "UiTestSupport.h"
#include "foundation/KLog.h"
#include "support/KTempFolder.h"
#include "ui/VZEventMDI.h"
#include "ui/VZResultsModel.h"
#include "ui/VZSummaryColumns.h"
#include "ui/VZSummaryPane.h"

namespace {

VZPane Pane(VZRect rect, bool content) {
    VZPane pane;
    pane.configured = rect;
    pane.hasContent = content;
    return pane;
}

TEST(PaneLayout, EmptyPanesGiveTheirAreaToNeighbours) {
    struct Case {
        const char* name;
        std::vector<VZPane> panes;
        std::vector<VZRect> working;
    } cases[] = {
        {"defaults without standings: the summary grows down",
         {Pane({0, 0, 40, 15}, true), Pane({0, 15, 40, 100}, false), Pane({40, 0, 100, 100}, true)},
         {{0, 0, 40, 100}, {}, {40, 0, 100, 100}}},
        {"defaults with every content: as configured",
         {Pane({0, 0, 40, 15}, true), Pane({0, 15, 40, 100}, true), Pane({40, 0, 100, 100}, true)},
         {{0, 0, 40, 15}, {0, 15, 40, 100}, {40, 0, 100, 100}}},
        {"no results: the left column grows sideways only where edges match",
         {Pane({0, 0, 40, 100}, true), Pane({40, 0, 100, 100}, false)},
         {{0, 0, 100, 100}, {}}},
        {"a shorter neighbour takes part of an edge, then the rest goes whole",
         {Pane({0, 0, 50, 50}, true), Pane({50, 0, 100, 100}, false), Pane({0, 50, 50, 100}, true)},
         {{0, 0, 100, 50}, {}, {0, 50, 100, 100}}},
        {"nothing shown: every pane empty",
         {Pane({0, 0, 40, 15}, false), Pane({40, 0, 100, 100}, false)},
         {{}, {}}},
        {"no neighbour touches: the area stays unused",
         {Pane({0, 0, 30, 30}, true), Pane({60, 60, 100, 100}, false)},
         {{0, 0, 30, 30}, {}}},
    };
    for (Case& c : cases) {
        VZPaneLayout::Layout(c.panes);
        for (size_t i = 0; i < c.panes.size(); ++i) {
            EXPECT_EQ(c.panes[i].working, c.working[i]) << c.name << ", pane " << i;
        }
    }
}

TEST(PaneLayout, EntriesGiveKindRectangleAndDockingOrAreDropped) {
    struct Case {
        KStringView name;
        KStringView value;
        bool read;
        VZPaneKind kind;
        VZRect rect;
        KStringView docking;
    } cases[] = {
        {u"Summary1", u"0,0,40,15,Left", true, VZPaneKind::Summary, {0, 0, 40, 15}, u"Left"},
        {u"standingsX", u" 0, 15 ,40,100,Left", true, VZPaneKind::Standings, {0, 15, 40, 100}, u"Left"},
        {u"Results1", u"40,0,100,100", true, VZPaneKind::Results, {40, 0, 100, 100}, u"40,0,100,100"},
        {u"Results2", u"-5,0,250,100,Bottom", true, VZPaneKind::Results, {0, 0, 100, 100}, u"Bottom"},
        {u"Results2", u"40,0,100,x,Bottom", false, {}, {}, {}},
        {u"Results3", u"40,0,100", false, {}, {}, {}},
        {u"Results4", u"Bottom", false, {}, {}, {}},
        {u"Other1", u"0,0,40,15,Left", false, {}, {}, {}},
    };
    for (const Case& c : cases) {
        const std::optional<VZPane> pane = VZPaneLayout::ReadEntry(c.name, c.value);
        ASSERT_EQ(pane.has_value(), c.read) << ToUtf8(c.value);
        if (!pane) continue;
        EXPECT_EQ(pane->kind, c.kind);
        EXPECT_EQ(pane->configured, c.rect) << ToUtf8(c.value);
        EXPECT_EQ(pane->docking, c.docking);
    }
}

TEST(EventWindow, MalformedEntryIsLoggedAndDroppedAndPanesKeepOnePixelApart) {
    KTempFolder folder;
    UiWorld world;
    world.scorer.settings.Define(u"Event\\Layout\\Results2:String=40,0,100,x,Bottom");
    {
        KLog log(folder.Path());
        VZEventMDI window(world.scorer.settings, &log);
        window.Attach(&world.event);
        window.resize(1000, 500);
        window.show();
        ASSERT_EQ(window.Panes().size(), 3u);
        EXPECT_EQ(window.PaneWidget(0)->geometry(), QRect(QPoint(0, 0), QPoint(398, 73)));     // summary
        EXPECT_EQ(window.PaneWidget(1)->geometry(), QRect(QPoint(0, 75), QPoint(398, 499)));   // standings
        EXPECT_EQ(window.PaneWidget(2)->geometry(), QRect(QPoint(400, 0), QPoint(999, 499)));  // results
        EXPECT_EQ(window.PaneTitle(0), QStringLiteral("Event Information"));
        EXPECT_EQ(window.PaneTitle(1), QStringLiteral("Team Standings"));
        EXPECT_EQ(window.PaneTitle(2), QStringLiteral("Individual Standings"));
        window.Attach(nullptr);
        EXPECT_EQ(window.PaneTitle(2), QStringLiteral("Individual Results"));
        EXPECT_TRUE(window.PaneWidget(2)->isHidden());
    }
    const std::vector<KString> lines = FileLines(folder / KLog::kFileName);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].ends_with(u"VZEventMDI::VZEventMDI: error loading pane"));
}

TEST(SummaryColumns, WidthsFitThePaneAsTheColumnRulesSay) {
    const std::vector<int32_t> widths{120, 24, 24, 24, 120};  // 15, 3, 3, 3, 15 characters of 8 pixels
    struct Case {
        int32_t width;
        std::vector<int32_t> boundaries;
    } cases[] = {
        {312, {0, 120, 144, 168, 192, 312}},
        {413, {0, 120, 170, 219, 268, 413}},  // 101 more: 25 each to the last three, 26 to the second
        {200, {0, 120, 144, 168, 192, 200}},
        {100, {0, 100, 100, 100, 100, 100}},  // the last four give all, the first the rest
        {-10, {0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) EXPECT_EQ(VZSummaryColumns::Fit(widths, c.width), c.boundaries) << c.width;

    EventSummaryColumns stored;
    EXPECT_EQ(VZSummaryColumns::DefaultWidths(1, stored, 8), (std::vector<int32_t>{80, 40, 40, 40}));
    stored.groups[1] = {0, 50, 60, 70, 80};
    EXPECT_EQ(VZSummaryColumns::DefaultWidths(1, stored, 8), (std::vector<int32_t>{50, 10, 10, 10}));
    stored.groups[0] = {0, 50};  // a count that does not fit the group is not used
    EXPECT_EQ(VZSummaryColumns::DefaultWidths(0, stored, 2), (std::vector<int32_t>{30, 6, 6, 6, 30}));
}

TEST(EventWindow, DraggedSummaryBoundaryMovesBetweenItsNeighboursAndIsKeptWithTheEvent) {
    UiWorld world;
    VZEventMDI window(world.scorer.settings, nullptr);
    window.Attach(&world.event);
    window.resize(1000, 600);
    window.show();
    QTableWidget* group = window.SummaryPane(0)->Group(0);
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

TEST(EventWindow, SimulatedRaceFillsTablesAndSummaryRowByRowWithoutResets) {
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
    EXPECT_EQ(results->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Place"));
    EXPECT_EQ(results->index(0, 0).data().toString(), QStringLiteral("1"));
    EXPECT_EQ(results->index(39, 0).data().toString(), QStringLiteral("40"));
    EXPECT_EQ(results->index(0, 0).data(Qt::TextAlignmentRole).toInt(),
              int(Qt::AlignRight | Qt::AlignVCenter));
    EXPECT_EQ(window.StandingsModel()->rowCount(), static_cast<int>(world.event.Standings().Size()));
    EXPECT_GT(window.StandingsModel()->rowCount(), 0);
    EXPECT_EQ(window.PaneTable(1)->model(), window.StandingsModel());

    const QTableWidget* eventGroup = window.SummaryPane(0)->Group(0);
    EXPECT_EQ(eventGroup->item(0, 0)->text(), QStringLiteral("Boys 5K"));
    EXPECT_EQ(eventGroup->item(0, 4)->text(), QString::number(world.race.RunnerCount()));
    EXPECT_EQ(eventGroup->horizontalHeaderItem(3)->text(), QStringLiteral("Heat #"));
    EXPECT_EQ(window.SummaryPane(0)->Group(1)->item(0, 2)->text(), QStringLiteral("5"));
}

TEST(EventWindow, LapsOfARunnerStillOutAreHighlightedWhenLapsCountDown) {
    UiWorld world;
    static_cast<FieldSet*>(world.event.Results().FieldSet())
        ->SetColumns(
            {{static_cast<int>(ResultField::Id), 40}, {static_cast<int>(ResultField::LapsToGo), 40}});
    ResultRecord* out = world.event.Results().Add();
    out->SetId(u"9");
    VZResultsModel model(world.scorer.settings, world.event, world.event.Results());
    int laps = -1;
    for (int column = 0; column < model.columnCount(); ++column)
        if (model.Field(column) == static_cast<int>(ResultField::LapsToGo)) laps = column;
    ASSERT_GE(laps, 0);
    EXPECT_EQ(model.index(0, laps).data(Qt::ForegroundRole).value<QColor>(), VZResultsModel::kLapsHighlight);
    world.scorer.settings.FindBool(u"Scoring\\LapsToGoDir")->SetValue(true);
    EXPECT_FALSE(model.index(0, laps).data(Qt::ForegroundRole).isValid());
}

TEST(MainWindow, BannerClearsAfterFinalizeAndReturnsWithTheNextUpdate) {
    UiWorld world;
    auto window = world.Window();
    world.Finish(30);
    EXPECT_EQ(window->BannerText(), QStringLiteral("*** Unofficial ***"));
    window->Command(VZCommand::FinalizeData);
    EXPECT_TRUE(world.event.Standings().IsOfficial());
    EXPECT_EQ(window->BannerText(), QString());
    EXPECT_EQ(window->CalculationText(), QString());
    world.Finish(31);
    EXPECT_EQ(window->BannerText(), QStringLiteral("*** Unofficial ***"));
    window->Command(VZCommand::Clear);
    EXPECT_EQ(window->EventWindow()->ResultsModel()->rowCount(), 0);
}

}  // namespace
