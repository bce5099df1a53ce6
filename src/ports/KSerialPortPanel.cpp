#include "ports/KSerialPortPanel.h"

#include "ports/KSerialPortList.h"
#include "settings/KRGroup.h"

namespace {

KPortFeature FeatureOf(KPortField field) {
    switch (field) {
        case KPortField::Baud:
            return KPortFeature::Baud;
        case KPortField::DataBits:
            return KPortFeature::DataBits;
        case KPortField::Parity:
            return KPortFeature::Parity;
        case KPortField::StopBits:
            return KPortFeature::StopBits;
        case KPortField::RefreshTime:
            return KPortFeature::RefreshTime;
        case KPortField::IPAddress:
            return KPortFeature::IPAddress;
        case KPortField::IPPort:
            break;
    }
    return KPortFeature::IPPort;
}

}  // namespace

KSerialPortPanel::KSerialPortPanel(KPortFeature features, std::vector<KPortChoice> extraPorts)
    : m_features(features), m_extraPorts(std::move(extraPorts)) {}

std::vector<KPortChoice> KSerialPortPanel::PortChoices(KRGroup& settings, const KSerialPortList& ports,
                                                       KStringView noneLabel) const {
    const auto text = [&settings](KStringView key) {
        return settings.GetText(KString(u"Strings\\SerialPort\\") + KString(key));
    };
    std::vector<KPortChoice> choices;
    choices.push_back({KPortCode::kNone, noneLabel.empty() ? text(u"PortNone") : KString(noneLabel)});
    if (HasFeature(m_features, KPortFeature::ComPorts)) {
        for (size_t i = 0; i < ports.PortCount(); ++i) {
            const int number = ports.PortNumberAt(i);
            choices.push_back({number, PortLabel(settings, number)});
        }
    }
    if (HasFeature(m_features, KPortFeature::ExtraPorts)) {
        choices.insert(choices.end(), m_extraPorts.begin(), m_extraPorts.end());
    }
    if (HasFeature(m_features, KPortFeature::TcpPorts)) {
        choices.push_back({KPortCode::kNetConnect, text(u"PortNetConnect")});
        choices.push_back({KPortCode::kNetListen, text(u"PortNetListen")});
    }
    if (HasFeature(m_features, KPortFeature::UdpPort))
        choices.push_back({KPortCode::kNetUDP, text(u"PortNetUDP")});
    return choices;
}

bool KSerialPortPanel::IsFieldEnabledFor(KPortField field, int code) {
    switch (field) {
        case KPortField::IPAddress:
            return code == KPortCode::kNetConnect || code == KPortCode::kNetUDP;
        case KPortField::IPPort:
            return KPortCode::IsNetwork(code);
        default:
            return code >= 0;
    }
}

bool KSerialPortPanel::IsFieldEnabled(KPortField field) const {
    return HasFeature(m_features, FeatureOf(field)) && IsFieldEnabledFor(field, m_code);
}

void KSerialPortPanel::Load(KStringView spec) {
    // Each form's fields mean something else in the other form ("127.0.0.1" would read as
    // baud 127), so the form not in use keeps its defaults.
    m_code = ReadPortCode(spec);
    m_serial = KSerialSpec();
    m_address = 0;
    m_ipPort = 0;
    if (m_code >= 0) {
        ReadSerialSpec(spec, m_serial);
    } else {
        m_address = ReadIPAddress(spec).value_or(0);
        m_ipPort = ReadIPPort(spec).value_or(0);
    }
    m_serial.port = m_code;
    m_changed = false;
}

KString KSerialPortPanel::Specification() const {
    if (m_code >= 0) {
        KSerialSpec serial = m_serial;
        serial.port = m_code;
        return WriteSerialSpec(serial);
    }
    return WriteNetworkSpec(m_code, m_address, m_ipPort);
}

template <typename T>
void KSerialPortPanel::Change(T& field, T value) {
    if (field == value) return;
    field = value;
    m_changed = true;
}

void KSerialPortPanel::SetPortCode(int code) { Change(m_code, code); }

void KSerialPortPanel::SetSerial(const KSerialSpec& serial) {
    KSerialSpec copy = serial;
    copy.port = m_serial.port;
    Change(m_serial, copy);
}

void KSerialPortPanel::SetAddress(uint32_t address) { Change(m_address, address); }

void KSerialPortPanel::SetIPPort(uint16_t port) { Change(m_ipPort, port); }
