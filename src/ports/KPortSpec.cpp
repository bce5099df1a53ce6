#include "ports/KPortSpec.h"

#include <arpa/inet.h>

#include <limits>
#include <string>
#include <vector>

#include "settings/KRGroup.h"
#include "settings/KRString.h"

namespace {

constexpr KStringView kParityLetters = u"NOEMS";
constexpr KStringView kStopBitsTexts[] = {u"1.0", u"1.5", u"2.0"};
constexpr int kDataBitsMax = 8;
constexpr int kDataBitsChoices = 5;
// The address conversion looks at no more than this, as the fixed buffer it was read into.
constexpr size_t kAddressChars = 31;

size_t SkipBlanks(KStringView text, size_t pos) {
    while (pos < text.size() && (text[pos] == u' ' || text[pos] == u'\t')) ++pos;
    return pos;
}

std::optional<int64_t> ReadInteger(KStringView field) {
    size_t pos = SkipBlanks(field, 0);
    const std::optional<long long> value = ParseInteger(field, pos);
    if (!value || *value < std::numeric_limits<int32_t>::min() ||
        *value > std::numeric_limits<uint32_t>::max())
        return std::nullopt;
    return *value;
}

std::optional<int> ReadInt(KStringView spec, size_t index) {
    const auto value = ReadPortSpecInteger(spec, index);
    if (!value || *value > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<int>(*value);
}

std::optional<int> ReadDataBits(KStringView spec) {
    const auto bits = ReadPortSpecInteger(spec, 2);
    if (!bits || *bits > kDataBitsMax || *bits <= kDataBitsMax - kDataBitsChoices) return std::nullopt;
    return static_cast<int>(kDataBitsMax - *bits);
}

std::optional<int> ReadParity(KStringView spec) {
    const auto field = PortSpecField(spec, 3);
    if (!field) return std::nullopt;
    const size_t pos = SkipBlanks(*field, 0);
    if (pos == field->size()) return std::nullopt;
    const KChar letter = (*field)[pos] >= u'a' && (*field)[pos] <= u'z' ? (*field)[pos] - 32 : (*field)[pos];
    const size_t index = kParityLetters.find(letter);
    if (index == KStringView::npos) return std::nullopt;
    return static_cast<int>(index);
}

// A decimal number that must equal 1.0, 1.5 or 2.0 exactly: 1, 1.50 and 2.000 do, 1.2 does not.
std::optional<int> ReadStopBits(KStringView spec) {
    const auto field = PortSpecField(spec, 4);
    if (!field) return std::nullopt;
    size_t pos = SkipBlanks(*field, 0);
    if (pos < field->size() && (*field)[pos] == u'+') ++pos;
    const auto isDigit = [&](size_t at) {
        return at < field->size() && (*field)[at] >= u'0' && (*field)[at] <= u'9';
    };
    int whole = 0;
    bool digits = false;
    for (; isDigit(pos); ++pos, digits = true)
        whole = whole > 9 ? whole : whole * 10 + ((*field)[pos] - u'0');
    int half = 0;  // 1 when the fraction is exactly .5
    if (pos < field->size() && (*field)[pos] == u'.') {
        ++pos;
        for (size_t first = pos; isDigit(pos); ++pos, digits = true) {
            const KChar d = (*field)[pos];
            if (pos == first && d == u'5')
                half = 1;
            else if (d != u'0')
                return std::nullopt;
        }
    }
    if (!digits) return std::nullopt;
    if (whole == 1) return half;
    if (whole == 2 && half == 0) return 2;
    return std::nullopt;
}

void ReleaseLocalPort(KRString& key, int port, bool keepPeriod) {
    if (ReadPortCode(key.Value()) != port) return;
    KSerialSpec spec;
    ReadSerialSpec(key.Value(), spec);
    spec.port = KPortCode::kNone;
    if (!keepPeriod) spec.repeatPeriod = 0;
    key.SetValue(WriteSerialSpec(spec));
}

KRString* SerialPortKeyOf(KRGroup* group) {
    return group == nullptr ? nullptr : dynamic_cast<KRString*>(group->FindChild(u"SerialPort"));
}

void AddNumberedKeys(KRGroup& settings, KStringView collection, std::vector<KRString*>& keys) {
    KRGroup* group = settings.FindGroup(collection);
    if (group == nullptr) return;
    for (size_t i = 0; i < group->NumberedGroupCount(); ++i) {
        if (KRString* key = SerialPortKeyOf(group->NumberedGroup(i))) keys.push_back(key);
    }
}

bool IsIn(const std::vector<KRString*>& keys, const KRString* key) {
    for (const KRString* k : keys)
        if (k == key) return true;
    return false;
}

}  // namespace

std::optional<KStringView> PortSpecField(KStringView spec, size_t index) {
    size_t start = 0;
    for (size_t i = 0; i < index; ++i) {
        const size_t comma = spec.find(u',', start);
        if (comma == KStringView::npos) return std::nullopt;
        start = comma + 1;
    }
    const size_t end = spec.find(u',', start);
    return spec.substr(start, end == KStringView::npos ? KStringView::npos : end - start);
}

std::optional<int64_t> ReadPortSpecInteger(KStringView spec, size_t index) {
    const auto field = PortSpecField(spec, index);
    return field ? ReadInteger(*field) : std::nullopt;
}

int ReadPortCode(KStringView spec) { return ReadInt(spec, 0).value_or(KPortCode::kNone); }

bool ReadSerialSpec(KStringView spec, KSerialSpec& out) {
    out = KSerialSpec();
    bool all = true;
    const auto take = [&all](auto value, auto& target) {
        if (value) target = static_cast<std::remove_reference_t<decltype(target)>>(*value);
        all = all && value.has_value();
    };
    take(ReadInt(spec, 0), out.port);
    const auto baud = ReadPortSpecInteger(spec, 1);
    take(baud && *baud >= 0 ? baud : std::nullopt, out.baud);
    take(ReadDataBits(spec), out.dataBits);
    take(ReadParity(spec), out.parity);
    take(ReadStopBits(spec), out.stopBits);
    if (PortSpecField(spec, 5)) take(ReadInt(spec, 5), out.repeatPeriod);
    return all;
}

KString WriteSerialSpec(const KSerialSpec& spec) {
    const int dataIndex = spec.dataBits >= 0 && spec.dataBits < kDataBitsChoices ? spec.dataBits : 0;
    const int parityIndex =
        spec.parity >= 0 && spec.parity < static_cast<int>(kParityLetters.size()) ? spec.parity : 0;
    const int stopIndex = spec.stopBits >= 0 && spec.stopBits < 3 ? spec.stopBits : 0;
    KString text = ToKString(spec.port) + u',' + ToKString(spec.baud) + u',' +
                   static_cast<KChar>(u'0' + kDataBitsMax - dataIndex) + u',' + kParityLetters[parityIndex] +
                   u',' + KString(kStopBitsTexts[stopIndex]);
    if (spec.repeatPeriod != 0) text += u',' + ToKString(spec.repeatPeriod);
    return text;
}

std::optional<uint32_t> ReadIPAddress(KStringView spec) {
    const auto field = PortSpecField(spec, 1);
    if (!field) return std::nullopt;
    const std::string text = ToLatin1(field->substr(0, kAddressChars));
    in_addr address{};
    if (::inet_aton(text.c_str(), &address) == 0) return std::nullopt;
    return ntohl(address.s_addr);
}

std::optional<uint16_t> ReadIPPort(KStringView spec) {
    const auto port = ReadPortSpecInteger(spec, 2);
    if (!port || *port < 0 || *port > 0xFFFF) return std::nullopt;
    return static_cast<uint16_t>(*port);
}

KString FormatIPAddress(uint32_t address) {
    return ToKString(address >> 24) + u'.' + ToKString((address >> 16) & 0xFF) + u'.' +
           ToKString((address >> 8) & 0xFF) + u'.' + ToKString(address & 0xFF);
}

KString WriteNetworkSpec(int code, uint32_t address, uint16_t port) {
    return ToKString(code) + u',' + FormatIPAddress(address) + u',' + ToKString(port);
}

KString PortLabel(KRGroup& settings, int number) {
    return settings.GetText(u"Strings\\SerialPort\\PortLocal") + ToKString(number);
}

void AssignPortSpec(KRGroup& settings, KRString& member, KStringView spec) {
    const KString newSpec(spec);
    const int port = ReadPortCode(newSpec);
    if (KPortCode::IsLocal(port)) {
        std::vector<KRString*> sources, devices;
        AddNumberedKeys(settings, u"Sources\\", sources);
        AddNumberedKeys(settings, u"Scoreboards\\", devices);
        for (KStringView path :
             {u"Database\\Serial\\SerialPort", u"WindGauge\\SerialPort", u"LapTime\\SerialPort"}) {
            if (KRString* key = settings.FindString(path)) devices.push_back(key);
        }
        // The member is left out by identity rather than by parking it on "0", so its hook
        // runs once, with the new value.
        for (const bool isSources : {true, false}) {
            const std::vector<KRString*>& group = isSources ? sources : devices;
            if (!IsIn(group, &member)) continue;
            for (KRString* key : group) {
                if (key != &member) ReleaseLocalPort(*key, port, !isSources);
            }
        }
    }
    member.SetValue(newSpec);
}
