#pragma once

// The real program file run headless (Qt's offscreen platform) with a home folder of its own, as
// an operator's session would run it, for tests that start, signal and restart it.

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/KTempFolder.h"

class KKestrunProcess {
public:
    /// Starts `program` with `home` as HOME (documents in home/Documents) and home/run as
    /// XDG_RUNTIME_DIR, without looking for serial ports.
    KKestrunProcess(const std::filesystem::path& program, const std::filesystem::path& home) : m_home(home) {
        const std::filesystem::path runtime = home / "run";
        std::filesystem::create_directories(runtime);
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
        std::string path = program.string();
        std::string option = "-noserialport";
        char* argv[] = {path.data(), option.data(), nullptr};
        m_pid = ::fork();
        if (m_pid == 0) {
            ::execve(path.c_str(), argv, envp.data());
            ::_exit(127);
        }
    }
    ~KKestrunProcess() {
        if (m_pid > 0 && m_status < 0) Stop(SIGKILL);
    }
    KKestrunProcess(const KKestrunProcess&) = delete;
    KKestrunProcess& operator=(const KKestrunProcess&) = delete;

    /// <home>/Documents/Velmar/Kestrun, where the settings, log and event files are.
    std::filesystem::path DataFolder() const { return m_home / "Documents" / "Velmar" / "Kestrun"; }

    /// Waits (up to 60 s) until the log holds the start line; false when the program ended first.
    bool WaitStarted() {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < limit) {
            if (ReadBytes(DataFolder() / "Kestrun.log").find("Kestrun Application Start") !=
                std::string::npos)
                return true;
            int status = 0;
            if (m_pid <= 0 || ::waitpid(m_pid, &status, WNOHANG) == m_pid) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    /// Sends `signal` and waits for the end: the exit status, or 128 plus the signal that ended it.
    int Stop(int signal) {
        if (m_pid <= 0) return -1;
        ::kill(m_pid, signal);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return m_status;
    }

private:
    std::filesystem::path m_home;
    pid_t m_pid = -1;
    int m_status = -1;
};
