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

class KPty {
public:
    KPty() {
        char name[128];
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) std::abort();
        m_path = name;
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~KPty() {
        Unplug();
        ::close(m_slave);
    }
    KPty(const KPty&) = delete;
    KPty& operator=(const KPty&) = delete;

    const std::string& Path() const { return m_path; }
    void Send(const std::string& bytes) const {
        if (::write(m_master, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
    }
    /// What arrives until `count` bytes are there or 5 s have passed.
    std::string Receive(size_t count) const {
        std::string bytes;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd readable{m_master, POLLIN, 0};
            if (::poll(&readable, 1, 50) <= 0) continue;
            char chunk[256];
            const ssize_t n = ::read(m_master, chunk, std::min(sizeof chunk, count - bytes.size()));
            if (n > 0) bytes.append(chunk, static_cast<size_t>(n));
        }
        return bytes;
    }
    /// What has arrived after a quiet `ms`.
    std::string Drain(int ms = 20) const {
        std::string bytes;
        char chunk[256];
        pollfd readable{m_master, POLLIN, 0};
        while (::poll(&readable, 1, ms) > 0) {
            const ssize_t n = ::read(m_master, chunk, sizeof chunk);
            if (n <= 0) break;
            bytes.append(chunk, static_cast<size_t>(n));
        }
        return bytes;
    }
    termios Settings() const {
        termios settings{};
        ::tcgetattr(m_slave, &settings);
        return settings;
    }
    /// The cable's far end goes away, as when a USB adapter is pulled.
    void Unplug() {
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
};
