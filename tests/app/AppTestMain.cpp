#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "app/TInstanceCounter.h"

// Every test that needs a Qt application builds its own; none needs a screen.
// Started as "app_tests --hold-instance <folder>", the program is instead a copy of
// Kestrun that registers itself, says so on standard output and waits to be killed.
int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--hold-instance") == 0) {
        TInstanceCounter copy(argv[2]);
        const char count = static_cast<char>(copy.Count());
        (void)::write(STDOUT_FILENO, &count, 1);
        ::close(STDOUT_FILENO);  // the end of the count for a reader that waits for all copies
        for (;;) ::pause();
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
