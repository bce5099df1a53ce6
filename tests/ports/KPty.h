#pragma once

// A pseudo-terminal: its slave is the real tty a serial port opens, its master the cable's
// other end that a test writes to and reads from.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>

class KPty {
public:
    KPty() {
        if (::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0) std::abort();
        m_path = ::ttyname(m_slave);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~KPty() {
        Unplug();
        ::close(m_slave);
    }
    KPty(const KPty&) = delete;
    KPty& operator=(const KPty&) = delete;

    const std::string& Path() const { return m_path; }
    /// What the far end cannot take yet goes out with the next Send.
    void Send(const std::string& bytes) const {
        m_unsent += bytes;
        const ssize_t n = ::write(m_master, m_unsent.data(), m_unsent.size());
        if (n > 0) m_unsent.erase(0, static_cast<size_t>(n));
    }
    /// What arrives until `count` bytes are there or 5 s have passed.
    std::string Receive(size_t count) const { return Read(count, 5000); }
    /// What has arrived after a quiet `ms` (5 s at most).
    std::string Drain(int ms = 20) const { return Read(std::string::npos, ms); }
    termios Settings() const {
        termios settings{};
        ::tcgetattr(m_slave, &settings);
        return settings;
    }
    /// The cable's far end goes away, as when a USB adapter is pulled.
    void Unplug() { ::close(std::exchange(m_master, -1)); }

private:
    std::string Read(size_t count, int quietMs) const {
        std::string bytes;
        char chunk[4096];
        pollfd readable{m_master, POLLIN, 0};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (ssize_t n = 1; n > 0 && bytes.size() < count && std::chrono::steady_clock::now() < deadline &&
                            ::poll(&readable, 1, quietMs) > 0;) {
            n = ::read(m_master, chunk, std::min(sizeof chunk, count - bytes.size()));
            if (n > 0) bytes.append(chunk, static_cast<size_t>(n));
        }
        return bytes;
    }

    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
    mutable std::string m_unsent;
};
