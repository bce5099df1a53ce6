#pragma once

// Where the monitor listens: a port specification opened for reading, as a board would be
// connected.

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

#include "ToolPort.h"
#include "ports/KNetwork.h"
#include "ports/KSerialPortList.h"
#include "ports/KStream.h"

/// The port cannot be opened; the text says why, for the user.
using BoardPortError = ToolPortError;

class BoardPort {
public:
    /// Opens `spec`: TCP listen (-2; port 0 takes any free port), TCP connect (-1), UDP (-3,
    /// receiving on the port), or a COM port whose number stands for the device of Kestrun's
    /// default table; a device path may stand in place of the number ("/dev/pts/3,9600").
    /// Throws BoardPortError.
    explicit BoardPort(const std::string& spec);
    ~BoardPort();
    BoardPort(const BoardPort&) = delete;
    BoardPort& operator=(const BoardPort&) = delete;

    /// "TCP listening on 0.0.0.0:1024", "COM1 (/dev/ttyS0)" ...
    const std::string& Name() const { return m_name; }
    /// TCP: whether a peer is connected now (this also takes a waiting client or redials).
    /// Other kinds are always connected.
    bool IsConnected();
    /// TCP: the board's data come only while a peer is connected.
    bool NeedsPeer() const { return m_tcp; }
    /// Appends what has arrived, at most `max` bytes; a broken connection reads nothing.
    void Read(std::string& bytes, size_t max);
    /// Waits up to `wait` for data to arrive; true when the port says it is readable (or hung up).
    bool Wait(std::chrono::milliseconds wait);

private:
    KNetwork m_network;
    KSerialPortList m_serialPorts;
    std::unique_ptr<KStream> m_stream;
    std::string m_name;
    bool m_tcp = false;
};
