#include "ports/KNetwork.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

bool KNetwork::Start() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        Stop();
        return false;
    }
    return Start(std::string(name));
}

bool KNetwork::Start(const std::string& hostName) {
    Stop();
    m_hostName = hostName;
    if (hostName.empty()) return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(hostName.c_str(), nullptr, &hints, &found) != 0) return false;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        const uint32_t value = ntohl(address->sin_addr.s_addr);
        if (std::find(m_addresses.begin(), m_addresses.end(), value) == m_addresses.end()) {
            m_addresses.push_back(value);
        }
    }
    ::freeaddrinfo(found);
    m_available.store(!m_addresses.empty(), std::memory_order_release);
    return IsAvailable();
}

void KNetwork::Stop() {
    m_available.store(false, std::memory_order_release);
    m_addresses.clear();
}
