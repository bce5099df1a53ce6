#include "BoardPort.h"

#include <poll.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "foundation/KError.h"
#include "ports/KPortSpec.h"
#include "ports/KSerialPort.h"
#include "ports/KTCPSocket.h"
#include "ports/KUDPSocket.h"

namespace {

// Large enough for a whole page of a board in one pass, a datagram of any size.
constexpr size_t kBufferSize = 65536;
constexpr size_t kUDPPacket = 536;

}  // namespace

BoardPort::BoardPort(const std::string& specText) {
    const KString spec = FromUtf8(specText);
    const int code = ReadPortCode(spec);
    if (NamesSerialPort(spec)) {
        m_stream = OpenToolSerialPort(spec, m_serialPorts, KSerialUserMode::kRead, kBufferSize, m_name);
    } else if (KPortCode::IsNetwork(code)) {
        StartToolNetwork(m_network);
        const auto address = ReadIPAddress(spec);
        const auto port = ReadIPPort(spec);
        if (!port || (code != KPortCode::kNetListen && *port == 0) ||
            (code == KPortCode::kNetConnect && !address)) {
            const std::string example = code == KPortCode::kNetConnect
                                            ? "an IP address and a port, for example -1,127.0.0.1,1024"
                                            : "a port, for example " + std::to_string(code) + ",0.0.0.0,1024";
            throw BoardPortError("'" + specText + "' needs " + example);
        }
        std::string kind = "UDP port ";
        if (code == KPortCode::kNetUDP) {
            m_stream = std::make_unique<KUDPSocket>(m_network, kUDPPacket, kUDPPacket, kBufferSize);
        } else {
            m_tcp = true;
            m_stream = std::make_unique<KTCPSocket>(m_network, 0);
            kind = (code == KPortCode::kNetListen ? "TCP listening on " : "TCP ") +
                   ToUtf8(FormatIPAddress(address.value_or(0))) + ":";
        }
        // A refused connect is dialled again while the monitor polls; only the other kinds fail here.
        const bool opened = m_stream->Open(spec);
        const int error = errno;
        // Port 0 asks for any free port: say which one, the sender needs it.
        const uint16_t shown = opened && code == KPortCode::kNetListen
                                   ? static_cast<KTCPSocket&>(*m_stream).ListenPort()
                                   : *port;
        m_name = kind + std::to_string(shown);
        if (!opened && code != KPortCode::kNetConnect)
            throw BoardPortError("cannot open " + m_name + ": " + std::strerror(error));
    } else {
        throw BoardPortError("'" + specText +
                             "' names no port: give -2,0.0.0.0,PORT (TCP listen), -1,ADDRESS,PORT (TCP "
                             "connect), -3,0.0.0.0,PORT (UDP) or a COM port such as 1,9600,8,N,1.0");
    }
    m_stream->SetModes(KCharMode::SingleByte, KLineMode::None);
    m_stream->SetReadTimeout(0);
}

BoardPort::~BoardPort() = default;

bool BoardPort::IsConnected() { return !m_tcp || m_stream->IsOpen(); }

void BoardPort::Read(std::string& bytes, size_t max) {
    try {
        while (bytes.size() < max && m_stream->IsDataAvailable())
            bytes += static_cast<char>(m_stream->ReadChar() & 0xFF);
    } catch (const KError&) {
        // A connection that broke reads nothing; the next poll waits for the peer again.
    }
}

bool BoardPort::Wait(std::chrono::milliseconds wait) {
    pollfd descriptor{.fd = m_stream->PollDescriptor(), .events = POLLIN, .revents = 0};
    if (descriptor.fd >= 0) return ::poll(&descriptor, 1, static_cast<int>(wait.count())) > 0;
    std::this_thread::sleep_for(wait);
    return false;
}
