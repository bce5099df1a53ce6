// Reads any bytes as a text file, detecting the character mode, and as UTF-8:
// every line is read, none is longer than the file, and reading ends.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "foundation/KError.h"
#include "foundation/KTextFile.h"

namespace {

// One file for the whole run, rewritten for each input and removed at exit.
struct InputFile {
    InputFile() {
        // Memory-backed when the system offers it: the run rewrites this file once per input.
        std::error_code ec;
        const std::filesystem::path folder = std::filesystem::is_directory("/dev/shm", ec)
                                                 ? "/dev/shm"
                                                 : std::filesystem::temp_directory_path();
        std::string pattern = (folder / "kestrun-fuzz-XXXXXX").string();
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) std::abort();
        ::close(fd);
        path = pattern;
    }
    ~InputFile() {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    void Write(const uint8_t* data, size_t size) const {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) std::abort();
        if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
        std::fclose(file);
    }
    std::filesystem::path path;
};

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
    static const InputFile input;
    input.Write(data, size);
    try {
        ReadEveryLine(input.path, KCharMode::Detect, size);
        ReadEveryLine(input.path, KCharMode::Native, size);
    } catch (const KError&) {
    }
    return 0;
}
