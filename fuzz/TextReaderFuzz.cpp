// Reads any bytes as a text file, detecting the character mode, and as UTF-8:
// every line is read, none is longer than the file, and reading ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "FuzzInputFile.h"
#include "foundation/KError.h"
#include "foundation/KTextFile.h"

namespace {

void ReadEveryLine(const std::filesystem::path& path, KCharMode mode, size_t size) {
    KTextReader reader(path, mode);
    KString line;
    size_t lines = 0;
    while (reader.ReadLine(line)) {
        if (line.size() > size) std::abort();
        if (++lines > size) std::abort();  // each line consumes at least one byte
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzInputFile input;
    input.Write(data, size);
    try {
        ReadEveryLine(input.path, KCharMode::Detect, size);
        ReadEveryLine(input.path, KCharMode::Native, size);
    } catch (const KError&) {
    }
    return 0;
}
