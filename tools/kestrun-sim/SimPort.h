#pragma once

// Where the simulator sends: a port specification opened as a stream, and sending that gets
// every byte through or says why not.

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

#include "ToolPort.h"
#include "foundation/KString.h"
#include "ports/KNetwork.h"
#include "ports/KSerialPortList.h"
#include "ports/KStream.h"

/// The port cannot be opened or stopped taking data; the text says why, for the user.
using SimPortError = ToolPortError;

class SimPort {
public:
    using Clock = std::chrono::steady_clock;

    /// Opens `spec`: a TCP connect (-1), TCP listen (-2) or UDP (-3) port, or a COM port whose
    /// number stands for the device of Kestrun's default table (1 is /dev/ttyS0); a device path
    /// may stand in place of the number ("/dev/pts/3,9600,8,N,1.0"). Throws SimPortError.
    explicit SimPort(const std::string& spec);
    ~SimPort();
    SimPort(const SimPort&) = delete;
    SimPort& operator=(const SimPort&) = delete;

    /// "TCP 127.0.0.1:1025", "COM1 (/dev/ttyS0)" ...
    const std::string& Name() const { return m_name; }
    /// TCP kinds: whether a peer is connected now (listening, this also takes a waiting client).
    bool IsConnected();
    bool NeedsPeer() const { return m_needsPeer; }
    /// Waits until a peer is connected; false when `wait` passed first.
    bool WaitConnected(Clock::duration wait);
    /// Sends every byte. A TCP connection that breaks is waited for again (up to `wait`) and the
    /// bytes are sent afresh: receivers close a cut message at the next one's ETX. Throws
    /// SimPortError when the peer stays away or the port takes nothing for `wait`.
    void Send(const std::string& bytes, Clock::duration wait);

    KStream& Stream() { return *m_stream; }

private:
    /// False when the connection broke.
    bool TrySend(const std::string& bytes, Clock::duration wait);

    KNetwork m_network;
    KSerialPortList m_serialPorts;
    std::unique_ptr<KStream> m_stream;
    std::string m_name;
    bool m_needsPeer = false;
};
