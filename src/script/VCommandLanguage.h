#pragma once

// The command language that scoreboard scripts and source scripts share: escapes for any character,
// a cursor over the output text, ten integer registers, arithmetic, binary numbers and checksums.
// A character is one 16-bit unit; a binary character keeps the low 16 bits of its value.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "foundation/KString.h"

/// R0..R9. A scoreboard keeps its own set across lines and updates; source scripts share one set.
using VRegisters = std::array<int32_t, 10>;

/// Scoreboard scripts have the stop test H and the "!" operator; source scripts have neither (both
/// are read and do nothing).
enum class VCommandDialect { Scoreboard, Source };

/// A number token at text[pos]: one decimal digit, or a backslash and two characters scanned as a
/// hexadecimal number (three characters are consumed in any case; -1 when the scan starts with a
/// non-hexadecimal character, the first digit alone when the second is not one). Nothing, and `pos`
/// unchanged, when text[pos] starts neither.
std::optional<int> ReadNumberToken(KStringView text, size_t& pos);

/// Appends `value` as a backslash escape of two lower-case hexadecimal digits (its low 8 bits).
void AppendHexEscape(KString& out, uint32_t value);

/// How many characters an expansion may add to the length of the text it was given. Insertions
/// beyond that are cut short, so a line cannot grow without bound (\U1\I0 with a huge R1).
inline constexpr size_t kMaxExpansionGrowth = 4096;

/// Runs `text` through the command language into `out` (its old content is replaced), reading and
/// writing `registers`. Returns false when an H command stopped the expansion; `out` then holds
/// what was produced so far.
bool ExpandCommands(KStringView text, KString& out, VRegisters& registers, VCommandDialect dialect);
