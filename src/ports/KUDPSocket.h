#pragma once

// UDP streams (port code -3): written bytes leave as datagrams of at most the packet size;
// read bytes come from datagrams of any sender, their boundaries not visible.

#include <cstdint>
#include <vector>

#include "ports/KSocket.h"

/// Open needs an output buffer; address 0 (or unreadable) sends to the broadcast address
/// 255.255.255.255, and a stream with a receive buffer also listens on the same port on all
/// interfaces. Write queues and raises 8003 when not open, 8004 with the count stored when
/// the buffer is full. Flush raises 8003 when a datagram fails, 8004 with the bytes sent
/// when one is cut short. Read raises 8001 without a receive buffer or on a socket error,
/// 8002 with the count when no further datagram is there.
class KUDPSocket : public KSocket {
public:
    /// The largest payload of an IPv4 datagram.
    static constexpr size_t kMaxPacketSize = 65507;

    /// `packetSize` is kept within 1 and kMaxPacketSize. The receive buffer exists only when
    /// `receiveSize` is above 0 and there is an output buffer.
    KUDPSocket(KNetwork& network, size_t outputBufferSize, size_t packetSize, size_t receiveSize);
    ~KUDPSocket() override;

    bool IsMine(int portCode) const override;
    std::unique_ptr<KStream> Clone() const override;
    /// Output buffer, socket and remote end present.
    bool IsOpen() override;
    bool Open(KStringView spec) override;
    void Close() override;
    void Read(uint8_t* buffer, size_t count) override;
    void Write(const uint8_t* buffer, size_t count) override;
    void PurgeInput() override;
    void Flush() override;
    /// The socket when it receives; -1 for a stream that only sends (nobody reads it).
    int PollDescriptor() const override;
    /// Closes the socket and forgets the remote end.
    void CloseSocket() override;

    uint32_t RemoteAddress() const { return m_remoteAddress; }
    uint16_t RemotePort() const { return m_remotePort; }
    size_t PacketSize() const { return m_packetSize; }
    size_t ReceiveBufferSize() const { return m_receive.size(); }

private:
    size_t m_packetSize;
    uint32_t m_remoteAddress = 0;
    uint16_t m_remotePort = 0;
    std::vector<uint8_t> m_receive;  // the last datagram
    size_t m_receiveFill = 0;
    size_t m_receivePos = 0;
};
