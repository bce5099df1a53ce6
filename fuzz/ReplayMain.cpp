// Replays every file of the given folders (or the given files) through the
// fuzz target, so the seed corpus runs as a test where libFuzzer is missing.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Each seed is also replayed with a few deterministic mutations so the
// replay exercises more than the happy paths.
void RunWithMutations(std::vector<uint8_t> input, std::mt19937& random) {
    LLVMFuzzerTestOneInput(input.data(), input.size());
    for (int round = 0; round < 64 && !input.empty(); ++round) {
        std::vector<uint8_t> mutated = input;
        switch (random() % 3) {
            case 0: mutated[random() % mutated.size()] = static_cast<uint8_t>(random()); break;
            case 1: mutated.resize(random() % mutated.size()); break;
            default: mutated.insert(mutated.begin() + random() % mutated.size(), static_cast<uint8_t>(random()));
        }
        LLVMFuzzerTestOneInput(mutated.data(), mutated.size());
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::mt19937 random(20261206);
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path)) {
                if (entry.is_regular_file()) {
                    RunWithMutations(ReadAll(entry.path()), random);
                    ++count;
                }
            }
        } else if (std::filesystem::is_regular_file(path)) {
            RunWithMutations(ReadAll(path), random);
            ++count;
        }
    }
    std::printf("replayed %d inputs\n", count);
    return 0;
}
