#pragma once

// The COM ports found at start, and the device path each COM number stands for.

#include <memory>
#include <string>
#include <vector>

#include "foundation/KString.h"
#include "ports/KSerialPort.h"

class KRGroup;

/// Built once at start by Enumerate (or not at all with "-noserialport") and only read
/// afterwards; the application owns it for the whole run, and streams refer to it.
class KSerialPortList {
public:
    /// `General\SerialPorts\COM<n>` holds the device path of COM n.
    static constexpr KStringView kDeviceGroup = u"General\\SerialPorts\\";

    /// "COM<n>" key's value; empty when the key is missing.
    static std::string DevicePath(KRGroup& settings, int number);

    /// Probes COM1, COM2 ... through their device paths: a device that opens (and is not in
    /// use) is listed and closed again. COM1 to COM10 are always probed, higher numbers while
    /// they keep opening, COM255 at most. Replaces any earlier list.
    void Enumerate(KRGroup& settings);
    /// Lists `number` with `devicePath` without probing (for a caller that knows its ports).
    void Add(int number, std::string devicePath);

    size_t PortCount() const { return m_ports.size(); }
    /// 0 past the end.
    int PortNumberAt(size_t index) const;
    /// -1 when absent.
    int IndexOfPort(int number) const;
    /// Null when absent.
    std::shared_ptr<KSerialPort::KSerialPortInfo> Find(int number) const;
    /// "Serial ports: COM1 /dev/ttyS0, COM5 /dev/ttyUSB0", or "Serial ports: none", for
    /// the activity log.
    KString Describe() const;

private:
    std::vector<std::shared_ptr<KSerialPort::KSerialPortInfo>> m_ports;  // ascending numbers
};
