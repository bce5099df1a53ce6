#pragma once

// Port specifications: the one comma-separated string that selects and configures every
// connection ("1,9600,8,N,1.0", "-1,127.0.0.1,1024"). All readers take outside text (a
// settings line, a hand edit) and never fail other than by saying a field is unreadable.

#include <cstdint>
#include <optional>

#include "foundation/KString.h"

class KRGroup;
class KRString;

/// Port codes (field 0).
namespace KPortCode {
inline constexpr int kNone = 0;
inline constexpr int kFirstLocal = 1;
inline constexpr int kLastLocal = 255;
inline constexpr int kNetConnect = -1;
inline constexpr int kNetListen = -2;
inline constexpr int kNetUDP = -3;
/// 256 and above: a kind number in bits 16 to 23 and two further bytes below it. No
/// driver opens them.
inline constexpr int kFirstPseudo = 256;

inline constexpr bool IsLocal(int code) { return code >= kFirstLocal && code <= kLastLocal; }
inline constexpr bool IsNetwork(int code) { return code >= kNetUDP && code <= kNetConnect; }
}  // namespace KPortCode

/// The serial fields, each with the value used when its field is absent or unreadable.
struct KSerialSpec {
    int port = KPortCode::kNone;
    uint32_t baud = 9600;
    int dataBits = 0;      ///< index: 0 = 8 bits ... 4 = 4 bits
    int parity = 0;        ///< index: None, Odd, Even, Mark, Space
    int stopBits = 0;      ///< index: 1.0, 1.5, 2.0
    int repeatPeriod = 0;  ///< ms; 0 = no repetition

    bool operator==(const KSerialSpec&) const = default;
};

/// Field `index` (from 0) of a specification; nullopt when there are fewer fields.
std::optional<KStringView> PortSpecField(KStringView spec, size_t index);
/// An integer field read the C way: blanks skipped, "0x" hexadecimal, another leading "0"
/// octal, else decimal with an optional sign; the digits may be followed by anything.
/// nullopt when the field is missing, has no digit or does not fit in 32 bits.
std::optional<int64_t> ReadPortSpecInteger(KStringView spec, size_t index);

/// Field 0; an unreadable code counts as 0 (none).
int ReadPortCode(KStringView spec);
/// Fills `out` with every serial field, the table's default for each one that is absent or
/// unreadable. True only when fields 0 to 4 were read and a repeat period, if present, was
/// read too.
bool ReadSerialSpec(KStringView spec, KSerialSpec& out);
/// The canonical form: port,baud,bits,parity letter,stop bits[,period when not 0].
KString WriteSerialSpec(const KSerialSpec& spec);

/// Field 1 as a dotted-decimal IPv4 address in host byte order (at most 31 characters are
/// looked at). nullopt when unreadable; callers that need a value use 255.255.255.255.
std::optional<uint32_t> ReadIPAddress(KStringView spec);
/// Field 2, 0 to 65535; nullopt when unreadable or out of range.
std::optional<uint16_t> ReadIPPort(KStringView spec);
/// code,a.b.c.d,port
KString WriteNetworkSpec(int code, uint32_t address, uint16_t port);
KString FormatIPAddress(uint32_t address);

/// `Strings\SerialPort\PortLocal` followed by the number ("COM3").
KString PortLabel(KRGroup& settings, int number);

/// Sets `member` (a `SerialPort` key) to `spec` through its setter hook. When `spec` names a
/// local port n, every other `SerialPort` key of the member's group that names n is first
/// rewritten to port 0, keeping its other serial fields: the sources (`Sources\<n>\`) drop
/// the repeat period, the devices (scoreboards, `Database\Serial`, `WindGauge`, `LapTime`)
/// keep it. The others are released before the member is set, so the member's hook can
/// open the port they held.
void AssignPortSpec(KRGroup& settings, KRString& member, KStringView spec);
