#include <gtest/gtest.h>

#include <cstdlib>

// Every test that needs a Qt application builds its own; none needs a screen.
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
