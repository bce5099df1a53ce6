#pragma once

// What the source-script fuzz targets share: reading a script from its lines, feeding bytes to it as
// characters, and a script whose deliveries are checked against the limits a definition must keep.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#include "script/TSourceScript.h"

/// Replaces the script's definitions by those of `lines`.
inline void ReadScript(TSourceScript& script, std::initializer_list<const char16_t*> lines) {
    const char16_t* const* next = lines.begin();
    script.Read([&](KString& line) {
        if (next == lines.end()) return false;
        line = *next++;
        return true;
    });
}

/// Each byte one character; with `wide`, pairs of bytes make 16-bit characters.
inline void FeedBytes(TSourceScript& script, const uint8_t* data, size_t size, bool wide = false) {
    for (size_t i = 0; i < size; i += wide ? 2 : 1) {
        const KChar c = wide && i + 1 < size ? static_cast<KChar>(data[i] | (data[i + 1] << 8)) : data[i];
        script.Feed(c);
    }
}

/// A script whose deliveries hold values of bounded size: a cut value at most the buffer, processed
/// with a format (of one script line, so under 4096 characters) and expanded twice.
inline constexpr size_t kMaxValue = 4 * 4096 + 3 * kMaxExpansionGrowth;
struct CheckedScript {
    explicit CheckedScript(size_t capacity)
        : script(registers, capacity, [](const TMessageDefinition& definition) {
              for (const TFieldSpec& field : definition.Fields())
                  if (field.value.size() > kMaxValue) std::abort();
          }) {}

    void Feed(const uint8_t* data, size_t size, bool wide) { FeedBytes(script, data, size, wide); }

    VRegisters registers{};
    TSourceScript script;
};
