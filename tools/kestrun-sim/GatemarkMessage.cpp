#include "GatemarkMessage.h"

namespace {

constexpr char kStx = '\x02';
constexpr char kEtx = '\x03';
constexpr const char* kHeader = "GMR";
constexpr const char* kLineEnd = "\r\n";

void AppendField(std::string& out, KStringView text, const char* end) {
    std::string bytes = ToLatin1(text.substr(0, kGatemarkMaxField));
    for (char& c : bytes)
        if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f') c = ' ';
    out += bytes;
    out += end;
}

}  // namespace

std::string EncodeGatemarkEvent(const GatemarkEvent& event) {
    std::string out;
    for (const KString* text : {&event.official, &event.name, &event.wind, &event.eventNumber,
                                &event.roundNumber, &event.heatNumber, &event.startType})
        AppendField(out, *text, "\t");
    AppendField(out, ToKString(event.participants), kLineEnd);
    return out;
}

std::string EncodeGatemarkLine(const GatemarkLine& line) {
    std::string out;
    for (const KString* text : {&line.place, &line.lane, &line.id, &line.name, &line.affiliation, &line.time,
                                &line.deltaTime, &line.cumulativeSplitTime, &line.lastSplitTime})
        AppendField(out, *text, "\t");
    AppendField(out, line.laps, kLineEnd);
    return out;
}

std::vector<std::string> AssembleGatemarkMessages(const std::string& event,
                                                  std::span<const std::string> lines) {
    std::string head{kEtx, kStx};
    head += kHeader;
    head += event;
    std::vector<std::string> messages{head};
    for (const std::string& line : lines) {
        const bool hasLines = messages.back().size() > head.size();
        if (hasLines && messages.back().size() + line.size() + 1 > kGatemarkMaxMessage) {
            messages.back() += kEtx;
            messages.push_back(head);
        }
        messages.back() += line;
    }
    messages.back() += kEtx;
    return messages;
}

std::vector<std::string> EncodeGatemarkResults(const GatemarkEvent& event,
                                               std::span<const GatemarkLine> lines) {
    std::vector<std::string> encoded;
    encoded.reserve(lines.size());
    for (const GatemarkLine& line : lines) encoded.push_back(EncodeGatemarkLine(line));
    return AssembleGatemarkMessages(EncodeGatemarkEvent(event), encoded);
}
