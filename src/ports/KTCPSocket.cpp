#include "ports/KTCPSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "foundation/KError.h"
#include "ports/KNetwork.h"
#include "ports/KPortSpec.h"

namespace {

constexpr int kBacklog = 5;
// A flood of connects is taken this many per poll at most, so one poll stays short.
constexpr int kMaxAcceptsPerPoll = 64;
// PurgeInput discards at most this many reads, so a flood cannot hold it.
constexpr int kMaxPurgeReads = 64;

}  // namespace

KTCPSocket::KTCPSocket(KNetwork& network, size_t outputBufferSize) : KSocket(network, outputBufferSize) {}

KTCPSocket::~KTCPSocket() = default;

bool KTCPSocket::IsMine(int portCode) const {
    return portCode == KPortCode::kNetConnect || portCode == KPortCode::kNetListen;
}

std::unique_ptr<KStream> KTCPSocket::Clone() const {
    auto clone = std::make_unique<KTCPSocket>(Network(), OutputBufferSize());
    CopySocketSettingsTo(*clone);
    clone->m_noDelay = m_noDelay;
    clone->m_autoReconnect = m_autoReconnect;
    clone->m_blockingConnect = m_blockingConnect;
    clone->m_accept = m_accept;
    return clone;
}

bool KTCPSocket::IsOpen() { return Poll(); }

bool KTCPSocket::Open(KStringView spec) {
    const int code = ReadPortCode(spec);
    const auto address = ReadIPAddress(spec);
    const auto port = ReadIPPort(spec);
    if (code == KPortCode::kNetConnect && address && port) return Connect(*address, *port);
    if (code == KPortCode::kNetListen && port) return Listen(address.value_or(0), *port);
    // A specification this stream cannot serve leaves it closed, not on its old connection.
    Close();
    return false;
}

void KTCPSocket::Close() {
    m_listener.Reset();
    CloseSocket();
    ResetOutput();
    KStream::Close();
}

void KTCPSocket::CloseSocket() {
    DropConnection();
    m_remoteAddress = 0;
    m_remotePort = 0;
}

bool KTCPSocket::Connect(uint32_t address, uint16_t port) {
    Close();
    if (!Network().IsAvailable()) return false;
    m_remoteAddress = address;
    m_remotePort = port;
    if (StartConnect()) return true;
    if (!m_autoReconnect) DropConnection();
    return false;
}

