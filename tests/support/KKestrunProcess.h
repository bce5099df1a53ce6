#pragma once

// The real program file run headless (Qt's offscreen platform) with a home folder of its own, as
// an operator's session would run it, for tests that start, signal and restart it.

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/KTempFolder.h"

class KKestrunProcess {
public:
    /// Starts `program` with `home` as HOME (documents in home/Documents) and home/run as
    /// XDG_RUNTIME_DIR, without looking for serial ports.
    KKestrunProcess(const std::filesystem::path& program, const std::filesystem::path& home) : m_home(home) {
        std::filesystem::create_directories(home / "run");
        ::chmod((home / "run").c_str(), 0700);
        // Everything the child needs is built before fork: after it only exec is safe.
        std::string own[] = {"HOME=" + home.string(), "XDG_RUNTIME_DIR=" + (home / "run").string(),
                             "QT_QPA_PLATFORM=offscreen", program.string()};
        std::vector<char*> envp = {own[0].data(), own[1].data(), own[2].data()};
        const std::regex replaced("^(HOME=|XDG_|QT_QPA_)");
        for (char** entry = environ; *entry != nullptr; ++entry)
            if (!std::regex_search(*entry, replaced)) envp.push_back(*entry);
        envp.push_back(nullptr);
        char* argv[] = {own[3].data(), const_cast<char*>("-noserialport"), nullptr};
        m_pid = ::fork();
        if (m_pid == 0) {
            ::execve(argv[0], argv, envp.data());
            ::_exit(127);
        }
    }
    ~KKestrunProcess() {
        if (m_pid > 0) Stop(SIGKILL);
    }
    KKestrunProcess(const KKestrunProcess&) = delete;
    KKestrunProcess& operator=(const KKestrunProcess&) = delete;

    /// <home>/Documents/Velmar/Kestrun, where the settings, log and event files are.
    std::filesystem::path DataFolder() const { return m_home / "Documents" / "Velmar" / "Kestrun"; }

    /// Waits (up to 60 s) until the log holds the start line; false when the program ended first.
    bool WaitStarted() {
        for (int tries = 0; tries < 3000 && m_pid > 0; ++tries) {
            if (ReadBytes(DataFolder() / "Kestrun.log").find("Kestrun Application Start") !=
                std::string::npos)
                return true;
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) m_pid = -1;  // ended: nothing to stop
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    /// Sends `signal` and waits for the end: the exit status, or 128 plus the signal that ended it.
    int Stop(int signal) {
        if (m_pid <= 0) return -1;
        ::kill(m_pid, signal);
        int status = 0;
        ::waitpid(std::exchange(m_pid, -1), &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    std::filesystem::path m_home;
    pid_t m_pid = -1;
};
