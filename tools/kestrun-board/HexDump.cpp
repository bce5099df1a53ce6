#include "HexDump.h"

#include <algorithm>
#include <cstdio>

std::vector<std::string> HexDump::Feed(std::string_view bytes) {
    std::vector<std::string> lines;
    while (!bytes.empty()) {
        const size_t take = std::min(kBytesPerLine - m_pending.size(), bytes.size());
        m_pending.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        if (m_pending.size() == kBytesPerLine) {
            lines.push_back(Line(m_offset, m_pending));
            m_offset += kBytesPerLine;
            m_pending.clear();
        }
    }
    return lines;
}

std::vector<std::string> HexDump::Flush() {
    if (m_pending.empty()) return {};
    std::vector<std::string> lines{Line(m_offset, m_pending)};
    m_offset += m_pending.size();
    m_pending.clear();
    return lines;
}

std::string HexDump::Line(uint64_t offset, std::string_view bytes) {
    char number[24];
    std::snprintf(number, sizeof number, "%08llx ", static_cast<unsigned long long>(offset));
    std::string line = number;
    std::string text;
    for (size_t i = 0; i < kBytesPerLine; ++i) {
        if (i % 8 == 0) line += ' ';
        if (i < bytes.size()) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            std::snprintf(number, sizeof number, "%02x ", byte);
            line += number;
            text += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
        } else {
            line += "   ";
        }
    }
    return line + " |" + text + "|";
}
