// The main window: menu texts and accelerators from the settings, enabling when a menu opens,
// geometry kept between runs, and the commands that reach the event and the application.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "UiTestSupport.h"
#include "ui/VZMenuText.h"
#include "ui/VZScoreboardCommands.h"

namespace {

TEST(MenuText, LabelsMnemonicsAndAcceleratorsReadAsTheMenuShowsThem) {
    const VZModifierNames names{u"Shift", u"Ctrl", u"Alt", u"F"};
    struct Case {
        KStringView text;
        KStringView label;
        int mnemonic;
        KStringView accelerator;
        KStringView marked;
    } cases[] = {
        {u"&Clear,A+C", u"Clear", 0, u"Alt+C", u"&Clear"},
        {u"Op&tions...", u"Options...", 2, u"", u"Op&tions..."},
        {u"&Undo,z", u"Undo", 0, u"Ctrl+Z", u"&Undo"},
        {u"Redo,S+Z", u"Redo", -1, u"Shift+Ctrl+Z", u"Redo"},
        {u"Fish && &Chips,C+S+F12", u"Fish & Chips", 7, u"Shift+Ctrl+F12", u"Fish && &Chips"},
        {u"Help,F1", u"Help", -1, u"F1", u"Help"},
        {u"Odd,Q+k", u"Odd", -1, u"Ctrl+K", u"Odd"},
        {u"&First &Second,", u"First Second", 0, u"", u"&First Second"},
        {u"No key,F99", u"No key", -1, u"", u"No key"},
        {u"Trailing&", u"Trailing", -1, u"", u"Trailing"},
    };
    for (const Case& c : cases) {
        const VZMenuText text = VZMenuText::Parse(c.text);
        EXPECT_EQ(text.label, c.label) << ToUtf8(c.text);
        EXPECT_EQ(text.mnemonic, c.mnemonic) << ToUtf8(c.text);
        EXPECT_EQ(text.AcceleratorText(names), c.accelerator) << ToUtf8(c.text);
        EXPECT_EQ(text.MarkedLabel(), c.marked) << ToUtf8(c.text);
    }
}

TEST(MainWindow, DefaultMenuTextsShowTheirAcceleratorsAndTheTitleCarriesTheVersion) {
    UiWorld world;
    auto window = world.Window();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kestrun  v" KESTRUN_VERSION_TEXT));
    EXPECT_EQ(window->Action(VZCommand::Clear)->text(), QStringLiteral("&Clear\tAlt+C"));
    EXPECT_EQ(window->Action(VZCommand::ScoreboardInitialize)->text(), QStringLiteral("&Initialize\tAlt+I"));
    EXPECT_EQ(window->Action(VZCommand::ScoreboardRefresh)->text(), QStringLiteral("&Refresh\tAlt+E"));
    EXPECT_EQ(window->Action(VZCommand::ApplyDefaultFields)->text(), QStringLiteral("Apply Default Fields"));
    QStringList titles;
    for (QAction* menu : window->menuBar()->actions()) titles << menu->text();
    EXPECT_EQ(titles.join(u' '), QStringLiteral("&File &Data &Scoreboard &Scoring &Results &Help"));
}

TEST(MainWindow, LanguageGivingClearAnotherLabelAndKeyChangesTextAndKey) {
    UiWorld world;
    world.scorer.settings.Define(u"Strings\\MenuBar\\Data\\Clear:String=&Leeren,S+L");
    world.scorer.settings.Define(u"Strings\\Menu\\Ctrl:String=Strg");
    world.Finish(10);
    auto window = world.Window();
    EXPECT_EQ(window->Action(VZCommand::Clear)->text(), QStringLiteral("&Leeren\tShift+Strg+L"));
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

    QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);  // the old key does nothing now
    EXPECT_EQ(world.event.Results().Size(), 10u);
    QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(world.event.Results().Size(), 0u);
    EXPECT_TRUE(world.event.Name().empty());
}

class FakeScoreboards : public VZScoreboardCommands {
public:
    bool ShowsTimeOfDay() const override { return timeOfDay; }
    void SetShowTimeOfDay(bool on) override { timeOfDay = on; }
    bool Uses24Hour() const override { return use24; }
    void SetUse24Hour(bool on) override { use24 = on; }
    void SendMessage() override { ++sent; }
    bool HasEvent() const override { return attached != nullptr; }
    void AttachEvent(EventRecord& event) override { attached = &event; }

    bool timeOfDay = true;
    bool use24 = false;
    int sent = 0;
    EventRecord* attached = nullptr;
};

// The items of the Scoreboard menu but Options: enabled only with scoreboards.
constexpr VZCommand kScoreboardItems[] = {VZCommand::ScoreboardInitialize, VZCommand::ScoreboardRefresh,
                                          VZCommand::TimeOfDay, VZCommand::TimeOfDay24Hour,
                                          VZCommand::SendMessage};

