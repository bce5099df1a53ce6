#pragma once

// TCP streams: the connect kind (port code -1) dials a server and redials when the
// connection breaks; the listen kind (-2) serves one client at a time, the newest.

#include <cstdint>

#include "ports/KSocket.h"

/// Every IsOpen, Read and Write first polls the connection without waiting: it takes a
/// waiting client (listen kind; the newest replaces the one being served), notices a
/// finished connect, a closed peer or a broken socket, and then redials (connect kind with
/// auto-reconnect) or drops the connection. Redialling goes at the pace of the polls.
///
/// Read raises 8001 when not connected, when the peer closed or on a socket error, 8002
/// with the count when fewer bytes than asked for are there. Write and Flush raise 8003 when
/// not connected or when the send fails, 8004 with the count when the system took fewer
/// bytes (the rest is dropped: a send never waits for a slow or vanished peer).
class KTCPSocket : public KSocket {
public:
    enum class State { None = 0, Connecting = 1, Connected = 2 };

    /// Bytes read from the system at once, so that reading a character at a time stays cheap.
    static constexpr size_t kReadBufferSize = 4096;

    /// Blocking connect off, auto-reconnect on, accept on, no-delay off.
    KTCPSocket(KNetwork& network, size_t outputBufferSize);
    ~KTCPSocket() override;

    bool IsMine(int portCode) const override;
    std::unique_ptr<KStream> Clone() const override;
    /// Polls; true when connected.
    bool IsOpen() override;
    /// Connects (code -1: address and port needed) or listens (code -2: port needed, an
    /// unreadable address means all interfaces). False without a network, on a bad
    /// specification, or when connecting fails without auto-reconnect or listening fails.
    bool Open(KStringView spec) override;
    /// Closes the listening socket, then the data socket.
    void Close() override;
    void Read(uint8_t* buffer, size_t count) override;
    /// Without an output buffer sends at once; with one, queues and sends whenever it fills.
    void Write(const uint8_t* buffer, size_t count) override;
    void PurgeInput() override;
    void Flush() override;
    /// The data socket, or the listening socket while no client is served.
    int PollDescriptor() const override;
    /// Closes the data socket: state None, no remote end (the listening socket stays).
    void CloseSocket() override;

    bool Connect(uint32_t address, uint16_t port);
    bool Listen(uint32_t address, uint16_t port);

    /// Sets TCP_NODELAY on the data socket when the flag changes.
    void SetNoDelay(bool on);
    void SetAutoReconnect(bool on) { m_autoReconnect = on; }
    /// On: Open and every redial wait in the system until the connect succeeds or fails,
    /// which for a host that does not answer takes minutes. Sources and scoreboards leave it off.
    void SetBlockingConnect(bool on) { m_blockingConnect = on; }
    void SetAccept(bool on) { m_accept = on; }
    bool NoDelay() const { return m_noDelay; }
    bool AutoReconnect() const { return m_autoReconnect; }
    bool BlockingConnect() const { return m_blockingConnect; }
    bool Accepts() const { return m_accept; }

    State GetState() const { return m_state; }
    uint32_t RemoteAddress() const { return m_remoteAddress; }
    uint16_t RemotePort() const { return m_remotePort; }
    bool IsListening() const { return m_listener.IsValid(); }
    /// The port the listening socket is bound to (what port 0 became); 0 when not listening.
    uint16_t ListenPort() const;

private:
    /// The poll of every IsOpen, Read and Write; true when connected.
    bool Poll();
    void AcceptWaiting();
    bool IsBroken();
    /// Creates the data socket and starts connecting to the remote end.
    bool StartConnect();
    void ApplyNoDelay();
    /// Closes the data socket, keeping the remote end for a reconnect.
    void DropConnection();
    void SendNow(const uint8_t* bytes, size_t count);

    State m_state = State::None;
    bool m_noDelay = false;
    bool m_autoReconnect = true;
    bool m_blockingConnect = false;
    bool m_accept = true;
    uint32_t m_remoteAddress = 0;
    uint16_t m_remotePort = 0;
    KSocketHandle m_listener;

    uint8_t m_readBuffer[kReadBufferSize] = {};
    size_t m_readFill = 0;
    size_t m_readPos = 0;
};
