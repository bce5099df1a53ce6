// Reads any bytes as the settings file over a preloaded tree: reading ends, never
// throws, and the tree it leaves writes lines that read back into the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "SettingsFuzzSupport.h"
#include "settings/KSettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzFolder documents;
    static const bool made = std::filesystem::create_directories(SettingsFolder(documents.path));
    (void)made;
    FuzzFolder::WriteFile(SettingsFilePath(documents.path), data, size);

    KRegistry tree;
    PreloadFuzzTree(tree);
    const KSettingsLoadResult result = LoadSettingsFile(tree, documents.path);
    if (size == 0 && result.loaded) std::abort();
    const std::vector<KString> written = TreeLines(tree);
    KRegistry copy;
    for (const KString& line : written) {
        if (copy.Define(line) == nullptr) std::abort();
    }
    if (TreeLines(copy) != written) std::abort();
    return 0;
}
