#include "app/KZApplication.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <csignal>
#include <stdexcept>
#include <utility>
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
    QtArguments arguments;
    LoopApplication app{arguments.argc, arguments.argv};
};

}  // namespace

TEST_F(KZApplicationTest, IdleCounterCountsPassesStopsOnFalseAndRestartsAfterAnEvent) {
    bool posted = false;
    app.idle = [&](int count) {
        if (count == 2 && !posted) {
            // Stop the calls, and let an event arrive a little later to start them again.
            posted = true;
            QTimer::singleShot(20, &app, [] {});
            return false;
        }
        if (posted && app.counts.size() > 4) {
            app.EndMainLoop(7);
        }
        return true;
    };
    EXPECT_EQ(app.Control(), 7);
    ASSERT_GE(app.counts.size(), 4u);
    EXPECT_EQ((std::vector<int>(app.counts.begin(), app.counts.begin() + 4)), (std::vector<int>{0, 1, 2, 0}));
}

TEST_F(KZApplicationTest, FlushEndsWhenNoEventWaitsWithoutCallingTheIdleHook) {
    bool delivered = false;
    QTimer::singleShot(0, &app, [&] { delivered = true; });
    EXPECT_EQ(app.Control(nullptr, true), 0);
    EXPECT_TRUE(delivered);
    EXPECT_TRUE(app.counts.empty());
}

TEST(KZApplication, ServedWindowEndsItsLoopWhenClosedAndATerminationRequestEndsBothLoops) {
    for (const bool terminate : {false, true}) {
        QtArguments arguments;
        LoopApplication app(arguments.argc, arguments.argv);
        QWidget window;
        window.show();
        if (terminate) KZApplication::RequestTermination();
        app.idle = [&](int count) {
            if (count == 3) window.close();
            return true;
        };
        EXPECT_EQ(app.Control(&window), 0);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(app.counts.empty(), terminate) << "a termination request closes the window at once";
        EXPECT_EQ(app.MainLoopEnded(), terminate);
        if (terminate) {
            EXPECT_EQ(app.Control(), 0);
        }
    }
}

TEST(KZApplication, SignalClosesAModalDialogRunningItsOwnLoopAndEndsTheMainLoop) {
    struct sigaction oldTerm {};
    struct sigaction oldInt {};
    sigaction(SIGTERM, nullptr, &oldTerm);
    sigaction(SIGINT, nullptr, &oldInt);
    KZApplication::InstallTerminationHandlers();
    {
        QtArguments arguments;
        LoopApplication app(arguments.argc, arguments.argv);
        QDialog dialog;
        QTimer::singleShot(10, &dialog, [] { ::raise(SIGTERM); });
        EXPECT_EQ(dialog.exec(), QDialog::Rejected);
        EXPECT_TRUE(app.MainLoopEnded());
    }
    sigaction(SIGTERM, &oldTerm, nullptr);
    sigaction(SIGINT, &oldInt, nullptr);
}

TEST_F(KZApplicationTest, ExceptionFromTheIdleHookIsReportedAndTheLoopGoesOn) {
    app.idle = [&](int count) -> bool {
        if (count == 0) {
            throw std::runtime_error("idle work failed");
        }
        app.EndMainLoop(0);
        return true;
    };
    EXPECT_EQ(app.Control(), 0);
    EXPECT_EQ(app.exceptions, 1);
    EXPECT_EQ(app.counts, (std::vector<int>{0, 1}));
}

TEST_F(KZApplicationTest, ObjectsDeletedLaterAreDeletedByTheLoop) {
    bool destroyed = false;
    bool asked = false;
    auto* object = new QObject;
    QObject::connect(object, &QObject::destroyed, [&] { destroyed = true; });
    // Asked from idle work, outside any event handler, so only our loop can do it.
    app.idle = [&](int count) {
        if (!std::exchange(asked, true)) object->deleteLater();
        if (count == 10 || destroyed) app.EndMainLoop(0);
        return true;
    };
    app.Control();
    EXPECT_TRUE(destroyed);
    if (!destroyed) delete object;
}
