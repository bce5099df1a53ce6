// Merges every input line into a tree preloaded with a few groups (as Latin-1 and as
// UTF-8), looks each line up with every typed finder, and checks that what the tree
// writes reads back into the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "SettingsFuzzSupport.h"

namespace {

std::vector<KString> SplitLines(std::string_view bytes, bool utf8) {
    std::vector<KString> lines;
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        const std::string_view line = bytes.substr(0, end);
        lines.push_back(utf8 ? FromUtf8(line) : FromLatin1(line));
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    }
    return lines;
}

void MergeAndRoundTrip(const std::vector<KString>& lines) {
    KRegistry tree;
    PreloadFuzzTree(tree);
    for (const KString& line : lines) {
        KRNode* node = tree.Define(line);
        if (node != nullptr && node->Path().empty()) std::abort();
        tree.FindGroup(line);
        tree.FindBool(line);
        tree.FindInt(line);
        tree.FindRat(line);
        tree.FindFloat(line);
        (void)tree.GetText(line);
    }
    const std::vector<KString> written = TreeLines(tree);
    KRegistry copy;
    for (const KString& line : written) {
        if (copy.Define(line) == nullptr) std::abort();  // every written line merges again
    }
    if (TreeLines(copy) != written) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    MergeAndRoundTrip(SplitLines(bytes, false));
    MergeAndRoundTrip(SplitLines(bytes, true));
    return 0;
}
