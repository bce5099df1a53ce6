#include "ports/KSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "foundation/KError.h"

sockaddr_in MakeSocketAddress(uint32_t address, uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = htonl(address);
    result.sin_port = htons(port);
    return result;
}

KSocketHandle& KSocketHandle::operator=(KSocketHandle&& other) noexcept {
    if (this != &other) {
        Reset(other.m_fd);
        other.m_fd = -1;
    }
    return *this;
}

void KSocketHandle::Reset(int fd) {
    // close is never retried: on Linux the descriptor is gone even when it reports EINTR.
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
}

KSocket::KSocket(KNetwork& network, size_t outputBufferSize)
    : m_network(network),
      m_sendBufferSize(outputBufferSize > 0 ? static_cast<int>(std::min<size_t>(outputBufferSize, INT32_MAX))
                                            : -1),
      m_output(outputBufferSize) {}

KSocket::~KSocket() = default;

int KSocket::CreateSocket(int type) { return ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

void KSocket::ResetOutput() { m_outputFill = 0; }

bool KSocket::IsWriteReady() { return HasSocket() && WaitReady(POLLOUT, 0); }

int KSocket::PollDescriptor() const { return m_socket.Get(); }

void KSocket::CloseSocket() { ReleaseSocket(); }

void KSocket::SetSendBufferSize(int bytes) {
    m_sendBufferSize = bytes;
    ApplySendBufferSize();
}

void KSocket::AdoptSocket(int fd) {
    m_socket.Reset(fd);
    m_blocking = false;
}

void KSocket::ReleaseSocket() {
    m_socket.Reset();
    m_blocking = true;
}

bool KSocket::SetBlocking(bool blocking) {
    if (!HasSocket()) return false;
    if (blocking == m_blocking) return true;
    const int flags = ::fcntl(Socket(), F_GETFL);
    if (flags < 0) return false;
    if (::fcntl(Socket(), F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) != 0) return false;
    m_blocking = blocking;
    return true;
}

void KSocket::ApplySendBufferSize() {
    if (!HasSocket() || m_sendBufferSize < 0) return;
    int current = 0;
    socklen_t length = sizeof current;
    if (::getsockopt(Socket(), SOL_SOCKET, SO_SNDBUF, &current, &length) != 0) return;
    if (current < m_sendBufferSize) {
        ::setsockopt(Socket(), SOL_SOCKET, SO_SNDBUF, &m_sendBufferSize, sizeof m_sendBufferSize);
    }
}

bool KSocket::WaitReady(short events, int timeoutMs) const {
    if (!HasSocket()) return false;
    // poll, not select: a descriptor above FD_SETSIZE must not overrun an fd_set.
    pollfd entry{Socket(), events, 0};
    int result;
    do {
        result = ::poll(&entry, 1, std::max(timeoutMs, 0));
    } while (result < 0 && errno == EINTR);
    return result > 0;
}

ptrdiff_t KSocket::SendTimed(const uint8_t* bytes, size_t count, const sockaddr_in* to) {
    if (WriteTimeout() > 0 && !WaitReady(POLLOUT, WriteTimeout())) return kNotReady;
    // MSG_DONTWAIT whatever the socket's mode: a dead peer never holds the caller.
    const int flags = MSG_NOSIGNAL | MSG_DONTWAIT;
    ssize_t sent;
    do {
        sent = to != nullptr ? ::sendto(Socket(), bytes, count, flags, reinterpret_cast<const sockaddr*>(to),
                                        sizeof *to)
                             : ::send(Socket(), bytes, count, flags);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return kNotReady;
    return sent;
}

ptrdiff_t KSocket::ReceiveTimed(uint8_t* buffer, size_t count) {
    if (ReadTimeout() > 0 && !WaitReady(POLLIN, ReadTimeout())) return kNotReady;
    ssize_t received;
    do {
        received = ::recv(Socket(), buffer, count, MSG_DONTWAIT);
    } while (received < 0 && errno == EINTR);
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return kNotReady;
    return received;
}

void KSocket::FailReceive(const uint8_t* buffer, size_t done, int error) const {
    NotifyRead(buffer, done);
    if (error != 0 && done == 0) throw KError(KNetworkError::kReceive, error);
    throw KError(KNetworkError::kReceiveShort, static_cast<int>(done));
}

size_t KSocket::Queue(const uint8_t* bytes, size_t count) {
    const size_t n = std::min(count, m_output.size() - m_outputFill);
    if (n > 0) std::memcpy(m_output.data() + m_outputFill, bytes, n);
    m_outputFill += n;
    return n;
}

std::pair<const uint8_t*, size_t> KSocket::TakeQueued() {
    const size_t count = m_outputFill;
    m_outputFill = 0;
    return {m_output.data(), count};
}

void KSocket::CopySocketSettingsTo(KSocket& target) const {
    CopySettingsTo(target);
    target.m_sendBufferSize = m_sendBufferSize;
}
