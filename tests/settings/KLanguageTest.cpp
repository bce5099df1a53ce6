#include "settings/KLanguage.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "SettingsTestTree.h"
#include "settings/KSettingsFile.h"

namespace {

class KLanguageTest : public ::testing::Test {
protected:
    void SetUp() override { LoadTestDefaults(tree); }

    void AddFile(const std::string& name, const std::string& bytes) { WriteBytes(program / name, bytes); }
    /// A language file with the given header and setting lines, Latin-1 with CR LF.
    void AddLanguage(const std::string& name, const std::string& header, const std::string& lines = "") {
        AddFile(name, header + "\r\nRegistry Version: 1.00\r\n" + lines);
    }
    void Choose(KStringView locale) { tree.Define(u"Language\\Choice:String=" + KString(locale)); }
    KString ChosenFile() {
        const KRString* entry = FindLanguageChoice(tree);
        return entry == nullptr ? KString() : entry->Value().substr(0, entry->Value().find(u','));
    }
    std::vector<KString> ChoiceValues() {
        std::vector<KString> values;
        for (const auto& child : tree.FindGroup(u"Language\\Choices\\")->Children())
            values.push_back(child->Name() + u'=' + static_cast<const KRString&>(*child).Value());
        return values;
    }

    KTempFolder program;
    KRegistry tree;
};

TEST_F(KLanguageTest, ChoicesListTheLanguageFilesByNameWithTheirHeaders) {
    AddLanguage("b.lng", "Deutsch,de_DE");
    AddLanguage("a.LNG", "English,en");
    AddFile("c.lng", "Header without line end");
    AddFile("d.lng", "");
    AddLanguage("e.lng",
                "Fran\xE7"
                "ais,fr,extra");
    AddLanguage("notes.txt", "Other,xx");
    std::filesystem::create_directories(program / "folder.lng");
    tree.Define(u"Language\\Choices\\9:String=stale.lng,Old,xx");  // as a hand-edited settings file may hold

    ASSERT_TRUE(RebuildLanguageChoices(tree, program.Path()));
    EXPECT_EQ(ChoiceValues(), (std::vector<KString>{u"1=a.LNG,English,en", u"2=b.lng,Deutsch,de_DE",
                                                    u"3=e.lng,Fran\u00E7ais,fr,extra"}));
    EXPECT_FALSE(tree.FindGroup(u"Language\\Choices\\")->IsSaved());
}

TEST_F(KLanguageTest, RebuiltChoicesAndTextsNeverReachTheSettingsFile) {
    AddLanguage("Deutsch.lng", "Deutsch,de", "Strings\\Alerts\\Error:String,1=Fehler\r\n");
    RebuildLanguageChoices(tree, program.Path());
    Choose(u"de");
    LoadLanguage(tree, program.Path());
    KTempFolder documents;
    ASSERT_TRUE(SaveSettingsFile(tree, documents.Path(), KCharMode::Detect));
    const std::vector<KString> lines = FileLines(SettingsFilePath(documents.Path()));
    for (const KString& line : lines) {
        EXPECT_FALSE(StartsWithNoCase(line, u"\\Strings\\")) << ToUtf8(line);
        EXPECT_FALSE(StartsWithNoCase(line, u"\\Language\\Choices\\")) << ToUtf8(line);
    }
    EXPECT_NE(std::find(lines.begin(), lines.end(), u"\\Language\\Choice:String,1=de"), lines.end());
}

TEST_F(KLanguageTest, RebuildNeedsTheChoicesGroup) {
    KRegistry bare;
    EXPECT_FALSE(RebuildLanguageChoices(bare, program.Path()));
    EXPECT_TRUE(RebuildLanguageChoices(tree, program / "missing-folder"));
    EXPECT_TRUE(ChoiceValues().empty());
}

TEST_F(KLanguageTest, BestMatchByLevelEarlierEntryWinsTies) {
    struct Case {
        const char16_t* choice;
        const char* first;   // header of 1.lng
        const char* second;  // header of 2.lng
        const char16_t* chosen;
    };
    const Case cases[] = {
        {u"de_AT", "G,de_DE", "G,de", u"1.lng"},  // both reach level 1 only: the first listed
        {u"de_AT", "G,de", "G,de_DE", u"1.lng"},
        {u"de_AT", "G,de", "G,de_AT", u"2.lng"},       // the whole name beats the first listed
        {u"en_US.1252", "E,en", "E,en_US", u"2.lng"},  // five characters beat two
        {u"en_US", "E,en_GB", "E,en", u"1.lng"},
        {u"en_US", "E,en", "E,en_GB", u"1.lng"},
        {u"EN_us", "E,en_GB", "E,en_US", u"2.lng"},  // without regard to case
        {u"fr", "E,en", "G,de", u""},
        {u"", "E,en", "G,de", u""},              // no choice: English stays
        {u"en", "English", "E, en ", u"2.lng"},  // no locale field: skipped
        {u"en", "E,", "E,en", u"2.lng"},         // an empty locale matches nothing
    };
    for (const Case& c : cases) {
        KTempFolder folder;
        WriteBytes(folder / "1.lng", std::string(c.first) + "\r\n");
        WriteBytes(folder / "2.lng", std::string(c.second) + "\r\n");
        ASSERT_TRUE(RebuildLanguageChoices(tree, folder.Path()));
        Choose(c.choice);
        EXPECT_EQ(ChosenFile(), c.chosen) << ToUtf8(c.choice) << " " << c.first << " / " << c.second;
    }
}

TEST_F(KLanguageTest, PartialLanguageFileOverridesOnlyWhatItNames) {
    AddLanguage("Deutsch.lng", "Deutsch,de",
                "Strings\\:,1=\r\nStrings\\Alerts\\:,1=\r\nStrings\\Alerts\\Error:String,1=Fehler\r\n"
                "Strings\\Missing\\Text:String,1=ignored\r\nnot a setting line\r\n"
                "Strings\\Dialog\\Cancel:String,1=Abbrechen\r\n");
    RebuildLanguageChoices(tree, program.Path());
    Choose(u"de_DE");
    const KLanguageLoadResult result = LoadLanguage(tree, program.Path());
    EXPECT_TRUE(result.loaded);
    EXPECT_EQ(result.mode, KCharMode::SingleByte);
    EXPECT_EQ(tree.GetText(u"Strings\\Alerts\\Error"), u"Fehler");
    EXPECT_EQ(tree.GetText(u"Strings\\Dialog\\Cancel"), u"Abbrechen");
    EXPECT_EQ(tree.GetText(u"Strings\\Dialog\\Ok"), u"Ok");
    EXPECT_EQ(tree.GetText(u"Strings\\Alerts\\OperationFailed"), u"Operation failed");
    EXPECT_EQ(tree.Find(u"Strings\\Missing\\"), nullptr);
}

TEST_F(KLanguageTest, NoMatchingOrUnreadableFileLeavesEnglish) {
    AddLanguage("Deutsch.lng", "Deutsch,de", "Strings\\Alerts\\Error:String,1=Fehler\r\n");
    RebuildLanguageChoices(tree, program.Path());
    Choose(u"");
    EXPECT_FALSE(LoadLanguage(tree, program.Path()).loaded);
    Choose(u"fr_FR");
    EXPECT_FALSE(LoadLanguage(tree, program.Path()).loaded);
    Choose(u"de");
    std::filesystem::remove(program / "Deutsch.lng");  // gone since the list was built
    const KLanguageLoadResult result = LoadLanguage(tree, program.Path());
    EXPECT_FALSE(result.loaded);
    EXPECT_EQ(result.mode, KCharMode::Detect);
    EXPECT_EQ(tree.GetText(u"Strings\\Alerts\\Error"), u"Error");
}

TEST_F(KLanguageTest, FileNamedInAnyCaseIsFoundAndUnicodeModeIsReported) {
    AddFile(
        "Deutsch.lng",
        Utf16Bytes(u"Deutsch,de\r\nRegistry Version: 1.00\r\nStrings\\Alerts\\Error:String=Fehl\u0153r\r\n"));
    RebuildLanguageChoices(tree, program.Path());
    std::filesystem::rename(program / "Deutsch.lng", program / "deutsch.lng");
    Choose(u"de");
    const KLanguageLoadResult result = LoadLanguage(tree, program.Path());
    EXPECT_TRUE(result.loaded);
    EXPECT_EQ(result.mode, KCharMode::Unicode);
    EXPECT_EQ(tree.GetText(u"Strings\\Alerts\\Error"), u"Fehl\u0153r");
}

TEST_F(KLanguageTest, TemplateIsWrittenAndReadsBackIdentical) {
    AddLanguage("Deutsch.lng", "Deutsch,de,German",
                "Strings\\Alerts\\Error:String,1=Fehler\r\nStrings\\Dialog\\Ok:String,1=Gut = \\n zwei\r\n");
    RebuildLanguageChoices(tree, program.Path());
    Choose(u"de_CH");
    const KLanguageLoadResult loaded = LoadLanguage(tree, program.Path());
    ASSERT_TRUE(WriteLanguageFile(tree, program.Path(), loaded.mode));
    const std::string first = ReadBytes(program / "Deutsch.lng");
    const std::vector<KString> lines = FileLines(program / "Deutsch.lng");
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], u"Deutsch,de,German");
    EXPECT_EQ(lines[1], u"Registry Version: 1.00");
    EXPECT_EQ(lines[2], u"Strings\\:,1=");
    for (size_t i = 2; i < lines.size(); ++i)
        EXPECT_TRUE(StartsWithNoCase(lines[i], u"Strings\\")) << ToUtf8(lines[i]);
    EXPECT_NE(std::find(lines.begin(), lines.end(), u"Strings\\Dialog\\Ok:String,1=Gut = \\n zwei"),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), u"Strings\\Dialog\\Cancel:String,1=Cancel"), lines.end());

    KRegistry next;
    LoadTestDefaults(next);
    next.Define(u"Language\\Choice:String=de");
    RebuildLanguageChoices(next, program.Path());
    const KLanguageLoadResult reread = LoadLanguage(next, program.Path());
    ASSERT_TRUE(reread.loaded);
    ASSERT_TRUE(WriteLanguageFile(next, program.Path(), reread.mode));
    EXPECT_EQ(ReadBytes(program / "Deutsch.lng"), first);
}

TEST_F(KLanguageTest, NeverReadLanguageIsWrittenAsUtf16) {
    AddFile("English.lng", "English,en\r\n");
    RebuildLanguageChoices(tree, program.Path());
    Choose(u"en_US");
    ASSERT_TRUE(WriteLanguageFile(tree, program.Path(), KCharMode::Detect));
    const std::string bytes = ReadBytes(program / "English.lng");
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFE"
                                              "E\0",
                                              4));
    EXPECT_EQ(FileLines(program / "English.lng")[0], u"English,en");
}

TEST_F(KLanguageTest, NoMatchingChoiceWritesNothing) {
    AddLanguage("Deutsch.lng", "Deutsch,de");
    RebuildLanguageChoices(tree, program.Path());
    Choose(u"fr");
    const std::string before = ReadBytes(program / "Deutsch.lng");
    EXPECT_FALSE(WriteLanguageFile(tree, program.Path(), KCharMode::Detect));
    EXPECT_EQ(ReadBytes(program / "Deutsch.lng"), before);
    EXPECT_EQ(CountEntries(program.Path()), 1u);
}

}  // namespace
