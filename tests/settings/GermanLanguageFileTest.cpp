#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "SettingsTestTree.h"
#include "settings/KDefaultSettings.h"
#include "settings/KLanguage.h"

namespace {

const std::filesystem::path kGermanFile = std::filesystem::path(KESTRUN_SOURCE_DIR) / "data" / "Deutsch.lng";

size_t LineBreaks(KStringView text) {
    size_t n = 0;
    for (size_t at = 0; (at = text.find(u"\\n", at)) != KStringView::npos; at += 2) ++n;
    return n;
}

/// From the comma on: the shortcut of a menu item.
KString Shortcut(const KString& text) { return text.substr(std::min(text.find(u','), text.size())); }

/// Every text below Strings\ by its key.
std::map<KString, KString> Texts(KRegistry& tree) {
    std::map<KString, KString> texts;
    Walk(*tree.FindGroup(u"Strings\\"), u"Strings\\", [&texts](const KString& key, const KRNode& node) {
        if (const auto* text = dynamic_cast<const KRString*>(&node)) texts.emplace(key, text->Value());
    });
    return texts;
}

TEST(GermanLanguageFile, ChosenByItsLocaleKeepsLineBreaksDefaultsAndShortcutsAndIsWrittenBackByteForByte) {
    KTempFolder folder;
    KRegistry tree;
    LoadDefaults(tree);
    const std::map<KString, KString> english = Texts(tree);
    std::filesystem::copy_file(kGermanFile, folder / "Deutsch.lng");
    tree.FindString(u"Language\\Choice")->SetValue(u"de_DE");
    ASSERT_TRUE(RebuildLanguageChoices(tree, folder.Path()));
    const KLanguageLoadResult result = LoadLanguage(tree, folder.Path());
    std::map<KString, KString> german = Texts(tree);
    EXPECT_EQ(tree.GetText(u"Language\\Choices\\1"), u"Deutsch.lng,Deutsch,de");
    EXPECT_TRUE(result.loaded);
    EXPECT_EQ(result.mode, KCharMode::SingleByte);
    EXPECT_EQ(german[u"Strings\\Dialog\\Cancel"], u"Abbrechen");
    // Texts compared with what timing systems send stay as they are.
    EXPECT_EQ(german[u"Strings\\Event\\Results\\Codes\\DidNotFinish"], u"DNF");

    std::map<KString, std::set<KChar>> mnemonics;  // by menu; menu titles share the bar
    for (const auto& [key, text] : english) {
        EXPECT_EQ(LineBreaks(german[key]), LineBreaks(text)) << ToUtf8(key);
        const size_t defaultAt = text.rfind(u"\\n\\nDefault: ");
        const KString value = defaultAt == KString::npos ? KString() : text.substr(defaultAt + 13);
        if (!value.empty() && value != u"(empty)" && !value.starts_with(u"none")) {
            EXPECT_TRUE(german[key].ends_with(u"\\n\\nStandard: " + value)) << ToUtf8(key);
        }
        if (!key.starts_with(u"Strings\\MenuBar\\")) continue;
        const KString& item = german[key];
        EXPECT_EQ(Shortcut(item), Shortcut(text)) << ToUtf8(key);
        const size_t amp = item.find(u'&');
        if (amp == KString::npos || amp + 1 >= item.size()) continue;
        const KString menu = key.ends_with(u"\\Title") ? KString(u"bar") : key.substr(0, key.rfind(u'\\'));
        EXPECT_TRUE(mnemonics[menu].insert(FoldCase(item[amp + 1])).second) << ToUtf8(key);
    }
    EXPECT_GE(mnemonics.size(), 6u);

    // The file is exactly what the program writes as a template from these texts: one line for every
    // text of the default table and nothing else.
    ASSERT_TRUE(WriteLanguageFile(tree, folder.Path(), result.mode));
    EXPECT_TRUE(ReadBytes(folder / "Deutsch.lng") == ReadBytes(kGermanFile)) << "not byte for byte";
}

}  // namespace
