#pragma once

// Bytes of any protocol as hex and printable text, sixteen to a line, the offset in front:
//   00000000  02 30 31 31 20 20 20 20  20 20 20 20 20 20 20 20  |.011            |

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class HexDump {
public:
    static constexpr size_t kBytesPerLine = 16;

    /// Appends bytes and returns the lines they completed.
    std::vector<std::string> Feed(std::string_view bytes);
    /// The line of the bytes held back (fewer than sixteen), or nothing; the next line starts
    /// at the following offset.
    std::vector<std::string> Flush();

    /// One line of at most sixteen bytes at `offset`.
    static std::string Line(uint64_t offset, std::string_view bytes);

private:
    uint64_t m_offset = 0;
    std::string m_pending;
};
