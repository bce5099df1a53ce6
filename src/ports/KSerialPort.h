#pragma once

// COM ports on POSIX ttys: one reader and one writer may share a port, writes never block
// the caller, and a "Refresh time" re-sends the last block on a periodic thread.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/KPeriodicTask.h"
#include "ports/KPortSpec.h"
#include "ports/KStream.h"

class KSerialPortList;

/// Bits of a serial stream's user mode, fixed at construction.
namespace KSerialUserMode {
inline constexpr int kRead = 1;
inline constexpr int kWrite = 2;
inline constexpr int kDrivesDtr = 4;
inline constexpr int kDrivesRts = 8;
}  // namespace KSerialUserMode

/// Serves every port code above 0. Used by one owning thread at a time; its only other
/// thread is its own repetition thread. Read raises 5001 when not open for reading or when
/// the device failed (the errno as subcode), 5002 with the bytes delivered when the read
/// timeout passes first. Write raises 5003 when not open for writing or when a
/// transmission cannot start (errno), 5004 when the previous block is still in progress and
/// the write timeout is 0 or has passed.
class KSerialPort : public KStream, public KPeriodicTask {
public:
    class KSerialPortInfo;

    static constexpr size_t kReadBufferSize = 128;

    /// `ports` must outlive the stream. `inputQueueSize` is kept for clones only: a tty's
    /// input buffer is the kernel's. `outputBufferSize` 0 sends each Write at once.
    KSerialPort(KSerialPortList& ports, int userMode, int inputQueueSize, size_t outputBufferSize);
    ~KSerialPort() override;

    bool IsMine(int portCode) const override;
    std::unique_ptr<KStream> Clone() const override;
    bool IsOpen() override;
    /// OpenPort(field 0), SetParams(fields 1 to 4) and the repetition of field 5; true only
    /// when all three succeed.
    bool Open(KStringView spec) override;
    void Close() override;
    void Read(uint8_t* buffer, size_t count) override;
    void Write(const uint8_t* buffer, size_t count) override;
    void PurgeInput() override;
    void Flush() override;
    bool IsWriteReady() override;
    void WaitWriteDone() override;
    void ResetOutput() override;
    /// The device while open for reading.
    int PollDescriptor() const override;

    /// Opens COM `number` from the port list (keeping the device when this stream has it
    /// open already and it did not fail). False when the number is not listed, the port
    /// already has a user of this stream's read or write kind, or the device does not open.
    virtual bool OpenPort(int number);
    /// 0 when closed.
    virtual int PortNumber() const;
    virtual bool SetParams(uint32_t baud, int dataBits, int parity, int stopBits);
    /// Need the user mode's DTR (or RTS) bit; false without it or when the device has no
    /// such line.
    virtual bool SetDTR(bool on);
    virtual bool SetRTS(bool on);
    virtual bool SetDTRRTS(bool dtr, bool rts);
    /// False when closed or when the status cannot be read.
    virtual bool GetCTS();
    virtual bool GetDSR();
    /// True when unread bytes are there, waiting up to the read timeout for some.
    virtual bool FillReadBuffer();
    virtual bool IsWriteBusy();
    /// Starts sending a block; raises 5003 when it cannot start.
    virtual void WriteRaw(const uint8_t* buffer, size_t count);

    /// Stops the repetition, then (period 1 ms or more, stream open) re-sends the last flushed
    /// block every `period` ms until a newer one replaces it.
    bool StartRepeat(int period, int priority = 1);
    int UserMode() const { return m_userMode; }

protected:
    void Tick(uint32_t now) override;
    KSerialPortList& Ports() const { return m_ports; }
    int InputQueueSize() const { return m_inputQueueSize; }
    size_t OutputBufferSize() const { return m_outputBufferSize; }

private:
    void StopRepeat();
    bool IsRepeating() const;
    bool OnRepeatThread() const;
    bool SetDriven(int modeBit, int line, bool on);
    std::optional<bool> Status(int line);

    KSerialPortList& m_ports;
    const int m_userMode;
    const int m_inputQueueSize;
    const size_t m_outputBufferSize;
    std::shared_ptr<KSerialPortInfo> m_info;  // the open port, or null

    uint8_t m_readBuffer[kReadBufferSize] = {};
    size_t m_readFill = 0;
    size_t m_readPos = 0;
    int m_readError = 0;  // errno of a failed device read, until the next refill

    // Guards the output buffer, its fill, the pending flag and the repeat state: the owning
    // thread and the repetition thread meet here. A block is pending from a Flush until the
    // repetition thread takes it; meanwhile the owner does not touch the buffer.
    mutable std::mutex m_outputMutex;
    std::vector<uint8_t> m_output;
    size_t m_outputFill = 0;
    bool m_pending = false;
    bool m_repeating = false;
    std::vector<uint8_t> m_repeat;  // the last flushed block; the repetition thread's alone
    size_t m_repeatLength = 0;
};

/// One per COM port found at start, shared by the streams that use it (one reader, one
/// writer at most). The device is open while some stream uses it.
class KSerialPort::KSerialPortInfo {
public:
    KSerialPortInfo(int number, std::string devicePath);
    ~KSerialPortInfo();

    KSerialPortInfo(const KSerialPortInfo&) = delete;
    KSerialPortInfo& operator=(const KSerialPortInfo&) = delete;

    int Number() const { return m_number; }
    const std::string& DevicePath() const { return m_devicePath; }
    /// The union of the user modes of the streams that have the port open.
    int UsersModes() const;
    bool IsDeviceOpen() const;

private:
    friend class KSerialPort;

    /// Adds `mode` to the users; opens the device for the first user, or again when it
    /// failed. False (nothing changed) when a bit of `mode` is taken or the device does not open.
    bool Attach(int mode);
    /// Removes `mode`; the last user closes the device.
    void Detach(int mode);
    void MarkFailed();
    bool HasFailed() const;
    /// Sends what the kernel takes now and leaves the rest to the writer thread. Throws 5003.
    void StartWrite(const uint8_t* buffer, size_t count);
    bool IsWriteBusy() const;
    void CloseDevice();
    void RunWriter();

    const int m_number;
    const std::string m_devicePath;

    // Guards the users' modes and the device descriptor. The descriptor stays valid while
    // any user holds the port, so reads and writes need no lock. Taken before m_writeMutex.
    mutable std::mutex m_mutex;
    int m_usersModes = 0;
    int m_fd = -1;
    // Set by whichever thread sees the device fail; a new attach reopens it.
    std::atomic<bool> m_failed = false;

    // Guards the bytes of the transmission in progress; busy while any remain. The writer
    // thread exists from the first transmission the kernel did not take at once until the
    // device closes.
    mutable std::mutex m_writeMutex;
    std::condition_variable m_writeWake;
    std::vector<uint8_t> m_outgoing;
    bool m_stopWriter = false;
    std::thread m_writer;
};
