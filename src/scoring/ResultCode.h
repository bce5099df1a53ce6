#pragma once

// Result codes and their texts. The texts are looked up once at start-up (from the language texts) and
// only read afterwards.

#include <array>
#include <cstdint>
#include <optional>

#include "foundation/KString.h"

/// Stored as a 32-bit number; a number outside 0..6 read from a file is kept and sorts by its value.
enum class ResultCode : int32_t {
    None = 0,
    DidNotStart = 1,
    FalseStart = 2,
    DidNotFinish = 3,
    Disqualified = 4,
    Scratched = 5,
    Advanced = 6,
};

/// The six code texts, indexed by code number (entry 0 unused).
struct ResultCodeTexts {
    std::array<KString, 7> texts{KString(), u"DNS", u"FS", u"DNF", u"DQ", u"SCR", u"ADV"};

    /// The code whose text equals `text` exactly; nothing for an empty or unknown text.
    std::optional<ResultCode> FromText(KStringView text) const;
    /// "" for None and for numbers without a text.
    KStringView Text(ResultCode code) const;
};

const ResultCodeTexts& CurrentResultCodeTexts();
void SetResultCodeTexts(const ResultCodeTexts& texts);
