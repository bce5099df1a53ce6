#include "ports/KUDPSocket.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "foundation/KError.h"
#include "ports/KNetwork.h"
#include "ports/KPortSpec.h"

namespace {

// PurgeInput discards at most this many datagrams, so a flood cannot hold it.
constexpr int kMaxPurgeReads = 64;

}  // namespace

KUDPSocket::KUDPSocket(KNetwork& network, size_t outputBufferSize, size_t packetSize, size_t receiveSize)
    : KSocket(network, outputBufferSize),
      m_packetSize(std::clamp<size_t>(packetSize, 1, kMaxPacketSize)),
      m_receive(outputBufferSize > 0 ? receiveSize : 0) {}

KUDPSocket::~KUDPSocket() = default;

bool KUDPSocket::IsMine(int portCode) const { return portCode == KPortCode::kNetUDP; }

std::unique_ptr<KStream> KUDPSocket::Clone() const {
    auto clone = std::make_unique<KUDPSocket>(Network(), OutputBufferSize(), m_packetSize, m_receive.size());
    CopySocketSettingsTo(*clone);
    return clone;
}

bool KUDPSocket::IsOpen() {
    return OutputBufferSize() > 0 && HasSocket() && m_remoteAddress != 0 && m_remotePort != 0;
}

bool KUDPSocket::Open(KStringView spec) {
    Close();
    if (!Network().IsAvailable() || OutputBufferSize() == 0 || ReadPortCode(spec) != KPortCode::kNetUDP) {
        return false;
    }
    const uint32_t address = ReadIPAddress(spec).value_or(INADDR_BROADCAST);
    const auto port = ReadIPPort(spec);
    if (!port || *port == 0) return false;
    const int fd = CreateSocket(SOCK_DGRAM);
    if (fd < 0) return false;
    AdoptSocket(fd);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    ApplySendBufferSize();
    if (!m_receive.empty()) {
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        // Not being able to listen still leaves a stream that sends.
        const sockaddr_in local = MakeSocketAddress(INADDR_ANY, *port);
        (void)::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    }
    m_remoteAddress = address == 0 ? INADDR_BROADCAST : address;
    m_remotePort = *port;
    return true;
}

void KUDPSocket::Close() {
    CloseSocket();
    ResetOutput();
    KStream::Close();
}

void KUDPSocket::CloseSocket() {
    ReleaseSocket();
    m_remoteAddress = 0;
    m_remotePort = 0;
    m_receiveFill = m_receivePos = 0;
}

int KUDPSocket::PollDescriptor() const { return m_receive.empty() ? -1 : Socket(); }

void KUDPSocket::Read(uint8_t* buffer, size_t count) {
    if (!IsOpen() || m_receive.empty()) throw KError(KNetworkError::kReceive);
    size_t done = 0;
    while (done < count) {
        if (m_receivePos == m_receiveFill) {
            const ptrdiff_t n = ReceiveTimed(m_receive.data(), m_receive.size());
            if (n <= 0) FailReceive(buffer, done, n == -1 ? errno : 0);
            m_receivePos = 0;
            m_receiveFill = static_cast<size_t>(n);
        }
        const size_t n = std::min(count - done, m_receiveFill - m_receivePos);
        std::memcpy(buffer + done, m_receive.data() + m_receivePos, n);
        m_receivePos += n;
        done += n;
    }
    NotifyRead(buffer, count);
}

void KUDPSocket::Write(const uint8_t* buffer, size_t count) {
    if (!IsOpen()) throw KError(KNetworkError::kSend);
    const size_t stored = Queue(buffer, count);
    NotifyWrite(buffer, stored);
    if (stored < count) throw KError(KNetworkError::kSendShort, static_cast<int>(stored));
}

void KUDPSocket::Flush() {
    if (QueuedCount() == 0) return;
    const auto [bytes, count] = TakeQueued();
    if (!IsOpen()) throw KError(KNetworkError::kSend);
    const sockaddr_in remote = MakeSocketAddress(m_remoteAddress, m_remotePort);
    for (size_t sent = 0; sent < count;) {
        const size_t size = std::min(m_packetSize, count - sent);
        const ptrdiff_t n = SendTimed(bytes + sent, size, &remote);
        if (n == -1) throw KError(KNetworkError::kSend, errno);
        if (n == kNotReady || static_cast<size_t>(n) < size) {
            throw KError(KNetworkError::kSendShort, static_cast<int>(sent + std::max<ptrdiff_t>(n, 0)));
        }
        sent += size;
    }
}

void KUDPSocket::PurgeInput() {
    KStream::PurgeInput();
    m_receiveFill = m_receivePos = 0;
    if (!HasSocket() || m_receive.empty()) return;
    for (int i = 0; i < kMaxPurgeReads; ++i) {
        if (::recv(Socket(), m_receive.data(), m_receive.size(), MSG_DONTWAIT) < 0) break;
    }
}
