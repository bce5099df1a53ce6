// Runs any text through the command language in both dialects, twice so that registers set by the
// first run feed the second: the output stays within its limit and nothing faults.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "foundation/KString.h"
#include "script/VCommandLanguage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const KString text = FromLatin1(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const VCommandDialect dialect : {VCommandDialect::Scoreboard, VCommandDialect::Source}) {
        VRegisters registers{};
        KString out;
        for (int run = 0; run < 2; ++run) {
            const bool completed = ExpandCommands(text, out, registers, dialect);
            if (out.size() > text.size() + kMaxExpansionGrowth) std::abort();
            if (!completed && dialect == VCommandDialect::Source) std::abort();
        }
    }
    return 0;
}
