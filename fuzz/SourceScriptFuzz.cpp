// Reads any bytes as a source script, then feeds the same bytes to it as characters: reading ends,
// and every delivery keeps its limits.
#include <cstddef>
#include <cstdint>

#include "FuzzInputFile.h"
#include "SourceFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzInputFile input;
    input.Write(data, size);
    CheckedScript checked(512);
    checked.script.Load(input.path);
    checked.Feed(data, size, false);
    return 0;
}
