#include "foundation/KBinaryData.h"

#include <limits>

#include "foundation/KError.h"

void KBinaryWriter::WriteWord(uint32_t value) {
    for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void KBinaryWriter::WriteText(KStringView text) {
    WriteWord(static_cast<uint32_t>(text.size()));
    for (KChar c : text) {
        m_bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        m_bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
}

void KBinaryWriter::WriteTicks(int64_t value) {
    const auto bits = static_cast<uint64_t>(value);
    for (int i = 0; i < 6; ++i) m_bytes.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

void KBinaryWriter::WriteBytes(std::span<const uint8_t> bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
}

void KBinaryReader::Require(size_t size) const {
    if (size > Remaining()) {
        const size_t left = Remaining();
        throw KError(KErrorCode::kFileContents, left > static_cast<size_t>(std::numeric_limits<int>::max())
                                                    ? -1
                                                    : static_cast<int>(left));
    }
}

uint32_t KBinaryReader::ReadWord() {
    Require(4);
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(m_bytes[m_pos + i]) << (8 * i);
    m_pos += 4;
    return value;
}

KString KBinaryReader::ReadText() {
    const uint32_t length = ReadWord();
    // Checked before allocating: a corrupt length must not reserve memory the file cannot fill.
    if (length > Remaining() / 2) Require(static_cast<size_t>(length) * 2);
    KString text(length, u'\0');
    for (uint32_t i = 0; i < length; ++i) {
        text[i] = static_cast<KChar>(m_bytes[m_pos] | (m_bytes[m_pos + 1] << 8));
        m_pos += 2;
    }
    return text;
}

int64_t KBinaryReader::ReadTicks() {
    Require(6);
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= static_cast<uint64_t>(m_bytes[m_pos + i]) << (8 * i);
    m_pos += 6;
    if (bits & (uint64_t{1} << 47)) bits |= ~((uint64_t{1} << 48) - 1);
    return static_cast<int64_t>(bits);
}

std::span<const uint8_t> KBinaryReader::ReadBytes(size_t size) {
    Require(size);
    auto part = m_bytes.subspan(m_pos, size);
    m_pos += size;
    return part;
}
