#pragma once

#include "ports/KSerialPort.h"

/// The scoreboards' serial prototype: a KSerialPort that refuses pseudo-port codes (256 and
/// above) without touching any device.
class VSerialPort : public KSerialPort {
public:
    using KSerialPort::KSerialPort;

    std::unique_ptr<KStream> Clone() const override;
    /// A pseudo-port code closes what was open and fails.
    bool OpenPort(int number) override;
};
