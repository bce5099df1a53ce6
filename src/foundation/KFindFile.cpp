#include "foundation/KFindFile.h"

#include <set>
#include <system_error>

std::filesystem::path KFindFile(const std::filesystem::path& folder, KStringView name) {
    // A name with a folder part would escape the folder it is looked up in.
    if (name.empty() || name.find_first_of(u"/\\") != KStringView::npos || name == u"." || name == u"..")
        return {};
    std::error_code ec;
    const std::filesystem::path exact = folder / ToPath(name);
    if (std::filesystem::is_regular_file(exact, ec)) return exact;
    std::set<std::string> matches;  // sorted, so the choice is the same from run to run
    std::filesystem::directory_iterator it(folder, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string fileName = it->path().filename().string();
        std::error_code entryError;
        if (EqualsNoCase(FromUtf8(fileName), name) && it->is_regular_file(entryError))
            matches.insert(fileName);
    }
    if (matches.empty()) return {};
    return folder / *matches.begin();
}
