#pragma once

// What the source-script fuzz targets share: feeding characters to a script whose deliveries are
// checked against the limits a definition must keep.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "script/TSourceScript.h"

/// A script whose deliveries hold values of bounded size: a cut value at most the buffer, processed
/// with a format (of one script line, so under 4096 characters) and expanded twice.
inline constexpr size_t kMaxValue = 4 * 4096 + 3 * kMaxExpansionGrowth;
struct CheckedScript {
    explicit CheckedScript(size_t capacity)
        : script(registers, capacity, [](const TMessageDefinition& definition) {
              for (const TFieldSpec& field : definition.Fields())
                  if (field.value.size() > kMaxValue) std::abort();
          }) {}

    /// Each byte one character; with `wide`, pairs of bytes make 16-bit characters.
    void Feed(const uint8_t* data, size_t size, bool wide) {
        for (size_t i = 0; i < size; i += wide ? 2 : 1) {
            const KChar c = wide && i + 1 < size ? static_cast<KChar>(data[i] | (data[i + 1] << 8)) : data[i];
            script.Feed(c);
        }
    }

    VRegisters registers{};
    TSourceScript script;
};
