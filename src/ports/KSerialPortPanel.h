#pragma once

// What the port settings panel (the widget KZSerialPort) shows and stores, without a
// window: the port choices, the field choices, which fields are enabled for a port code,
// and the specification the fields make.

#include <array>
#include <cstdint>
#include <vector>

#include "foundation/KString.h"
#include "ports/KPortSpec.h"

class KRGroup;
class KSerialPortList;

/// What a use of the panel offers; combine with |.
enum class KPortFeature : unsigned {
    ComPorts = 1 << 0,
    ExtraPorts = 1 << 1,  ///< the additional pseudo-port entries of a subclass
    TcpPorts = 1 << 2,
    UdpPort = 1 << 3,
    Baud = 1 << 4,
    DataBits = 1 << 5,
    Parity = 1 << 6,
    StopBits = 1 << 7,
    RefreshTime = 1 << 8,
    IPAddress = 1 << 9,
    IPPort = 1 << 10,
};
constexpr KPortFeature operator|(KPortFeature a, KPortFeature b) {
    return static_cast<KPortFeature>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr bool HasFeature(KPortFeature set, KPortFeature feature) {
    return (static_cast<unsigned>(set) & static_cast<unsigned>(feature)) != 0;
}

/// The editable fields besides the port choice.
enum class KPortField { Baud, DataBits, Parity, StopBits, RefreshTime, IPAddress, IPPort };

struct KPortChoice {
    int code;
    KString label;
    bool operator==(const KPortChoice&) const = default;
};

class KSerialPortPanel {
public:
    static constexpr std::array<uint32_t, 14> kBaudChoices = {
        110, 300, 600, 1200, 2400, 4800, 9600, 12800, 14400, 19200, 38400, 56000, 57600, 115200};
    /// Keys under `Strings\SerialPort\`, in choice order.
    static constexpr std::array<KStringView, 5> kDataBitsKeys = {u"DataBits8", u"DataBits7", u"DataBits6",
                                                                 u"DataBits5", u"DataBits4"};
    static constexpr std::array<KStringView, 5> kParityKeys = {u"ParityNone", u"ParityOdd", u"ParityEven",
                                                               u"ParityMark", u"ParitySpace"};
    static constexpr std::array<KStringView, 3> kStopBitsKeys = {u"StopBitsOne", u"StopBitsOneFive",
                                                                 u"StopBitsTwo"};

    KSerialPortPanel(KPortFeature features, std::vector<KPortChoice> extraPorts = {});

    KPortFeature Features() const { return m_features; }

    /// The none entry (`noneLabel`, else `PortNone`), one entry per COM port found at start,
    /// the extra entries, the two TCP kinds, then UDP, as the features allow.
    std::vector<KPortChoice> PortChoices(KRGroup& settings, const KSerialPortList& ports,
                                         KStringView noneLabel = {}) const;
    /// Offered by the features and enabled for the selected port code: the serial fields
    /// for codes 0 and up, the IP address for -1 and -3, the IP port for -1, -2 and -3.
    bool IsFieldEnabled(KPortField field) const;
    static bool IsFieldEnabledFor(KPortField field, int code);

    /// Shows `spec`; clears the changed mark.
    void Load(KStringView spec);
    /// The specification the fields make: serial form for codes 0 and up, network form
    /// otherwise. A listen address the panel does not show is kept.
    KString Specification() const;
    bool IsChanged() const { return m_changed; }

    int PortCode() const { return m_code; }
    const KSerialSpec& Serial() const { return m_serial; }
    uint32_t Address() const { return m_address; }
    uint16_t IPPort() const { return m_ipPort; }
    void SetPortCode(int code);
    /// Any field of the serial form but the port code.
    void SetSerial(const KSerialSpec& serial);
    void SetAddress(uint32_t address);
    void SetIPPort(uint16_t port);

private:
    template <typename T>
    void Change(T& field, T value);

    KPortFeature m_features;
    std::vector<KPortChoice> m_extraPorts;
    int m_code = KPortCode::kNone;
    KSerialSpec m_serial;
    uint32_t m_address = 0;
    uint16_t m_ipPort = 0;
    bool m_changed = false;
};
