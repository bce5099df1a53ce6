// Reads any bytes as a source script, then feeds their start to it as characters: reading ends,
// and every delivery keeps its limits. (Feeding all of them would cost the square of the input,
// every ";;" line being a definition that sees every character.)
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "FuzzInputFile.h"
#include "SourceFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzInputFile input;
    input.Write(data, size);
    CheckedScript checked(512);
    checked.script.Load(input.path);
    checked.Feed(data, std::min<size_t>(size, 256), false);
    return 0;
}
