#include "ports/KSerialPort.h"

#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "foundation/KError.h"
#include "ports/KSerialDevice.h"
#include "ports/KSerialPortList.h"

namespace {

using Clock = std::chrono::steady_clock;

// The port whose repetition thread this is; set by every Tick on that thread.
thread_local const KSerialPort* t_repeatingPort = nullptr;

// How long the writer thread waits for the device at a time, so a close is never held up longer.
constexpr int kWriterPollMs = 50;
// A flood of input cannot keep PurgeInput going for ever.
constexpr int kPurgeRefills = 4096;

}  // namespace

// ---- KSerialPortInfo ----

KSerialPort::KSerialPortInfo::KSerialPortInfo(int number, std::string devicePath)
    : m_number(number), m_devicePath(std::move(devicePath)) {}

KSerialPort::KSerialPortInfo::~KSerialPortInfo() {
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0) CloseDevice();
}

int KSerialPort::KSerialPortInfo::UsersModes() const {
    std::lock_guard lock(m_mutex);
    return m_usersModes;
}

bool KSerialPort::KSerialPortInfo::IsDeviceOpen() const {
    std::lock_guard lock(m_mutex);
    return m_fd >= 0;
}

bool KSerialPort::KSerialPortInfo::Attach(int mode) {
    std::lock_guard lock(m_mutex);
    if ((m_usersModes & mode) != 0) return false;
    if (m_fd >= 0 && m_failed) {
        // A device that failed (an adapter unplugged and plugged back) is opened afresh in
        // the same descriptor, so a stream sharing it keeps working. Our own lock must not
        // refuse the new open.
        (void)::flock(m_fd, LOCK_UN);
        (void)::ioctl(m_fd, TIOCNXCL);
        const int fd = OpenSerialDevice(m_devicePath);
        if (fd < 0) return false;
        ::dup2(fd, m_fd);
        ::close(fd);
        m_failed = false;
    } else if (m_fd < 0) {
        m_fd = OpenSerialDevice(m_devicePath);
        if (m_fd < 0) return false;
        m_failed = false;
    }
    m_usersModes |= mode;
    return true;
}

void KSerialPort::KSerialPortInfo::Detach(int mode) {
    std::lock_guard lock(m_mutex);
    m_usersModes &= ~mode;
    if (m_usersModes == 0 && m_fd >= 0) CloseDevice();
}

void KSerialPort::KSerialPortInfo::MarkFailed() { m_failed = true; }

bool KSerialPort::KSerialPortInfo::HasFailed() const { return m_failed; }

void KSerialPort::KSerialPortInfo::CloseDevice() {
    {
        std::lock_guard lock(m_writeMutex);
        m_stopWriter = true;
    }
    m_writeWake.notify_all();
    if (m_writer.joinable()) m_writer.join();
    {
        std::lock_guard lock(m_writeMutex);
        m_stopWriter = false;
        m_outgoing.clear();
    }
    ::close(m_fd);
    m_fd = -1;
    m_failed = false;
}

void KSerialPort::KSerialPortInfo::StartWrite(const uint8_t* buffer, size_t count) {
    std::lock_guard lock(m_writeMutex);
    if (!m_outgoing.empty()) {
        // Behind the block in progress; callers wait for it before each Write, so this
        // queue never holds more than about two output buffers.
        m_outgoing.insert(m_outgoing.end(), buffer, buffer + count);
        return;
    }
    size_t sent = 0;
    while (sent < count) {
        const ssize_t n = ::write(m_fd, buffer + sent, count - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            break;
        } else if (n < 0 && errno != EINTR) {
            m_failed = true;
            throw KError(KErrorCode::kSerialTransmit, errno);
        }
    }
    if (sent == count) return;
    m_outgoing.assign(buffer + sent, buffer + count);
    if (!m_writer.joinable()) m_writer = std::thread(&KSerialPortInfo::RunWriter, this);
    m_writeWake.notify_all();
}

bool KSerialPort::KSerialPortInfo::IsWriteBusy() const {
    std::lock_guard lock(m_writeMutex);
    return !m_outgoing.empty();
}

