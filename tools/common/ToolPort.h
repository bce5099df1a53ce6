#pragma once

// The port a rehearsal tool's command line names, opened the way Kestrun would open it.

#include <memory>
#include <stdexcept>
#include <string>

#include "foundation/KString.h"
#include "ports/KNetwork.h"
#include "ports/KSerialPort.h"
#include "ports/KSerialPortList.h"

/// The port cannot be opened or stopped working; the text says why, for the user.
class ToolPortError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Whether `spec` names a serial port: a COM number, or a device path in its place.
bool NamesSerialPort(const KString& spec);

/// Opens the serial port `spec` names on `ports` with `userMode` (KSerialUserMode bits): a COM number stands
/// for the device of Kestrun's default table (1 is /dev/ttyS0), a device path may stand in place of the
/// number
/// ("/dev/pts/3,9600,8,N,1.0"). `name` becomes "COM1 (/dev/ttyS0)". Throws ToolPortError.
std::unique_ptr<KSerialPort> OpenToolSerialPort(KString spec, KSerialPortList& ports, int userMode,
                                                size_t bufferSize, std::string& name);

/// Starts `network`; the loopback is enough for a rehearsal on one machine even where the host
/// name does not resolve. Throws ToolPortError.
void StartToolNetwork(KNetwork& network);
