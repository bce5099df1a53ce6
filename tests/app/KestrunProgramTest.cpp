// Runs the real program file headless, as an operator's desktop session or a
// terminal would, and ends it with a signal.

#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "support/KKestrunProcess.h"

namespace fs = std::filesystem;

TEST(KestrunProgram, SigtermFromTheDesktopOrCtrlCInATerminalEndInOrderAndKeepTheSettings) {
    for (const int signal : {SIGTERM, SIGINT}) {
        KTempFolder home;
        KKestrunProcess program(KESTRUN_PROGRAM, home.Path());
        ASSERT_TRUE(program.WaitStarted()) << signal;
        ASSERT_EQ(program.Stop(signal), 0) << signal;
        const fs::path data = program.DataFolder();
        // A first start writes UTF-16LE with a byte-order mark.
        EXPECT_TRUE(ReadBytes(data / "Kestrun.cfg").starts_with("\xFF\xFE")) << signal;
        EXPECT_NE(ReadBytes(data / "Kestrun.log").find("Kestrun Application End"), std::string::npos)
            << signal;
    }
}
