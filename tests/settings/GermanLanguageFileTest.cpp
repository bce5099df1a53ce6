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

/// The default table with the shipped German file chosen by its locale and loaded over it.
class GermanLanguageFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        LoadDefaults(tree);
        english = Texts();
        std::filesystem::copy_file(kGermanFile, folder / "Deutsch.lng");
        tree.FindString(u"Language\\Choice")->SetValue(u"de_DE");
        ASSERT_TRUE(RebuildLanguageChoices(tree, folder.Path()));
        result = LoadLanguage(tree, folder.Path());
        german = Texts();
    }
    std::map<KString, KString> Texts() {
        std::map<KString, KString> texts;
        Walk(*tree.FindGroup(u"Strings\\"), u"Strings\\", [&texts](const KString& key, const KRNode& node) {
            if (const auto* text = dynamic_cast<const KRString*>(&node)) texts.emplace(key, text->Value());
        });
        return texts;
    }
    KTempFolder folder;
    KRegistry tree;
    KLanguageLoadResult result;
    std::map<KString, KString> english, german;
};

TEST_F(GermanLanguageFileTest, LineBreaksAndDocumentedDefaultsAreKept) {
    for (const auto& [key, text] : english) {
        EXPECT_EQ(LineBreaks(german[key]), LineBreaks(text)) << ToUtf8(key);
        const size_t defaultAt = text.rfind(u"\\n\\nDefault: ");
        if (defaultAt == KString::npos) continue;
        const KString value = text.substr(defaultAt + 13);
        if (value == u"(empty)" || value.starts_with(u"none")) continue;
        EXPECT_TRUE(german[key].ends_with(u"\\n\\nStandard: " + value)) << ToUtf8(key);
    }
}

TEST_F(GermanLanguageFileTest, MenuItemsKeepTheirShortcutsAndHaveDistinctMnemonics) {
    std::map<KString, std::set<KChar>> mnemonics;  // by menu; menu titles share the bar
    for (const auto& [key, text] : german) {
        if (!key.starts_with(u"Strings\\MenuBar\\")) continue;
        EXPECT_EQ(Shortcut(text), Shortcut(english[key])) << ToUtf8(key);
        const size_t amp = text.find(u'&');
        if (amp == KString::npos || amp + 1 >= text.size()) continue;
        const KString menu = key.ends_with(u"\\Title") ? KString(u"bar") : key.substr(0, key.rfind(u'\\'));
        EXPECT_TRUE(mnemonics[menu].insert(FoldCase(text[amp + 1])).second) << ToUtf8(key);
    }
    EXPECT_GE(mnemonics.size(), 6u);
}

TEST_F(GermanLanguageFileTest, ChosenByItsLocaleAndWrittenBackByteForByte) {
    EXPECT_EQ(tree.GetText(u"Language\\Choices\\1"), u"Deutsch.lng,Deutsch,de");
    EXPECT_TRUE(result.loaded);
    EXPECT_EQ(result.mode, KCharMode::SingleByte);
    EXPECT_EQ(german[u"Strings\\Dialog\\Cancel"], u"Abbrechen");
    // Texts compared with what timing systems send stay as they are.
    EXPECT_EQ(german[u"Strings\\Event\\Results\\Codes\\DidNotFinish"], u"DNF");

    // The file is exactly what the program writes as a template from these texts: one line for every
    // text of the default table and nothing else.
    ASSERT_TRUE(WriteLanguageFile(tree, folder.Path(), result.mode));
    EXPECT_TRUE(ReadBytes(folder / "Deutsch.lng") == ReadBytes(kGermanFile)) << "not byte for byte";
}

}  // namespace