void KSerialPort::KSerialPortInfo::RunWriter() {
    // m_fd does not change while the device is open, and this thread ends before it closes.
    const int fd = m_fd;
    std::unique_lock lock(m_writeMutex);
    while (!m_stopWriter) {
        if (m_outgoing.empty()) {
            m_writeWake.wait(lock);
            continue;
        }
        lock.unlock();
        pollfd ready{fd, POLLOUT, 0};
        const int polled = ::poll(&ready, 1, kWriterPollMs);
        const int pollError = errno;
        lock.lock();
        if (m_stopWriter || polled == 0 || (polled < 0 && pollError == EINTR)) continue;
        bool failed = polled < 0 || (ready.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
        if (!failed) {
            const ssize_t n = ::write(fd, m_outgoing.data(), m_outgoing.size());
            if (n > 0) m_outgoing.erase(m_outgoing.begin(), m_outgoing.begin() + n);
            failed = n < 0 && errno != EAGAIN && errno != EINTR;
        }
        if (failed) {
            // The device is gone: what it did not take is lost, and the next write reports it.
            m_failed = true;
            m_outgoing.clear();
        }
    }
}

// ---- KSerialPort ----

KSerialPort::KSerialPort(KSerialPortList& ports, int userMode, int inputQueueSize, size_t outputBufferSize)
    : m_ports(ports),
      m_userMode(userMode),
      m_inputQueueSize(inputQueueSize),
      m_outputBufferSize(outputBufferSize),
      m_output(outputBufferSize) {}

KSerialPort::~KSerialPort() { KSerialPort::Close(); }

bool KSerialPort::IsMine(int portCode) const { return portCode > 0; }

std::unique_ptr<KStream> KSerialPort::Clone() const {
    auto stream = std::make_unique<KSerialPort>(m_ports, m_userMode, m_inputQueueSize, m_outputBufferSize);
    CopySettingsTo(*stream);
    return stream;
}

bool KSerialPort::IsOpen() { return m_info != nullptr; }

bool KSerialPort::Open(KStringView spec) {
    if (!OpenPort(ReadPortCode(spec))) return false;
    KSerialSpec serial;
    ReadSerialSpec(spec, serial);
    const bool configured = SetParams(serial.baud, serial.dataBits, serial.parity, serial.stopBits);
    const bool repeating = StartRepeat(serial.repeatPeriod);
    return configured && repeating;
}

bool KSerialPort::OpenPort(int number) {
    if (m_info != nullptr && m_info->Number() == number && !m_info->HasFailed()) return true;
    if (m_info != nullptr) Close();
    std::shared_ptr<KSerialPortInfo> info = m_ports.Find(number);
    if (info == nullptr || !info->Attach(m_userMode)) return false;
    m_info = std::move(info);
    m_readFill = m_readPos = 0;
    m_readError = 0;
    ResetOutput();
    return true;
}

void KSerialPort::Close() {
    StopRepeat();
    if (m_info != nullptr) {
        // Closing the device drops what it has not taken yet (the end of a simulated race, a
        // board's last page): that gets the write timeout to go out, as one more Write would.
        if ((m_userMode & KSerialUserMode::kWrite) != 0 && WriteTimeout() > 0) {
            try {
                WaitWriteDone();
            } catch (const KError&) {
                // A stalled device loses it; closing must not wait longer.
            }
        }
        m_info->Detach(m_userMode);
        m_info.reset();
    }
    m_readFill = m_readPos = 0;
    m_readError = 0;
    ResetOutput();
    KStream::Close();
}

int KSerialPort::PortNumber() const { return m_info != nullptr ? m_info->Number() : 0; }

int KSerialPort::PollDescriptor() const {
    return m_info != nullptr && (m_userMode & KSerialUserMode::kRead) != 0 ? m_info->m_fd : -1;
}

bool KSerialPort::SetParams(uint32_t baud, int dataBits, int parity, int stopBits) {
    if (m_info == nullptr) return false;
    KSerialSpec spec;
    spec.baud = baud;
    spec.dataBits = dataBits;
    spec.parity = parity;
    spec.stopBits = stopBits;
    // Reader and writer may configure the shared device from two threads.
    std::lock_guard lock(m_info->m_mutex);
    const bool applied = ApplySerialParams(m_info->m_fd, spec);
    // A line that no user drives is on while the port is open; a tty without modem lines
    // (a pseudo-terminal) has nothing to set.
    if ((m_info->m_usersModes & KSerialUserMode::kDrivesDtr) == 0)
        (void)SetModemLine(m_info->m_fd, TIOCM_DTR, true);
    if ((m_info->m_usersModes & KSerialUserMode::kDrivesRts) == 0)
        (void)SetModemLine(m_info->m_fd, TIOCM_RTS, true);
    return applied;
}

bool KSerialPort::SetDriven(int modeBit, int line, bool on) {
    if (m_info == nullptr || (m_userMode & modeBit) == 0) return false;
    return SetModemLine(m_info->m_fd, line, on);
}

bool KSerialPort::SetDTR(bool on) { return SetDriven(KSerialUserMode::kDrivesDtr, TIOCM_DTR, on); }

bool KSerialPort::SetRTS(bool on) { return SetDriven(KSerialUserMode::kDrivesRts, TIOCM_RTS, on); }

bool KSerialPort::SetDTRRTS(bool dtr, bool rts) {
    constexpr int kBoth = KSerialUserMode::kDrivesDtr | KSerialUserMode::kDrivesRts;
    if (m_info == nullptr || (m_userMode & kBoth) != kBoth) return false;
    const auto currentDtr = ModemLine(m_info->m_fd, TIOCM_DTR);
    const auto currentRts = ModemLine(m_info->m_fd, TIOCM_RTS);
    if (!currentDtr || !currentRts) return false;
    bool ok = true;
    if (*currentDtr != dtr) ok = SetModemLine(m_info->m_fd, TIOCM_DTR, dtr);
    if (*currentRts != rts) ok = SetModemLine(m_info->m_fd, TIOCM_RTS, rts) && ok;
    return ok;
}

std::optional<bool> KSerialPort::Status(int line) {
    if (m_info == nullptr) return std::nullopt;
    return ModemLine(m_info->m_fd, line);
}

bool KSerialPort::GetCTS() { return Status(TIOCM_CTS).value_or(false); }

bool KSerialPort::GetDSR() { return Status(TIOCM_DSR).value_or(false); }

bool KSerialPort::FillReadBuffer() {
    if (m_readPos < m_readFill) return true;
    if (m_info == nullptr || (m_userMode & KSerialUserMode::kRead) == 0) return false;
    m_readFill = m_readPos = 0;
    m_readError = 0;
    const int fd = m_info->m_fd;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(ReadTimeout(), 0));
    while (true) {
        const ssize_t n = ::read(fd, m_readBuffer, kReadBufferSize);
        if (n > 0) {
            m_readFill = static_cast<size_t>(n);
            return true;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || errno != EAGAIN) {
            // 0 bytes is a hang-up: the device is gone (an adapter unplugged).
            m_readError = n == 0 ? EIO : errno;
            m_info->MarkFailed();
            return false;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd readable{fd, POLLIN, 0};
        (void)::poll(&readable, 1, static_cast<int>(left));
    }
}

void KSerialPort::Read(uint8_t* buffer, size_t count) {
    if (m_info == nullptr || (m_userMode & KSerialUserMode::kRead) == 0)
        throw KError(KErrorCode::kSerialReceive);
    size_t done = 0;
    while (done < count) {
        if (m_readPos == m_readFill && !FillReadBuffer()) {
            NotifyRead(buffer, done);
            if (m_readError != 0) throw KError(KErrorCode::kSerialReceive, m_readError);
            throw KError(KErrorCode::kSerialReceiveTimeout, static_cast<int>(done));
        }
        const size_t n = std::min(count - done, m_readFill - m_readPos);
        std::memcpy(buffer + done, m_readBuffer + m_readPos, n);
        m_readPos += n;
        done += n;
    }
    NotifyRead(buffer, count);
}

void KSerialPort::PurgeInput() {
    KStream::PurgeInput();
    const int timeout = ReadTimeout();
    KStream::SetReadTimeout(0);
    m_readPos = m_readFill;
    for (int i = 0; i < kPurgeRefills && FillReadBuffer(); ++i) m_readPos = m_readFill;
    KStream::SetReadTimeout(timeout);
}

void KSerialPort::Write(const uint8_t* buffer, size_t count) {
    if (m_info == nullptr || (m_userMode & KSerialUserMode::kWrite) == 0)
        throw KError(KErrorCode::kSerialTransmit);
    if (m_outputBufferSize == 0) {
        // Without an output buffer nothing could ever be queued: each Write is one block.
        WaitWriteDone();
        WriteRaw(buffer, count);
    } else {
        size_t done = 0;
        while (true) {
            WaitWriteDone();
            {
                std::lock_guard lock(m_outputMutex);
                const size_t n = std::min(count - done, m_outputBufferSize - m_outputFill);
                std::memcpy(m_output.data() + m_outputFill, buffer + done, n);
                m_outputFill += n;
                done += n;
            }
            if (done == count) break;
            Flush();
        }
    }
    NotifyWrite(buffer, count);
}

void KSerialPort::Flush() {
    std::lock_guard lock(m_outputMutex);
    if (m_outputFill == 0) return;
    if (m_repeating && !OnRepeatThread()) {
        m_pending = true;
        return;
    }
    const size_t count = m_outputFill;
    m_outputFill = 0;
    WriteRaw(m_output.data(), count);
}

void KSerialPort::WriteRaw(const uint8_t* buffer, size_t count) {
    if (m_info == nullptr) throw KError(KErrorCode::kSerialTransmit);
    if (count > 0) m_info->StartWrite(buffer, count);
}

bool KSerialPort::IsWriteBusy() {
    if (!OnRepeatThread()) {
        std::lock_guard lock(m_outputMutex);
        if (m_repeating) return m_pending;
    }
    return m_info != nullptr && m_info->IsWriteBusy();
}

bool KSerialPort::IsWriteReady() { return !IsWriteBusy(); }

void KSerialPort::WaitWriteDone() {
    if (!IsWriteBusy()) return;
    // The write timeout bounds the wait, so a device that stopped taking data cannot hang
    // its writer.
    if (WriteTimeout() <= 0) throw KError(KErrorCode::kSerialTransmitBusy);
    const auto deadline = Clock::now() + std::chrono::milliseconds(WriteTimeout());
    while (IsWriteBusy()) {
        if (Clock::now() >= deadline) throw KError(KErrorCode::kSerialTransmitBusy);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void KSerialPort::ResetOutput() {
    std::lock_guard lock(m_outputMutex);
    m_outputFill = 0;
    m_pending = false;
}

bool KSerialPort::StartRepeat(int period, int priority) {
    StopRepeat();
    if (period < 1) return true;
    if (m_info == nullptr) return false;
    {
        std::lock_guard lock(m_outputMutex);
        m_repeat.resize(m_outputBufferSize);
        m_repeatLength = 0;
        m_pending = false;
    }
    if (!Start(period, priority, kDefaultStackSize)) return false;
    {
        std::lock_guard lock(m_outputMutex);
        m_repeating = true;
    }
    Resume();
    return true;
}

void KSerialPort::StopRepeat() {
    Stop();
    std::lock_guard lock(m_outputMutex);
    m_repeating = false;
    m_pending = false;
}

bool KSerialPort::OnRepeatThread() const { return t_repeatingPort == this; }

void KSerialPort::Tick(uint32_t /*now*/) {
    t_repeatingPort = this;
    {
        std::lock_guard lock(m_outputMutex);
        if (m_pending) {
            std::memcpy(m_repeat.data(), m_output.data(), m_outputFill);
            m_repeatLength = m_outputFill;
            m_outputFill = 0;
            m_pending = false;
        }
    }
    if (m_repeatLength == 0 || IsWriteBusy()) return;
    try {
        WriteRaw(m_repeat.data(), m_repeatLength);
    } catch (const KError&) {
        // A failed device is reported to the owner at its next Write.
    }
}