TEST(MainWindow, OpeningAMenuEnablesScoreboardItemsOnlyWithScoreboardsAndChecksTheFlags) {
    UiWorld world;
    world.activityLog = true;
    world.dataDisplay = false;
    auto window = world.Window();
    for (QAction* menu : window->menuBar()->actions()) Q_EMIT menu->menu()->aboutToShow();
    for (VZCommand command : kScoreboardItems) EXPECT_FALSE(window->Action(command)->isEnabled());
    EXPECT_FALSE(window->Action(VZCommand::EditMessage)->isEnabled());
    for (VZCommand command :
         {VZCommand::Clear, VZCommand::FinalizeData, VZCommand::ActivityLog, VZCommand::About,
          VZCommand::Exit, VZCommand::UpdateDisplay, VZCommand::ApplyDefaultFields})
        EXPECT_TRUE(window->Action(command)->isEnabled()) << static_cast<int>(command);
    // No Options dialog exists yet: its items say so by being disabled.
    EXPECT_FALSE(window->Action(VZCommand::FileOptions)->isEnabled());
    EXPECT_TRUE(window->Action(VZCommand::ActivityLog)->isChecked());
    EXPECT_FALSE(window->Action(VZCommand::UpdateDisplay)->isChecked());

    FakeScoreboards boards;
    window->SetScoreboards(&boards);
    window->UpdateMenuItems();
    for (VZCommand command : kScoreboardItems) EXPECT_TRUE(window->Action(command)->isEnabled());
    EXPECT_TRUE(window->Action(VZCommand::TimeOfDay)->isChecked());
    EXPECT_FALSE(window->Action(VZCommand::TimeOfDay24Hour)->isChecked());
    window->Action(VZCommand::TimeOfDay24Hour)->trigger();
    window->Action(VZCommand::SendMessage)->trigger();
    EXPECT_TRUE(boards.use24);
    EXPECT_EQ(boards.sent, 1);

    // The heartbeat attaches the event once.
    QEvent idle(static_cast<QEvent::Type>(TZControl::kIdleEvent));
    QApplication::sendEvent(window.get(), &idle);
    EXPECT_EQ(boards.attached, &world.event);
}

TEST(MainWindow, InitializeAndRefreshReachTheApplicationAsItsEvents) {
    UiWorld world;
    auto window = world.Window();
    FakeScoreboards boards;
    window->SetScoreboards(&boards);
    struct Counter : QObject {
        bool eventFilter(QObject* target, QEvent* event) override {
            if (target == qApp && (event->type() == 10163 || event->type() == 10164))
                codes.push_back(event->type());
            return false;
        }
        std::vector<int> codes;
    } counter;
    qApp->installEventFilter(&counter);
    window->Command(VZCommand::ScoreboardInitialize);
    window->Command(VZCommand::ScoreboardRefresh);
    QCoreApplication::sendPostedEvents(qApp);
    qApp->removeEventFilter(&counter);
    EXPECT_EQ(counter.codes, (std::vector<int>{10163, 10164}));
}

TEST(MainWindow, ControlShiftOnAnOptionsItemOpensTheSettingsEditorOnceThereIsOne) {
    UiWorld world;
    auto window = world.Window();
    std::vector<int> opened;
    window->SetOptionsDialog([&](int page) { opened.push_back(page); });
    world.controlShift = true;
    window->Command(VZCommand::ScoringOptions);  // no editor yet: the same as without
    window->SetSettingsEditor([&] { opened.push_back(-1); });
    window->Command(VZCommand::ScoringOptions);
    world.controlShift = false;
    window->Command(VZCommand::ResultsOptions);
    window->Command(VZCommand::FileOptions);
    EXPECT_EQ(opened, (std::vector<int>{2, -1, 3, 0}));
}

TEST(MainWindow, GeometryIsRestoredNormalAfterAnExitWhileNormalAndKeptWhenMaximized) {
    UiWorld world;
    KRegistry& settings = world.scorer.settings;
    const auto value = [&](KStringView key) {
        return settings.FindInt(KString(u"General\\MainWindow\\") + KString(key))->Value();
    };
    {
        auto window = world.Window();  // the defaults: width and height -1
        window->show();
        EXPECT_TRUE(window->isMaximized());
        window->showNormal();
        window->setGeometry(20, 30, 800, 600);
        window->move(20, 30);
    }
    EXPECT_EQ(value(u"Left"), 20);
    EXPECT_EQ(value(u"Top"), 30);
    EXPECT_EQ(value(u"Width"), 800);
    EXPECT_EQ(value(u"Height"), 600);
    EXPECT_EQ(value(u"Maximized"), 0);
    {
        auto window = world.Window();
        window->show();
        EXPECT_FALSE(window->isMaximized());
        EXPECT_EQ(window->pos(), QPoint(20, 30));
        EXPECT_EQ(window->size(), QSize(800, 600));
        window->showMaximized();
    }
    EXPECT_EQ(value(u"Maximized"), 1);
    EXPECT_EQ(value(u"Width"), 800);
    settings.Define(u"General\\MainWindow\\Height:Int=-5");
    auto window = world.Window();
    window->show();
    EXPECT_TRUE(window->isMaximized());
}

TEST(MainWindow, ToolBarToggleFollowsTheDataDisplayFlagWithItsFlyOverText) {
    UiWorld world;
    auto window = world.Window();
    EXPECT_EQ(window->DataDisplayCommand(), VZCommand::DisableDisplay);
    EXPECT_EQ(window->ToolBarAction(1)->statusTip(), QStringLiteral("Disable Data Display Window"));
    EXPECT_EQ(window->ToolBarAction(0)->statusTip(), QStringLiteral("Finalize the Data"));
    window->ToolBarAction(1)->trigger();
    EXPECT_FALSE(world.dataDisplay);
    EXPECT_EQ(window->DataDisplayCommand(), VZCommand::EnableDisplay);
    EXPECT_EQ(window->ToolBarAction(1)->statusTip(), QStringLiteral("Enable Data Display Window"));
    window->Command(VZCommand::UpdateDisplay);
    EXPECT_TRUE(world.dataDisplay);
    EXPECT_EQ(window->DataDisplayCommand(), VZCommand::DisableDisplay);
}

}  // namespace
