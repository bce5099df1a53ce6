#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// One application for every test; the offscreen platform unless the caller chose a screen
// (scripts/screenshots runs the screenshot test under Xvfb).
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
