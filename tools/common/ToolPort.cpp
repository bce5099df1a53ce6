#include "ToolPort.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ports/KPortSpec.h"
#include "ports/KSerialDevice.h"
#include "settings/KDefaultSettings.h"
#include "settings/KRegistry.h"

namespace {

// Why a device that would not open as a port failed, in the user's terms.
std::string SerialFailure(const std::string& path) {
    const int fd = OpenSerialDevice(path);
    if (fd >= 0) {
        ::close(fd);
        return "its settings are not supported";
    }
    const int error = errno;
    if (error == EBUSY) return "it is in use";
    if (error == ENOTTY) return "it is not a serial device";
    if (error == EACCES) return std::string(std::strerror(error)) + " (is your user in the dialout group?)";
    return std::strerror(error);
}

}  // namespace

bool NamesSerialPort(const KString& spec) {
    return (!spec.empty() && spec.front() == u'/') || KPortCode::IsLocal(ReadPortCode(spec));
}

std::unique_ptr<KSerialPort> OpenToolSerialPort(KString spec, KSerialPortList& ports, int userMode,
                                                size_t bufferSize, std::string& name) {
    std::string path;
    int number = 1;
    if (!spec.empty() && spec.front() == u'/') {
        // A device path becomes COM1 of a list of our own.
        const size_t comma = spec.find(u',');
        path = ToUtf8(spec.substr(0, comma));
        spec = u"1" + (comma == KString::npos ? KString() : spec.substr(comma));
    } else {
        number = ReadPortCode(spec);
        KRegistry defaults;
        LoadDefaults(defaults);
        path = KSerialPortList::DevicePath(defaults, number);
        if (path.empty()) throw ToolPortError("COM" + std::to_string(number) + " has no device; give a path");
    }
    ports.Add(number, path);
    name = "COM" + std::to_string(number) + " (" + path + ")";
    auto port = std::make_unique<KSerialPort>(ports, userMode, bufferSize, 0);
    if (!port->Open(spec)) throw ToolPortError("cannot open " + name + ": " + SerialFailure(path));
    return port;
}

void StartToolNetwork(KNetwork& network) {
    if (!network.Start() && !network.Start("localhost"))
        throw ToolPortError("the network is not available (the host name does not resolve)");
}
