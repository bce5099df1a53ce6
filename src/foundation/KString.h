#pragma once

// Core text: one character is one 16-bit code unit, as the character modes of
// the streams and files define it. Convert to UTF-8 only at operating-system
// boundaries (paths, terminal output) and to QString at the Qt boundary.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

using KChar = char16_t;
using KString = std::u16string;
using KStringView = std::u16string_view;

/// UTF-8 to UTF-16; malformed sequences become U+FFFD.
KString FromUtf8(std::string_view utf8);
/// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string ToUtf8(KStringView text);
/// Each byte one character (the single-byte character mode).
KString FromLatin1(std::string_view bytes);
/// Each character one byte; characters above 0xFF become '?'.
std::string ToLatin1(KStringView text);

/// Paths cross the operating-system boundary as UTF-8.
std::filesystem::path ToPath(KStringView text);
KString FromPath(const std::filesystem::path& path);

/// Case-insensitive comparison of ASCII and Latin-1 letters, as names of the
/// settings tree and locale names compare.
KChar FoldCase(KChar c);
bool EqualsNoCase(KStringView a, KStringView b);
bool StartsWithNoCase(KStringView text, KStringView prefix);

/// `text` without any of `blanks` at either end.
KStringView Trim(KStringView text, KStringView blanks = u" ");

/// Decimal text of an integer.
KString ToKString(long long value);
/// Reads an integer in the foundation's integer syntax ("0x" hex, leading 0
/// octal, else decimal with optional sign). Advances `pos` past the digits;
/// nullopt when no digit was read.
std::optional<long long> ParseInteger(KStringView text, size_t& pos);
