// Runs the real program file headless, as an operator's desktop session or a
// terminal would, and ends it with a signal.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/TestFolder.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Starts Kestrun with `home` as its home folder, waits until its log holds the start line,
// sends `signal`, and returns its exit status (-1 when it never started or never ended).
int RunUntilSignal(const fs::path& home, int signal) {
    const fs::path runtime = home / "run";
    fs::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    // Everything the child needs is built before fork: after it only exec is safe.
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view variable(*entry);
        if (!variable.starts_with("HOME=") && !variable.starts_with("XDG_") &&
            !variable.starts_with("QT_QPA_")) {
            variables.emplace_back(variable);
        }
    }
    variables.push_back("HOME=" + home.string());
    variables.push_back("XDG_RUNTIME_DIR=" + runtime.string());
    variables.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> envp;
    for (std::string& variable : variables) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    char program[] = KESTRUN_PROGRAM;
    char option[] = "-noserialport";
    char* argv[] = {program, option, nullptr};
    const pid_t child = ::fork();
    if (child == 0) {
        ::execve(program, argv, envp.data());
        ::_exit(127);
    }
    if (child < 0) {
        return -1;
    }
    const fs::path log = home / "Documents" / "Velmar" / "Kestrun" / "Kestrun.log";
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool started = false;
    int status = 0;
    while (!started && std::chrono::steady_clock::now() < limit) {
        started = ReadFile(log).find("Kestrun Application Start") != std::string::npos;
        if (!started) {
            if (::waitpid(child, &status, WNOHANG) == child) {
                return -1;  // ended on its own
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ::kill(child, started ? signal : SIGKILL);
    ::waitpid(child, &status, 0);
    return started && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(KestrunProgram, EndsInOrderOnSigtermAndWritesItsSettings) {
    TestFolder home;
    ASSERT_EQ(RunUntilSignal(home.Path(), SIGTERM), 0);
    const fs::path data = home.Path() / "Documents" / "Velmar" / "Kestrun";
    const std::string settings = ReadFile(data / "Kestrun.cfg");
    ASSERT_GE(settings.size(), 2u);
    EXPECT_EQ(settings.substr(0, 2), "\xFF\xFE");  // first start: UTF-16LE with byte-order mark
    const std::string log = ReadFile(data / "Kestrun.log");
    EXPECT_NE(log.find("Kestrun Application End"), std::string::npos);
}

TEST(KestrunProgram, CtrlCInATerminalAlsoKeepsTheSettings) {
    TestFolder home;
    ASSERT_EQ(RunUntilSignal(home.Path(), SIGINT), 0);
    EXPECT_TRUE(fs::exists(home.Path() / "Documents" / "Velmar" / "Kestrun" / "Kestrun.cfg"));
}
