#pragma once

// One file for a whole fuzzing run, rewritten for each input and removed at exit, for targets whose
// parser reads a file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

struct FuzzInputFile {
    FuzzInputFile() {
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
    ~FuzzInputFile() {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    FuzzInputFile(const FuzzInputFile&) = delete;
    FuzzInputFile& operator=(const FuzzInputFile&) = delete;

    void Write(const uint8_t* data, size_t size) const {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) std::abort();
        if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
        std::fclose(file);
    }

    std::filesystem::path path;
};
