#pragma once

// The byte encoding of stored objects (event file, layout files):
//   word      4 bytes, little-endian, two's complement for signed values
//   text      a word holding the number of UTF-16 code units, then the units, 2 bytes each, little-endian
//   ticks     6 bytes, little-endian two's complement (a 48-bit tick count)
// Objects start with a format version word of their own; this layer knows nothing of versions.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "foundation/KString.h"

class KBinaryWriter {
public:
    void WriteWord(uint32_t value);
    void WriteInt(int32_t value) { WriteWord(static_cast<uint32_t>(value)); }
    void WriteText(KStringView text);
    /// The low 48 bits of `value`.
    void WriteTicks(int64_t value);
    void WriteBytes(std::span<const uint8_t> bytes);

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    size_t Size() const { return m_bytes.size(); }

private:
    std::vector<uint8_t> m_bytes;
};

/// Reads from a byte range it does not own. Every read checks what remains first: a read past the end,
/// or a stored length larger than the bytes left, throws KError(3010, bytes remaining) and allocates
/// nothing, so a truncated or corrupt file can never make the reader grow without bound.
class KBinaryReader {
public:
    explicit KBinaryReader(std::span<const uint8_t> bytes) : m_bytes(bytes) {}

    uint32_t ReadWord();
    int32_t ReadInt() { return static_cast<int32_t>(ReadWord()); }
    KString ReadText();
    /// 48 bits, sign-extended.
    int64_t ReadTicks();
    /// The next `size` bytes as a range of the underlying buffer.
    std::span<const uint8_t> ReadBytes(size_t size);
    void Skip(size_t size) { ReadBytes(size); }

    size_t Remaining() const { return m_bytes.size() - m_pos; }
    bool AtEnd() const { return m_pos == m_bytes.size(); }
    size_t Position() const { return m_pos; }

private:
    void Require(size_t size) const;

    std::span<const uint8_t> m_bytes;
    size_t m_pos = 0;
};
