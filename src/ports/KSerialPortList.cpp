#include "ports/KSerialPortList.h"

#include <unistd.h>

#include <algorithm>

#include "ports/KSerialDevice.h"
#include "settings/KRGroup.h"

namespace {

// COM1 to COM10 are probed whatever happens; numbers above only while they keep opening.
constexpr int kAlwaysProbed = 10;

}  // namespace

std::string KSerialPortList::DevicePath(KRGroup& settings, int number) {
    return ToUtf8(settings.GetText(KString(kDeviceGroup) + u"COM" + ToKString(number)));
}

void KSerialPortList::Enumerate(KRGroup& settings) {
    m_ports.clear();
    for (int number = KPortCode::kFirstLocal; number <= KPortCode::kLastLocal; ++number) {
        const std::string path = DevicePath(settings, number);
        const int fd = path.empty() ? -1 : OpenSerialDevice(path);
        if (fd >= 0) {
            ::close(fd);
            Add(number, path);
        } else if (number >= kAlwaysProbed) {
            break;
        }
    }
}

void KSerialPortList::Add(int number, std::string devicePath) {
    const auto at = std::find_if(m_ports.begin(), m_ports.end(),
                                 [number](const auto& info) { return info->Number() >= number; });
    auto info = std::make_shared<KSerialPort::KSerialPortInfo>(number, std::move(devicePath));
    if (at != m_ports.end() && (*at)->Number() == number) {
        *at = std::move(info);
    } else {
        m_ports.insert(at, std::move(info));
    }
}

int KSerialPortList::PortNumberAt(size_t index) const {
    return index < m_ports.size() ? m_ports[index]->Number() : 0;
}

int KSerialPortList::IndexOfPort(int number) const {
    for (size_t i = 0; i < m_ports.size(); ++i)
        if (m_ports[i]->Number() == number) return static_cast<int>(i);
    return -1;
}

std::shared_ptr<KSerialPort::KSerialPortInfo> KSerialPortList::Find(int number) const {
    const int index = IndexOfPort(number);
    return index < 0 ? nullptr : m_ports[static_cast<size_t>(index)];
}

KString KSerialPortList::Describe() const {
    KString text = u"Serial ports:";
    for (const auto& info : m_ports)
        text += (info == m_ports.front() ? u" COM" : u", COM") + ToKString(info->Number()) + u' ' +
                FromUtf8(info->DevicePath());
    if (m_ports.empty()) text += u" none";
    return text;
}
