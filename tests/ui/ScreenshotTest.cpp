// Not a check: scripts/screenshots runs this under Xvfb to picture the main window during a
// simulated race and after Finalize Data, into the folder KESTRUN_SCREENSHOTS names.
#include <gtest/gtest.h>

#include <QApplication>
#include <QResource>
#include <QTest>
#include <cstdlib>

#include "UiTestSupport.h"

TEST(Screenshots, MainWindowDuringARaceAndAfterFinalize) {
    const char* folder = std::getenv("KESTRUN_SCREENSHOTS");
    if (folder == nullptr) GTEST_SKIP() << "KESTRUN_SCREENSHOTS names no folder";
    QResource::registerResource(QCoreApplication::applicationDirPath() + QStringLiteral("/Kestrun.rcc"));
    UiWorld world(150, 9);
    for (const KStringView line :
         {u"Left:Int=0", u"Top:Int=0", u"Width:Int=1280", u"Height:Int=780", u"Maximized:Int=0"})
        world.scorer.settings.Define(KString(u"General\\MainWindow\\") + KString(line));
    auto window = world.Window();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    // The finishers arrive a few at a time, as from the timing system.
    for (size_t finished = 4; finished <= 96; finished += 4) {
        world.Finish(finished);
        QTest::qWait(40);
    }
    const QString path = QString::fromLocal8Bit(folder) + QStringLiteral("/");
    EXPECT_TRUE(window->grab().save(path + QStringLiteral("main-window-race.png")));
    window->Command(VZCommand::FinalizeData);
    QTest::qWait(100);
    EXPECT_TRUE(window->grab().save(path + QStringLiteral("main-window-final.png")));
}