bool KTCPSocket::Listen(uint32_t address, uint16_t port) {
    Close();
    if (!Network().IsAvailable()) return false;
    KSocketHandle listener(CreateSocket(SOCK_STREAM));
    if (!listener.IsValid()) return false;
    const int on = 1;
    ::setsockopt(listener.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in local = MakeSocketAddress(address, port);
    if (::bind(listener.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(listener.Get(), kBacklog) != 0) {
        return false;
    }
    m_listener = std::move(listener);
    return true;
}

uint16_t KTCPSocket::ListenPort() const {
    if (!m_listener.IsValid()) return 0;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(m_listener.Get(), reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
    return ntohs(local.sin_port);
}

int KTCPSocket::PollDescriptor() const { return HasSocket() ? Socket() : m_listener.Get(); }

void KTCPSocket::SetNoDelay(bool on) {
    if (on == m_noDelay) return;
    m_noDelay = on;
    ApplyNoDelay();
}

void KTCPSocket::ApplyNoDelay() {
    if (!HasSocket()) return;
    const int value = m_noDelay ? 1 : 0;
    ::setsockopt(Socket(), IPPROTO_TCP, TCP_NODELAY, &value, sizeof value);
}

void KTCPSocket::DropConnection() {
    ReleaseSocket();
    m_state = State::None;
    m_readFill = m_readPos = 0;
}

bool KTCPSocket::StartConnect() {
    DropConnection();
    m_state = State::Connecting;
    const int fd = CreateSocket(SOCK_STREAM);
    if (fd < 0) return false;  // a later poll tries again
    AdoptSocket(fd);
    ApplySendBufferSize();
    ApplyNoDelay();
    SetBlocking(m_blockingConnect);
    const sockaddr_in remote = MakeSocketAddress(m_remoteAddress, m_remotePort);
    const int result = ::connect(Socket(), reinterpret_cast<const sockaddr*>(&remote), sizeof remote);
    const int error = errno;
    SetBlocking(false);
    if (result == 0) {
        m_state = State::Connected;
        return true;
    }
    // An interrupted connect goes on in the background, as a non-blocking one does.
    return error == EINPROGRESS || error == EINTR;
}

void KTCPSocket::AcceptWaiting() {
    for (int i = 0; i < kMaxAcceptsPerPoll; ++i) {
        const int fd = ::accept4(m_listener.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            // A client that gave up while waiting is skipped; anything else ends this round.
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;
        }
        // The newest client replaces the one served; its unread bytes go with it.
        DropConnection();
        AdoptSocket(fd);
        m_state = State::Connected;
        m_remoteAddress = 0;
        m_remotePort = 0;
        ApplySendBufferSize();
        ApplyNoDelay();
    }
}

bool KTCPSocket::IsBroken() {
    if (!HasSocket()) return true;  // a socket that could not be created: try again
    if (m_state == State::Connecting) {
        if (!WaitReady(POLLOUT, 0)) return false;
        // Writable also when the connect failed: the socket's error and a peer tell which.
        int error = 0;
        socklen_t length = sizeof error;
        sockaddr_in peer{};
        socklen_t peerLength = sizeof peer;
        if (::getsockopt(Socket(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0 ||
            ::getpeername(Socket(), reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) {
            return true;
        }
        m_state = State::Connected;
    }
    // Bytes already taken from the system are read before a close behind them counts.
    if (m_readPos < m_readFill || !WaitReady(POLLIN, 0)) return false;
    uint8_t byte;
    const ssize_t n = ::recv(Socket(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

bool KTCPSocket::Poll() {
    if (m_listener.IsValid() && m_accept) AcceptWaiting();
    if (m_state == State::None) return false;
    if (IsBroken()) {
        if (m_autoReconnect && m_remoteAddress != 0 && m_remotePort != 0) {
            StartConnect();
        } else {
            DropConnection();
        }
    }
    return m_state == State::Connected;
}

void KTCPSocket::Read(uint8_t* buffer, size_t count) {
    const auto takeBuffered = [&](size_t done) {
        const size_t n = std::min(count - done, m_readFill - m_readPos);
        if (n > 0) std::memcpy(buffer + done, m_readBuffer + m_readPos, n);
        m_readPos += n;
        return done + n;
    };
    size_t done = takeBuffered(0);
    int error = 0;  // why the receive failed; 0 when nothing more was there
    if (done < count) {
        if (!Poll()) {
            error = -1;
        } else {
            // A large read goes straight into the caller's buffer; small ones through ours.
            const bool direct = count - done >= kReadBufferSize;
            const ptrdiff_t n = direct ? ReceiveTimed(buffer + done, count - done)
                                       : ReceiveTimed(m_readBuffer, kReadBufferSize);
            if (n > 0 && direct) {
                done += static_cast<size_t>(n);
            } else if (n > 0) {
                m_readPos = 0;
                m_readFill = static_cast<size_t>(n);
                done = takeBuffered(done);
            } else if (n == 0) {
                error = -1;  // the peer closed; the next poll redials or waits for a client
            } else if (n == -1) {
                error = errno;
            }
        }
    }
    if (done < count) FailReceive(buffer, done, error);
    NotifyRead(buffer, count);
}

void KTCPSocket::Write(const uint8_t* buffer, size_t count) {
    if (OutputBufferSize() == 0) {
        SendNow(buffer, count);
    } else {
        for (size_t done = Queue(buffer, count); done < count; done += Queue(buffer + done, count - done)) {
            Flush();
        }
    }
    NotifyWrite(buffer, count);
}

void KTCPSocket::Flush() {
    if (QueuedCount() == 0) return;
    const auto [bytes, count] = TakeQueued();
    SendNow(bytes, count);
}

void KTCPSocket::SendNow(const uint8_t* bytes, size_t count) {
    if (!Poll()) throw KError(KNetworkError::kSend);
    const ptrdiff_t n = SendTimed(bytes, count);
    if (n == -1) throw KError(KNetworkError::kSend, errno);
    const size_t sent = n == kNotReady ? 0 : static_cast<size_t>(n);
    if (sent < count) throw KError(KNetworkError::kSendShort, static_cast<int>(sent));
}

void KTCPSocket::PurgeInput() {
    KStream::PurgeInput();
    m_readFill = m_readPos = 0;
    if (m_state != State::Connected || !HasSocket()) return;
    for (int i = 0; i < kMaxPurgeReads; ++i) {
        if (::recv(Socket(), m_readBuffer, kReadBufferSize, MSG_DONTWAIT) <= 0) break;
    }
}
