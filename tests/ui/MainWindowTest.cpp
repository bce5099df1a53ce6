// The main window: menu texts and accelerators from the settings, enabling when a menu opens,
// geometry kept between runs, the unofficial banner, and the commands that reach the event and
// the application.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <tuple>

#include "UiTestSupport.h"
#include "ui/VZEventMDI.h"
#include "ui/VZMenuText.h"
#include "ui/VZResultsModel.h"
#include "ui/VZScoreboardCommands.h"

namespace {

TEST(MenuText, LabelsMnemonicsAndAcceleratorsReadAsTheMenuShowsThem) {
    const VZModifierNames names{u"Shift", u"Ctrl", u"Alt", u"F"};
    // The text, its label, mnemonic, accelerator and the label marked for the menu.
    const std::tuple<KStringView, KStringView, int, KStringView, KStringView> cases[] = {
        {u"&Clear,A+C", u"Clear", 0, u"Alt+C", u"&Clear"},
        {u"Redo,S+Z", u"Redo", -1, u"Shift+Ctrl+Z", u"Redo"},
        {u"Fish && &Chips,C+S+F12", u"Fish & Chips", 7, u"Shift+Ctrl+F12", u"Fish && &Chips"},
        {u"Help,F1", u"Help", -1, u"F1", u"Help"},
        {u"Odd,Q+k", u"Odd", -1, u"Ctrl+K", u"Odd"},
        {u"&First &Second,", u"First Second", 0, u"", u"&First Second"},
        {u"No key,F99", u"No key", -1, u"", u"No key"},
        {u"Trailing&", u"Trailing", -1, u"", u"Trailing"},
    };
    for (const auto& [text, label, mnemonic, accelerator, marked] : cases) {
        const VZMenuText parsed = VZMenuText::Parse(text);
        EXPECT_EQ(parsed.label, label) << ToUtf8(text);
        EXPECT_EQ(parsed.mnemonic, mnemonic) << ToUtf8(text);
        EXPECT_EQ(parsed.AcceleratorText(names), accelerator) << ToUtf8(text);
        EXPECT_EQ(parsed.MarkedLabel(), marked) << ToUtf8(text);
    }
}

TEST(MainWindow, FinalizeClearsTheBannerTillTheNextUpdateAndClearTakesTheLabelAndKeyOfTheLanguage) {
    UiWorld world;
    world.scorer.settings.Define(u"Strings\\MenuBar\\Data\\Clear:String=&Leeren,S+L");
    world.scorer.settings.Define(u"Strings\\Menu\\Ctrl:String=Strg");
    auto window = world.Window();
    world.Finish(30);
    EXPECT_EQ(window->BannerText(), QStringLiteral("*** Unofficial ***"));
    window->Command(VZCommand::FinalizeData);
    EXPECT_EQ(window->BannerText(), QString());
    EXPECT_EQ(window->CalculationText(), QString());
    world.Finish(31);
    EXPECT_EQ(window->BannerText(), QStringLiteral("*** Unofficial ***"));

    EXPECT_EQ(window->Action(VZCommand::Clear)->text(), QStringLiteral("&Leeren\tShift+Strg+L"));
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);  // the old key does nothing now
    EXPECT_EQ(world.event.Results().Size(), 31u);
    QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(world.event.Results().Size(), 0u);
    EXPECT_EQ(window->EventWindow()->ResultsModel()->rowCount(), 0);
}

// A scoreboard manager that also notes the application events meant for it (Initialize, Refresh).
class FakeScoreboards : public QObject, public VZScoreboardCommands {
public:
    bool ShowsTimeOfDay() const override { return true; }
    void SetShowTimeOfDay(bool) override {}
    bool Uses24Hour() const override { return use24; }
    void SetUse24Hour(bool on) override { use24 = on; }
    void SendMessage() override { ++sent; }
    bool HasEvent() const override { return attached != nullptr; }
    void AttachEvent(EventRecord& event) override { attached = &event; }
    bool eventFilter(QObject* target, QEvent* event) override {
        if (target == qApp && event->type() >= QEvent::User) applicationEvents.push_back(event->type());
        return false;
    }

    bool use24 = false;
    int sent = 0;
    EventRecord* attached = nullptr;
    std::vector<int> applicationEvents;
};

// The items of the Scoreboard menu but Options: enabled only with scoreboards.
constexpr VZCommand kScoreboardItems[] = {VZCommand::ScoreboardInitialize, VZCommand::ScoreboardRefresh,
                                          VZCommand::TimeOfDay, VZCommand::TimeOfDay24Hour,
                                          VZCommand::SendMessage};

