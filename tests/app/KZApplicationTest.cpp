#include "app/KZApplication.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <csignal>
#include <stdexcept>
#include <vector>

#include "app/AppTestSupport.h"

namespace {

// A loop whose idle hook a test scripts.
class LoopApplication : public KZApplication {
public:
    using KZApplication::KZApplication;

    std::function<bool(int)> idle;
    int exceptions = 0;
    std::vector<int> counts;

protected:
    bool Idle(int count) override {
        counts.push_back(count);
        return idle ? idle(count) : false;
    }
    void UnhandledException() override { ++exceptions; }
};

class KZApplicationTest : public ::testing::Test {
protected:
    LoopApplication app{gQtArgc, gQtArgv};
};

}  // namespace

TEST_F(KZApplicationTest,
       FlushSkipsTheIdleHookAndTheIdleCounterCountsPassesStopsOnFalseAndRestartsAfterAnEvent) {
    bool delivered = false;
    QTimer::singleShot(0, &app, [&] { delivered = true; });
    EXPECT_EQ(app.Control(nullptr, true), 0);  // ends once no event waits
    EXPECT_TRUE(delivered);
    EXPECT_TRUE(app.counts.empty());
    app.idle = [&](int count) {
        // The third pass stops the calls, and an event a little later starts them again.
        if (count == 2 && app.counts.size() == 3) QTimer::singleShot(20, &app, [] {});
        if (app.counts.size() > 4) app.EndMainLoop(7);
        return app.counts.size() != 3;
    };
    EXPECT_EQ(app.Control(), 7);
    ASSERT_GE(app.counts.size(), 4u);
    EXPECT_EQ((std::vector<int>(app.counts.begin(), app.counts.begin() + 4)), (std::vector<int>{0, 1, 2, 0}));
}

TEST_F(KZApplicationTest, ServedWindowEndsItsLoopWhenClosedAndATerminationRequestEndsBothLoops) {
    QWidget window;
    app.idle = [&](int count) {
        if (count == 3) window.close();
        return true;
    };
    for (const bool terminate : {false, true}) {
        app.counts.clear();
        window.show();
        if (terminate) KZApplication::RequestTermination();
        EXPECT_EQ(app.Control(&window), 0);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(app.counts.empty(), terminate) << "a termination request closes the window at once";
        EXPECT_EQ(app.MainLoopEnded(), terminate);
    }
    EXPECT_EQ(app.Control(), 0);
}

TEST(KZApplication, SigtermOrCtrlCClosesAModalDialogRunningItsOwnLoopAndEndsTheMainLoop) {
    const int handled[] = {SIGTERM, SIGINT};
    struct sigaction old[2]{};
    for (int i = 0; i < 2; ++i) sigaction(handled[i], nullptr, &old[i]);
    KZApplication::InstallTerminationHandlers();  // before the application, which listens for them
    for (const int signal : handled) {
        LoopApplication app(gQtArgc, gQtArgv);
        QDialog dialog;
        QTimer::singleShot(10, &dialog, [signal] { ::raise(signal); });
        EXPECT_EQ(dialog.exec(), QDialog::Rejected) << signal;
        EXPECT_TRUE(app.MainLoopEnded()) << signal;
    }
    for (int i = 0; i < 2; ++i) sigaction(handled[i], &old[i], nullptr);
}

TEST_F(KZApplicationTest, ExceptionFromTheIdleHookIsReportedAndTheLoopGoesOnDeletingObjectsDeletedLater) {
    QPointer<QObject> object = new QObject;
    // Asked from idle work, outside any event handler, so only our loop can do it.
    app.idle = [&](int count) -> bool {
        if (app.exceptions == 0) throw std::runtime_error("idle work failed");
        if (object) object->deleteLater();
        if (count == 10 || !object) app.EndMainLoop(0);
        return true;
    };
    EXPECT_EQ(app.Control(), 0);
    EXPECT_EQ(app.exceptions, 1);
    EXPECT_TRUE(object.isNull());
    delete object;
}
