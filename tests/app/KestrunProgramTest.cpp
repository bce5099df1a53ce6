// Runs the real program file headless, as an operator's desktop session or a
// terminal would, and ends it with a signal.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/KTempFolder.h"

namespace {

namespace fs = std::filesystem;

// Starts Kestrun with `home` as its home folder, waits until its log holds the start line,
// sends `signal`, and returns its exit status (-1 when it never started or never ended).
int RunUntilSignal(const fs::path& home, int signal) {
    const fs::path runtime = home / "run";
    fs::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    // Everything the child needs is built before fork: after it only exec is safe.
    std::vector<std::string> variables = {"HOME=" + home.string(), "XDG_RUNTIME_DIR=" + runtime.string(),
                                          "QT_QPA_PLATFORM=offscreen"};
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view variable(*entry);
        if (!variable.starts_with("HOME=") && !variable.starts_with("XDG_") &&
            !variable.starts_with("QT_QPA_"))
            variables.emplace_back(variable);
    }
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    char program[] = KESTRUN_PROGRAM;
    char option[] = "-noserialport";
    char* argv[] = {program, option, nullptr};
    const pid_t child = ::fork();
    if (child == 0) {
        ::execve(program, argv, envp.data());
        ::_exit(127);
    }
    if (child < 0) return -1;
    const fs::path log = home / "Documents" / "Velmar" / "Kestrun" / "Kestrun.log";
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool started = false;
    int status = 0;
    while (!started && std::chrono::steady_clock::now() < limit) {
        started = ReadBytes(log).find("Kestrun Application Start") != std::string::npos;
        if (!started) {
            if (::waitpid(child, &status, WNOHANG) == child) return -1;  // ended on its own
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ::kill(child, started ? signal : SIGKILL);
    ::waitpid(child, &status, 0);
    return started && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(KestrunProgram, SigtermFromTheDesktopOrCtrlCInATerminalEndInOrderAndKeepTheSettings) {
    for (const int signal : {SIGTERM, SIGINT}) {
        KTempFolder home;
        ASSERT_EQ(RunUntilSignal(home.Path(), signal), 0) << signal;
        const fs::path data = home / "Documents" / "Velmar" / "Kestrun";
        // A first start writes UTF-16LE with a byte-order mark.
        EXPECT_TRUE(ReadBytes(data / "Kestrun.cfg").starts_with("\xFF\xFE")) << signal;
        EXPECT_NE(ReadBytes(data / "Kestrun.log").find("Kestrun Application End"), std::string::npos)
            << signal;
    }
}
