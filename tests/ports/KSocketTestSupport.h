#pragma once

// Loopback helpers of the network tests: the other end of a stream as plain sockets, on
// ports the system hands out.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>

#include "foundation/KError.h"
#include "ports/KNetwork.h"
#include "ports/KSocket.h"
#include "support/KTempFolder.h"

/// Polls `condition` every millisecond for up to five seconds.
template <typename Condition>
bool PollUntil(Condition&& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

/// A plain socket of `type`, bound to 127.0.0.1 and the port given (0: any free one).
inline KSocketHandle BoundSocket(int type, uint16_t port = 0) {
    KSocketHandle handle(::socket(AF_INET, type, 0));
    const int on = 1;
    ::setsockopt(handle.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in local = MakeSocketAddress(INADDR_LOOPBACK, port);
    ::bind(handle.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local);
    return handle;
}

inline uint16_t LocalPort(const KSocketHandle& handle) {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    ::getsockname(handle.Get(), reinterpret_cast<sockaddr*>(&local), &length);
    return ntohs(local.sin_port);
}

/// A port nothing uses now.
inline uint16_t FreePort(int type) { return LocalPort(BoundSocket(type)); }

/// A blocking client connected to 127.0.0.1:`port`; invalid when the connection was not
/// made within `timeoutMs`.
inline KSocketHandle Client(uint16_t port, int timeoutMs = 5000) {
    KSocketHandle handle(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
    const sockaddr_in remote = MakeSocketAddress(INADDR_LOOPBACK, port);
    ::connect(handle.Get(), reinterpret_cast<const sockaddr*>(&remote), sizeof remote);
    pollfd entry{handle.Get(), POLLOUT, 0};
    if (::poll(&entry, 1, timeoutMs) != 1 || entry.revents != POLLOUT) return {};
    ::fcntl(handle.Get(), F_SETFL, 0);
    return handle;
}

/// The count sent; 0 when the connection failed.
inline size_t SendText(const KSocketHandle& handle, const std::string& text) {
    if (!handle.IsValid()) return 0;
    const ssize_t n = ::send(handle.Get(), text.data(), text.size(), MSG_NOSIGNAL);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

/// What arrives on `handle` within a second, up to `count` bytes.
inline std::string ReceiveText(const KSocketHandle& handle, size_t count) {
    timeval timeout{1, 0};
    ::setsockopt(handle.Get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string text(count, '\0');
    const ssize_t n = ::recv(handle.Get(), text.data(), count, MSG_WAITALL);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

inline void WriteText(KStream& stream, std::string_view text) {
    stream.Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

/// `count` bytes read one at a time, or what arrived within five seconds.
inline std::string ReadUntil(KStream& stream, size_t count) {
    std::string text;
    PollUntil([&] {
        uint8_t byte;
        while (text.size() < count && CaughtError([&] { stream.Read(&byte, 1); }).first == 0)
            text += char(byte);
        return text.size() == count;
    });
    return text;
}

inline long OpenDescriptorCount() {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

/// "code,address,port"
inline KString NetSpec(int code, const std::string& address, int port) {
    return FromUtf8(std::to_string(code) + "," + address + "," + std::to_string(port));
}

/// A network that counts as available on any machine: "localhost" always resolves.
struct KLoopbackNetwork : KNetwork {
    KLoopbackNetwork() { Start("localhost"); }
};
