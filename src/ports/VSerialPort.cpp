#include "ports/VSerialPort.h"

std::unique_ptr<KStream> VSerialPort::Clone() const {
    auto stream = std::make_unique<VSerialPort>(Ports(), UserMode(), InputQueueSize(), OutputBufferSize());
    CopySettingsTo(*stream);
    return stream;
}

bool VSerialPort::OpenPort(int number) {
    if (number >= KPortCode::kFirstPseudo) {
        // Whatever was open is released: a scoreboard moved to a pseudo-port must stop
        // writing to its old device.
        Close();
        return false;
    }
    return KSerialPort::OpenPort(number);
}
