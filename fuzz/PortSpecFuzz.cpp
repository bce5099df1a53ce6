// Reads any text as a port specification, the way a hand-edited settings line arrives:
// reading never fails other than by defaults, what is written reads back as the same
// values, the port panel's own text is stable, and assigning a COM port leaves it with one
// member of the group.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ports/KPortSpec.h"
#include "ports/KSerialPortPanel.h"
#include "settings/KRegistry.h"

namespace {

KString TextOf(const uint8_t* data, size_t size) {
    // Odd first byte: UTF-16LE units, so characters beyond Latin-1 reach the readers too.
    if (size > 0 && (data[0] & 1) != 0) {
        KString text;
        for (size_t i = 1; i + 1 < size; i += 2) text += static_cast<KChar>(data[i] | data[i + 1] << 8);
        return text;
    }
    return FromLatin1(std::string_view(reinterpret_cast<const char*>(data), size).substr(size > 0 ? 1 : 0));
}

void CheckSerialRoundTrip(KStringView spec) {
    KSerialSpec read;
    ReadSerialSpec(spec, read);
    const KString written = WriteSerialSpec(read);
    KSerialSpec again;
    if (!ReadSerialSpec(written, again) || again != read || ReadPortCode(written) != read.port) std::abort();
}

void CheckNetworkRoundTrip(KStringView spec) {
    const auto address = ReadIPAddress(spec);
    const auto port = ReadIPPort(spec);
    if (!address || !port) return;
    const KString written = WriteNetworkSpec(ReadPortCode(spec), *address, *port);
    if (ReadIPAddress(written) != address || ReadIPPort(written) != port) std::abort();
}

void CheckPanel(KStringView spec) {
    KSerialPortPanel panel(KPortFeature::ComPorts | KPortFeature::TcpPorts | KPortFeature::UdpPort);
    panel.Load(spec);
    const KString first = panel.Specification();
    panel.Load(first);
    if (panel.Specification() != first) std::abort();
}

void CheckExclusivity(KStringView spec) {
    static KRegistry* tree = [] {
        auto* t = new KRegistry;
        t->AddTable({u"Sources\\:=", u"Sources\\1\\:=", u"Sources\\1\\SerialPort:String=", u"Sources\\2\\:=",
                     u"Sources\\2\\SerialPort:String=", u"Scoreboards\\:=", u"Scoreboards\\1\\:=",
                     u"Scoreboards\\1\\SerialPort:String=", u"LapTime\\:=", u"LapTime\\SerialPort:String="});
        return t;
    }();
    const KStringView keys[] = {u"Sources\\1\\SerialPort", u"Sources\\2\\SerialPort",
                                u"Scoreboards\\1\\SerialPort", u"LapTime\\SerialPort"};
    for (KStringView key : keys) tree->FindString(key)->StoreValue(KString(spec));
    AssignPortSpec(*tree, *tree->FindString(keys[1]), spec);
    AssignPortSpec(*tree, *tree->FindString(keys[3]), spec);
    const int port = ReadPortCode(spec);
    if (!KPortCode::IsLocal(port)) return;
    if (ReadPortCode(tree->GetText(keys[0])) == port || ReadPortCode(tree->GetText(keys[2])) == port)
        std::abort();
    if (tree->GetText(keys[1]) != spec || tree->GetText(keys[3]) != spec) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const KString spec = TextOf(data, size);
    CheckSerialRoundTrip(spec);
    CheckNetworkRoundTrip(spec);
    CheckPanel(spec);
    CheckExclusivity(spec);
    return 0;
}
