#pragma once

// The values of a scoreboard line's variables: what each group and variable number shows of the
// update, and which variables are written as binary numbers.

#include <cstdint>
#include <optional>

#include "foundation/KString.h"
#include "script/VScriptHost.h"

/// The text of variable `variable` (not 0) of `group`; empty where the update lacks the data, "no
/// data" for header variables whose data is missing.
KString VariableValue(int group, int variable, const VUpdateRecord& record, const VScriptSettings& settings);

/// For the binary variables (clock 2, wind 2) that have their data: the 32-bit value to substitute.
std::optional<uint32_t> BinaryValue(int group, int variable, const VUpdateRecord& record);
