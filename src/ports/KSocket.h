#pragma once

// What TCP and UDP streams share: the data socket, its blocking mode, the send buffer size
// rule, the output buffer and time-limited waits.

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "ports/KStream.h"

class KNetwork;

/// Network errors; they have no texts of their own.
namespace KNetworkError {
/// A receive failed: not connected, peer closed, socket error, UDP without receive buffer.
inline constexpr int kReceive = 8001;
/// A receive brought fewer bytes than asked for; carries the count delivered.
inline constexpr int kReceiveShort = 8002;
/// A send failed, or the stream is not open or has no buffer.
inline constexpr int kSend = 8003;
/// A send or a buffer copy moved fewer bytes than asked for; carries the count.
inline constexpr int kSendShort = 8004;
}  // namespace KNetworkError

/// An IPv4 socket address from a host-order address and port.
sockaddr_in MakeSocketAddress(uint32_t address, uint16_t port);

/// A socket descriptor that closes itself; move-only. Closing is never retried.
class KSocketHandle {
public:
    KSocketHandle() = default;
    explicit KSocketHandle(int fd) : m_fd(fd) {}
    ~KSocketHandle() { Reset(); }
    KSocketHandle(KSocketHandle&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    KSocketHandle& operator=(KSocketHandle&& other) noexcept;
    KSocketHandle(const KSocketHandle&) = delete;
    KSocketHandle& operator=(const KSocketHandle&) = delete;

    int Get() const { return m_fd; }
    bool IsValid() const { return m_fd >= 0; }
    void Reset(int fd = -1);

private:
    int m_fd = -1;
};

/// The base of the network streams. Data sockets are non-blocking and close-on-exec, and
/// sends never raise SIGPIPE. A stream is used by one thread at a time; it refers to the
/// process's KNetwork, which must outlive it.
class KSocket : public KStream {
public:
    /// `outputBufferSize` greater than 0 gives an output buffer of that size, which is also
    /// the send buffer size asked of the system; 0 leaves both out.
    KSocket(KNetwork& network, size_t outputBufferSize);
    ~KSocket() override;

    void ResetOutput() override;
    /// Whether the data socket would take bytes now; never waits.
    bool IsWriteReady() override;
    /// The data socket.
    int PollDescriptor() const override;

    /// Closes the data socket and forgets the remote end.
    virtual void CloseSocket();

    /// Stores the send buffer size and applies it to the data socket; negative leaves the
    /// system's size alone. The size is only ever raised.
    void SetSendBufferSize(int bytes);
    int SendBufferSize() const { return m_sendBufferSize; }
    /// A new or closed stream counts as blocking.
    bool IsBlocking() const { return m_blocking; }
    size_t OutputBufferSize() const { return m_output.size(); }
    size_t QueuedCount() const { return m_outputFill; }

protected:
    /// What SendTimed and ReceiveTimed return when the socket was not ready in time.
    static constexpr ptrdiff_t kNotReady = -2;

    /// A socket of `type` (SOCK_STREAM, SOCK_DGRAM), non-blocking and close-on-exec; -1 on
    /// failure.
    static int CreateSocket(int type);

    KNetwork& Network() const { return m_network; }
    int Socket() const { return m_socket.Get(); }
    bool HasSocket() const { return m_socket.IsValid(); }
    /// Makes `fd` the data socket (closing the old one); it is recorded as non-blocking, as
    /// every socket is created.
    void AdoptSocket(int fd);
    void ReleaseSocket();
    /// Switches the data socket only when `blocking` differs from the recorded mode.
    bool SetBlocking(bool blocking);
    void ApplySendBufferSize();
    /// True when the data socket is ready for `events` (POLLIN, POLLOUT) within `timeoutMs`
    /// (0: look without waiting). Error and hang-up count as ready: the call that follows
    /// reports them.
    bool WaitReady(short events, int timeoutMs) const;
    /// One send of the data socket within the write timeout (to `to` when given): the count
    /// sent, kNotReady, or -1 with errno. Never waits longer, never raises SIGPIPE.
    ptrdiff_t SendTimed(const uint8_t* bytes, size_t count, const sockaddr_in* to = nullptr);
    /// One receive within the read timeout: the count (0: the peer closed, or an empty
    /// datagram), kNotReady, or -1 with errno.
    ptrdiff_t ReceiveTimed(uint8_t* buffer, size_t count);
    /// Reports a receive that brought `done` of the bytes asked for: the read observer sees
    /// them, then 8001 (with `error`, an errno or -1) when nothing came and something failed,
    /// else 8002 with `done`.
    [[noreturn]] void FailReceive(const uint8_t* buffer, size_t done, int error) const;
    /// Copies what fits; the count copied.
    size_t Queue(const uint8_t* bytes, size_t count);
    /// The queued bytes, leaving the queue empty; valid until the next Queue.
    std::pair<const uint8_t*, size_t> TakeQueued();
    /// The settings of a socket stream that a clone takes over.
    void CopySocketSettingsTo(KSocket& target) const;

private:
    KNetwork& m_network;
    KSocketHandle m_socket;
    bool m_blocking = true;
    int m_sendBufferSize = -1;
    std::vector<uint8_t> m_output;
    size_t m_outputFill = 0;
};