TEST(MainWindow, ScoreboardItemsWorkOnlyWithScoreboardsAndInitializeAndRefreshGoToTheApplication) {
    UiWorld world;
    world.activityLog = true;
    world.dataDisplay = false;
    auto window = world.Window();
    for (QAction* menu : window->menuBar()->actions()) Q_EMIT menu->menu()->aboutToShow();
    for (VZCommand command : kScoreboardItems) EXPECT_FALSE(window->Action(command)->isEnabled());
    EXPECT_FALSE(window->Action(VZCommand::EditMessage)->isEnabled());
    for (VZCommand command : {VZCommand::Clear, VZCommand::ActivityLog, VZCommand::ApplyDefaultFields})
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
    window->Action(VZCommand::TimeOfDay24Hour)->trigger();
    window->Action(VZCommand::SendMessage)->trigger();
    EXPECT_TRUE(boards.use24);
    EXPECT_EQ(boards.sent, 1);

    // The heartbeat attaches the event once.
    QEvent idle(static_cast<QEvent::Type>(TZControl::kIdleEvent));
    QApplication::sendEvent(window.get(), &idle);
    EXPECT_EQ(boards.attached, &world.event);

    // Initialize and Refresh reach the application as its events.
    qApp->installEventFilter(&boards);
    window->Action(VZCommand::ScoreboardInitialize)->trigger();
    window->Action(VZCommand::ScoreboardRefresh)->trigger();
    QCoreApplication::sendPostedEvents(qApp);
    EXPECT_EQ(boards.applicationEvents, (std::vector<int>{10163, 10164}));
}

TEST(MainWindow, GeometryIsRestoredNormalAfterAnExitWhileNormalAndKeptWhenMaximized) {
    UiWorld world;
    KRegistry& settings = world.scorer.settings;
    const auto geometry = [&] {
        std::vector<int> values;
        for (KStringView key : {u"Left", u"Top", u"Width", u"Height", u"Maximized"})
            values.push_back(settings.FindInt(KString(u"General\\MainWindow\\") + KString(key))->Value());
        return values;
    };
    {
        auto window = world.Window();  // the defaults: width and height -1
        window->show();
        EXPECT_TRUE(window->isMaximized());
        window->showNormal();
        window->setGeometry(20, 30, 800, 600);
        window->move(20, 30);
    }
    EXPECT_EQ(geometry(), (std::vector<int>{20, 30, 800, 600, 0}));
    {
        auto window = world.Window();
        window->show();
        EXPECT_FALSE(window->isMaximized());
        EXPECT_EQ(QRect(window->pos(), window->size()), QRect(20, 30, 800, 600));
        window->showMaximized();
    }
    EXPECT_EQ(geometry(), (std::vector<int>{20, 30, 800, 600, 1}));
    settings.Define(u"General\\MainWindow\\Height:Int=-5");
    auto window = world.Window();
    window->show();
    EXPECT_TRUE(window->isMaximized());
}

TEST(MainWindow, DefaultWindowShowsAcceleratorsTogglesTheDisplayAndOpensOptionsOrTheEditor) {
    UiWorld world;
    auto window = world.Window();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kestrun  v" KESTRUN_VERSION_TEXT));
    EXPECT_EQ(window->Action(VZCommand::Clear)->text(), QStringLiteral("&Clear\tAlt+C"));
    QStringList titles;
    for (QAction* menu : window->menuBar()->actions()) titles << menu->text();
    EXPECT_EQ(titles.join(u' '), QStringLiteral("&File &Data &Scoreboard &Scoring &Results &Help"));
    // The tool bar's toggle and its fly-over text.
    EXPECT_EQ(window->DataDisplayCommand(), VZCommand::DisableDisplay);
    EXPECT_EQ(window->ToolBarAction(1)->statusTip(), QStringLiteral("Disable Data Display Window"));
    window->ToolBarAction(1)->trigger();
    EXPECT_FALSE(world.dataDisplay);
    EXPECT_EQ(window->ToolBarAction(1)->statusTip(), QStringLiteral("Enable Data Display Window"));
    window->Command(VZCommand::UpdateDisplay);
    EXPECT_TRUE(world.dataDisplay);
    EXPECT_EQ(window->DataDisplayCommand(), VZCommand::DisableDisplay);

    // Control and Shift on an Options item open the settings editor once there is one.
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

}  // namespace
