#pragma once

// Whether this machine can use the network at all, decided once at start.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

/// Available once the host name resolved to at least one IPv4 address; every network stream
/// refuses to open otherwise. The application owns one for the whole run and hands it to the
/// socket streams (which must not outlive it). Started on the main thread before any stream
/// uses it; IsAvailable may then be read from any thread.
class KNetwork {
public:
    /// Reads this machine's host name and resolves it.
    bool Start();
    /// Resolves `hostName` instead (a caller that knows which name counts).
    bool Start(const std::string& hostName);
    /// Every network stream fails to open afterwards.
    void Stop();

    bool IsAvailable() const { return m_available.load(std::memory_order_acquire); }
    const std::string& HostName() const { return m_hostName; }
    /// The host's IPv4 addresses, host byte order, as resolved at start.
    const std::vector<uint32_t>& Addresses() const { return m_addresses; }

private:
    std::atomic<bool> m_available = false;
    std::string m_hostName;
    std::vector<uint32_t> m_addresses;
};
