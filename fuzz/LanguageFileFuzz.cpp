// Treats any bytes as the only language file: the choice list is built from it, the
// locale its header names is chosen, the file is merged and written back as a template.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "SettingsFuzzSupport.h"
#include "settings/KLanguage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzFolder program;
    FuzzFolder::WriteFile(program.path / "Fuzz.lng", data, size);

    KRegistry tree;
    PreloadFuzzTree(tree);
    if (!RebuildLanguageChoices(tree, program.path)) std::abort();
    // Choose what the header claims (field 1), so the file is actually merged.
    const KString entry = tree.GetText(u"Language\\Choices\\1");
    const size_t first = entry.find(u',');
    const size_t second = first == KString::npos ? KString::npos : entry.find(u',', first + 1);
    if (second != KString::npos) {
        const KString locale = entry.substr(second + 1, entry.find(u',', second + 1) - second - 1);
        tree.FindString(u"Language\\Choice")->SetValue(locale);
    }
    const KLanguageLoadResult result = LoadLanguage(tree, program.path);
    if (result.loaded) WriteLanguageFile(tree, program.path, result.mode);
    return 0;
}
