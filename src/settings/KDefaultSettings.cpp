#include "settings/KDefaultSettings.h"

extern const char kDefaultSettingsText[];

std::vector<KString> SplitDefaultTable(std::string_view utf8) {
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
    std::vector<KString> lines;
    while (!utf8.empty()) {
        const size_t end = utf8.find('\n');
        std::string_view line = utf8.substr(0, end);
        utf8.remove_prefix(end == std::string_view::npos ? utf8.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        lines.push_back(FromUtf8(line));
    }
    return lines;
}

void LoadDefaults(KRegistry& tree) { tree.AddTable(SplitDefaultTable(kDefaultSettingsText)); }

void LoadFirstRunDefaults(KRegistry& /*tree*/) {}
