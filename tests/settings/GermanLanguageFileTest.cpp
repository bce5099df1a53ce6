#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "SettingsTestTree.h"
#include "foundation/KTextFile.h"
#include "settings/KDefaultSettings.h"
#include "settings/KLanguage.h"

namespace {

const std::filesystem::path kGermanFile = std::filesystem::path(KESTRUN_SOURCE_DIR) / "data" / "Deutsch.lng";

/// Text lines of the file by key (path before the colon).
std::map<KString, KString> GermanTexts() {
    std::map<KString, KString> texts;
    const std::vector<KString> lines = FileLines(kGermanFile);  // Latin-1, as the program reads it
    for (size_t i = 2; i < lines.size(); ++i) {
        const KString& line = lines[i];
        const size_t colon = line.find(u':');
        if (colon == KString::npos || line[colon - 1] == u'\\') continue;
        texts.emplace(line.substr(0, colon), line.substr(line.find(u'=', colon) + 1));
    }
    return texts;
}

size_t Count(KStringView text, KStringView part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != KStringView::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

class GermanLanguageFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        LoadDefaults(tree);
        Walk(*tree.FindGroup(u"Strings\\"), u"Strings\\", [this](const KString& key, const KRNode& node) {
            if (const auto* text = dynamic_cast<const KRString*>(&node)) english.emplace(key, text->Value());
        });
    }
    KRegistry tree;
    std::map<KString, KString> english;
};

TEST_F(GermanLanguageFileTest, LineBreaksAndDocumentedDefaultsAreKept) {
    const std::map<KString, KString> german = GermanTexts();
    for (const auto& [key, text] : english) {
        const auto it = german.find(key);
        if (it == german.end()) continue;
        EXPECT_EQ(Count(it->second, u"\\n"), Count(text, u"\\n")) << ToUtf8(key);
        const size_t defaultAt = text.rfind(u"\\n\\nDefault: ");
        if (defaultAt == KString::npos) continue;
        const KString value = text.substr(defaultAt + 13);
        if (value == u"(empty)" || value.starts_with(u"none")) continue;
        EXPECT_TRUE(it->second.ends_with(u"\\n\\nStandard: " + value)) << ToUtf8(key);
    }
}

TEST_F(GermanLanguageFileTest, MenuItemsKeepTheirShortcutsAndHaveDistinctMnemonics) {
    const std::map<KString, KString> german = GermanTexts();
    std::map<KString, std::set<KChar>> mnemonics;  // by menu; menu titles share the bar
    for (const auto& [key, text] : german) {
        if (!key.starts_with(u"Strings\\MenuBar\\")) continue;
        const size_t comma = text.find(u',');
        const size_t englishComma = english[key].find(u',');
        EXPECT_EQ(comma == KString::npos ? KString() : text.substr(comma),
                  englishComma == KString::npos ? KString() : english[key].substr(englishComma))
            << ToUtf8(key);
        const size_t amp = text.find(u'&');
        if (amp == KString::npos || amp + 1 >= text.size()) continue;
        const KString menu = key.ends_with(u"\\Title") ? KString(u"bar") : key.substr(0, key.rfind(u'\\'));
        EXPECT_TRUE(mnemonics[menu].insert(FoldCase(text[amp + 1])).second) << ToUtf8(key);
    }
    EXPECT_GE(mnemonics.size(), 6u);
}

TEST_F(GermanLanguageFileTest, ChosenByItsLocaleAndWrittenBackByteForByte) {
    KTempFolder folder;
    std::filesystem::copy_file(kGermanFile, folder.Path() / "Deutsch.lng");
    tree.FindString(u"Language\\Choice")->SetValue(u"de_DE");
    ASSERT_TRUE(RebuildLanguageChoices(tree, folder.Path()));
    EXPECT_EQ(tree.GetText(u"Language\\Choices\\1"), u"Deutsch.lng,Deutsch,de");

    const KLanguageLoadResult result = LoadLanguage(tree, folder.Path());
    EXPECT_TRUE(result.loaded);
    EXPECT_EQ(result.mode, KCharMode::SingleByte);
    EXPECT_EQ(tree.GetText(u"Strings\\Dialog\\Cancel"), u"Abbrechen");
    // Texts compared with what timing systems send stay as they are; settings are untouched.
    EXPECT_EQ(tree.GetText(u"Strings\\Event\\Results\\Codes\\DidNotFinish"), u"DNF");
    EXPECT_EQ(tree.FindInt(u"General\\MainWindow\\Left")->Value(), 10);

    // The file is exactly what the program writes as a template from these texts: one line for every
    // text of the default table and nothing else.
    ASSERT_TRUE(WriteLanguageFile(tree, folder.Path(), result.mode));
    EXPECT_TRUE(ReadBytes(folder / "Deutsch.lng") == ReadBytes(kGermanFile)) << "not byte for byte";
}

}  // namespace
