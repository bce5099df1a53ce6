#include "settings/KLanguage.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "foundation/KError.h"
#include "foundation/KFindFile.h"

namespace {

constexpr KStringView kChoicesPath = u"Language\\Choices\\";

bool HasLanguageExtension(const std::filesystem::path& path) {
    const KString extension = FromPath(path.extension());
    return EqualsNoCase(extension, u".lng");
}

/// Field `index` of a comma-separated text, or nullopt when it has fewer fields.
std::optional<KStringView> Field(KStringView text, size_t index) {
    size_t start = 0;
    for (size_t i = 0; i < index; ++i) {
        const size_t comma = text.find(u',', start);
        if (comma == KStringView::npos) return std::nullopt;
        start = comma + 1;
    }
    const size_t end = text.find(u',', start);
    return text.substr(start, end == KStringView::npos ? KStringView::npos : end - start);
}

/// The first `count` characters equal, as a bounded string comparison sees it.
bool PrefixEqualsNoCase(KStringView a, KStringView b, size_t count) {
    return EqualsNoCase(a.substr(0, count), b.substr(0, count));
}

/// The language file's name (before the first comma of the entry); empty when the
/// entry has none or names something other than a plain file.
KString EntryFileName(const KRString& entry) {
    const size_t comma = entry.Value().find(u',');
    if (comma == KString::npos) return {};
    KString name = entry.Value().substr(0, comma);
    if (name.find_first_of(u"/\\") != KString::npos || name == u"." || name == u"..") return {};
    return name;
}

}  // namespace

bool RebuildLanguageChoices(KRegistry& tree, const std::filesystem::path& programFolder) {
    KRGroup* choices = tree.FindGroup(kChoicesPath);
    if (choices == nullptr) return false;
    choices->SetSaved(false);
    choices->Clear();  // stale entries from a hand-edited settings file must not survive

    std::vector<std::filesystem::path> files;
    std::error_code ec;
    std::filesystem::directory_iterator it(programFolder, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::error_code entryError;
        if (HasLanguageExtension(it->path()) && it->is_regular_file(entryError)) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());

    int next = 1;
    for (const std::filesystem::path& file : files) {
        KString header;
        try {
            KTextReader reader(file, KCharMode::Detect);
            if (!reader.ReadLine(header) || !reader.LastLineEnded()) continue;
        } catch (const KError&) {
            continue;
        }
        const KString line = ToKString(next) + u":String=" + FromPath(file.filename()) + u',' + header;
        if (choices->Define(line) != nullptr) ++next;
    }
    return true;
}

KRString* FindLanguageChoice(KRegistry& tree) {
    const KString choice = tree.GetText(u"Language\\Choice");
    KRGroup* choices = tree.FindGroup(kChoicesPath);
    if (choice.empty() || choices == nullptr) return nullptr;
    KRString* best = nullptr;
    int bestLevel = 0;
    for (const auto& child : choices->Children()) {
        auto* entry = dynamic_cast<KRString*>(child.get());
        if (entry == nullptr) continue;
        const auto field = Field(entry->Value(), 2);
        if (!field) continue;
        const KStringView locale = Trim(*field);
        if (locale.empty()) continue;
        int level = 0;
        if (EqualsNoCase(locale, choice)) {
            level = 3;
        } else if (PrefixEqualsNoCase(locale, choice, 5)) {
            level = 2;
        } else if (PrefixEqualsNoCase(locale, choice, 2)) {
            level = 1;
        }
        if (level > bestLevel) {
            best = entry;
            bestLevel = level;
        }
    }
    return best;
}

KLanguageLoadResult LoadLanguage(KRegistry& tree, const std::filesystem::path& programFolder) {
    KLanguageLoadResult result;
    const KRString* entry = FindLanguageChoice(tree);
    if (entry == nullptr) return result;
    const KString name = EntryFileName(*entry);
    if (name.empty()) return result;
    const std::filesystem::path path = KFindFile(programFolder, name);
    if (path.empty()) return result;
    try {
        KTextReader reader(path, KCharMode::Detect);
        result.mode = reader.Mode();
        result.loaded = true;
        KString header;
        if (reader.ReadLine(header)) tree.Load(reader);  // Load takes the version line as its header
    } catch (const KError&) {
        // What was merged before the failure stays: a mix of the language and English.
    }
    return result;
}

bool WriteLanguageFile(KRegistry& tree, const std::filesystem::path& programFolder, KCharMode mode) {
    const KRString* entry = FindLanguageChoice(tree);
    if (entry == nullptr) return false;
    const KString name = EntryFileName(*entry);
    if (name.empty()) return false;
    const KString header = entry->Value().substr(name.size() + 1);
    return WriteTextFile(programFolder / ToPath(name), mode, [&](KTextWriter& writer) {
        writer.WriteLine(header);
        writer.WriteLine(KRegistry::kHeader);
        if (const KRGroup* strings = tree.FindGroup(u"Strings\\"))
            strings->Write(KStringView(), [&writer](KStringView line) { writer.WriteLine(line); });
    });
}
