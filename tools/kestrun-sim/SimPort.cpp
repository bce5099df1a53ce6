#include "SimPort.h"

#include <cerrno>
#include <cstring>
#include <thread>

#include "foundation/KError.h"
#include "ports/KPortSpec.h"
#include "ports/KSerialPort.h"
#include "ports/KSocket.h"
#include "ports/KTCPSocket.h"
#include "ports/KUDPSocket.h"

namespace {

// Sent per Write; the UDP buffer holds one piece, so a Write is never cut.
constexpr size_t kPiece = 4096;
// How long one Write may wait for the port to take data before the overall wait is checked.
constexpr int kWriteTimeoutMs = 200;
constexpr auto kPollPause = std::chrono::milliseconds(20);

}  // namespace

SimPort::SimPort(const std::string& specText) {
    const KString spec = FromUtf8(specText);
    const int code = ReadPortCode(spec);
    if (NamesSerialPort(spec)) {
        m_stream = OpenToolSerialPort(spec, m_serialPorts, KSerialUserMode::kWrite, 0, m_name);
    } else if (KPortCode::IsNetwork(code)) {
        StartToolNetwork(m_network);
        const auto address = ReadIPAddress(spec);
        const auto port = ReadIPPort(spec);
        if (code != KPortCode::kNetListen && (!address || !port || *port == 0))
            throw SimPortError("'" + specText + "' needs an IP address and a port, for example " +
                               std::to_string(code) + ",127.0.0.1,1025");
        if (code == KPortCode::kNetListen && (!port || *port == 0))
            throw SimPortError("'" + specText + "' needs a port to listen on, for example -2,0.0.0.0,1025");
        const std::string where = ToUtf8(FormatIPAddress(address.value_or(0))) + ":" + std::to_string(*port);
        if (code == KPortCode::kNetUDP) {
            m_name = "UDP " + where;
            m_stream = std::make_unique<KUDPSocket>(m_network, 2 * kPiece, 1024, 0);
        } else {
            m_needsPeer = true;
            m_name = (code == KPortCode::kNetConnect ? "TCP " : "TCP listening on ") + where;
            m_stream = std::make_unique<KTCPSocket>(m_network, 0);
        }
        // A refused connect is dialled again while WaitConnected polls; only the other kinds fail here.
        if (!m_stream->Open(spec) && code != KPortCode::kNetConnect)
            throw SimPortError("cannot open " + m_name + ": " + std::strerror(errno));
    } else {
        throw SimPortError("'" + specText +
                           "' names no port: give -1,ADDRESS,PORT (TCP connect), -2,0.0.0.0,PORT (TCP "
                           "listen), -3,ADDRESS,PORT (UDP) or a COM port such as 1,9600,8,N,1.0");
    }
    m_stream->SetModes(KCharMode::SingleByte, KLineMode::None);
    m_stream->SetWriteTimeout(kWriteTimeoutMs);
}

SimPort::~SimPort() = default;

bool SimPort::IsConnected() { return !m_needsPeer || m_stream->IsOpen(); }

bool SimPort::WaitConnected(Clock::duration wait) {
    const auto deadline = Clock::now() + wait;
    while (!IsConnected()) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kPollPause);
    }
    return true;
}

void SimPort::Send(const std::string& bytes, Clock::duration wait) {
    const auto deadline = Clock::now() + wait;
    while (!TrySend(bytes, wait)) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero() || !WaitConnected(left))
            throw SimPortError("the connection to " + m_name + " broke and did not come back");
    }
}

bool SimPort::TrySend(const std::string& bytes, Clock::duration wait) {
    auto lastProgress = Clock::now();
    for (size_t done = 0; done < bytes.size();) {
        const size_t piece = std::min(kPiece, bytes.size() - done);
        try {
            m_stream->Write(reinterpret_cast<const uint8_t*>(bytes.data() + done), piece);
            m_stream->Flush();
            done += piece;
            lastProgress = Clock::now();
        } catch (const KError& error) {
            const bool partial =
                error.Code() == KNetworkError::kSendShort || error.Code() == KErrorCode::kSerialTransmitBusy;
            if (partial && error.Subcode() > 0) {
                done += std::min(static_cast<size_t>(error.Subcode()), piece);
                lastProgress = Clock::now();
            } else if (partial) {
                if (Clock::now() - lastProgress > wait)
                    throw SimPortError(
                        m_name + " took no data for " +
                        std::to_string(std::chrono::duration_cast<std::chrono::seconds>(wait).count()) +
                        " s");
            } else if (m_needsPeer && error.Code() == KNetworkError::kSend) {
                return false;
            } else {
                throw SimPortError(
                    "cannot send to " + m_name + ": " +
                    (error.Subcode() > 0 ? std::strerror(error.Subcode()) : "the port failed"));
            }
        }
    }
    return true;
}
