#include "settings/KLanguage.h"

#include <gtest/gtest.h>

#include "SettingsTestTree.h"

namespace {

class KLanguageTest : public SettingsTest {
protected:
    /// A language file with the given header and setting lines, Latin-1 with CR LF.
    void AddLanguage(const std::string& name, const std::string& header, const std::string& lines = "") {
        WriteBytes(program / name, header + "\r\nRegistry Version: 1.00\r\n" + lines);
    }
    /// Lists the files and chooses `locale`, as a start-up does.
    void Choose(KStringView locale) {
        ASSERT_TRUE(RebuildLanguageChoices(tree, program.Path()));
        tree.Define(u"Language\\Choice:String=" + KString(locale));
    }

    KTempFolder program;
};

TEST_F(KLanguageTest, ChoicesListTheReadableLanguageFilesByNameWithTheirHeaders) {
    AddLanguage("b.lng", "Deutsch,de_DE");
    AddLanguage("a.LNG", "English,en");
    WriteBytes(program / "c.lng", "Header without line end");
    AddLanguage("e.lng", "Fran\xE7\x61is,fr,extra");
    AddLanguage("notes.txt", "Other,xx");
    std::filesystem::create_directories(program / "folder.lng");
    tree.Define(u"Language\\Choices\\9:String=stale.lng,Old,xx");  // as a hand-edited settings file may hold
    ASSERT_TRUE(RebuildLanguageChoices(tree, program.Path()));
    EXPECT_EQ(tree.FindGroup(u"Language\\Choices\\")->ChildCount(), 3u);
    EXPECT_EQ(tree.GetText(u"Language\\Choices\\1"), u"a.LNG,English,en");
    EXPECT_EQ(tree.GetText(u"Language\\Choices\\2"), u"b.lng,Deutsch,de_DE");
    EXPECT_EQ(tree.GetText(u"Language\\Choices\\3"), u"e.lng,Fran\u00E7ais,fr,extra");
    EXPECT_FALSE(tree.FindGroup(u"Language\\Choices\\")->IsSaved()) << "rebuilt at every start";
    EXPECT_TRUE(RebuildLanguageChoices(tree, program / "missing-folder"));
    EXPECT_EQ(tree.FindGroup(u"Language\\Choices\\")->ChildCount(), 0u);
    KRegistry bare;
    EXPECT_FALSE(RebuildLanguageChoices(bare, program.Path()));
}

TEST_F(KLanguageTest, BestMatchByLevelEarlierEntryWinsTies) {
    // Each case is "choice: header of 1.lng / header of 2.lng -> the file chosen". In order: both
    // reach level 1 only, so the first listed wins; the whole name beats the first listed; five
    // characters beat two; case does not matter; no match, or no choice, leaves English; an entry
    // without a locale field is skipped, and an empty locale matches nothing.
    for (const KStringView c :
         {u"de_AT: G,de_DE / G,de -> 1.lng", u"de_AT: G,de / G,de_AT -> 2.lng",
          u"en_US.1252: E,en / E,en_US -> 2.lng", u"en_US: E,en_GB / E,en -> 1.lng",
          u"EN_us: E,en_GB / E,en_US -> 2.lng", u"fr: E,en / G,de -> none", u": E,en / G,de -> none",
          u"en: English / E, en  -> 2.lng", u"en: E, / E,en -> 2.lng"}) {
        const size_t colon = c.find(u": "), slash = c.find(u" / "), arrow = c.find(u" -> ");
        WriteBytes(program / "1.lng", ToLatin1(c.substr(colon + 2, slash - colon - 2)) + "\r\n");
        WriteBytes(program / "2.lng", ToLatin1(c.substr(slash + 3, arrow - slash - 3)) + "\r\n");
        Choose(c.substr(0, colon));
        const KRString* entry = FindLanguageChoice(tree);
        EXPECT_EQ(entry ? entry->Value().substr(0, 5) : KString(u"none"), c.substr(arrow + 4)) << ToUtf8(c);
    }
}

TEST_F(KLanguageTest, FileOverridesOnlyTheTextsItNamesFoundInAnyCaseAndNoMatchOrNoFileLeavesEnglish) {
    AddLanguage("Deutsch.lng", "Deutsch,de",
                "Strings\\:,1=\r\nStrings\\Alerts\\:,1=\r\nStrings\\Alerts\\Error:String,1=Fehler\r\n"
                "Strings\\Missing\\Text:String,1=ignored\r\nnot a setting line\r\n"
                "Strings\\Dialog\\Cancel:String,1=Abbrechen\r\n");
    Choose(u"fr_FR");
    EXPECT_FALSE(LoadLanguage(tree, program.Path()).loaded);
    Choose(u"de_DE");
    std::filesystem::rename(program / "Deutsch.lng", program / "deutsch.lng");
    const KLanguageLoadResult result = LoadLanguage(tree, program.Path());
    EXPECT_TRUE(result.loaded);
    EXPECT_EQ(result.mode, KCharMode::SingleByte);
    EXPECT_EQ(tree.GetText(u"Strings\\Alerts\\Error"), u"Fehler");
    EXPECT_EQ(tree.GetText(u"Strings\\Dialog\\Cancel"), u"Abbrechen");
    EXPECT_EQ(tree.GetText(u"Strings\\Dialog\\Ok"), u"Ok");
    EXPECT_EQ(tree.Find(u"Strings\\Missing\\"), nullptr);

    // A Unicode file; a file gone since the list was built is no language.
    WriteBytes(program / "deutsch.lng", Utf16Bytes(u"Deutsch,de\r\nRegistry Version: 1.00\r\n"
                                                   u"Strings\\Alerts\\Error:String=Fehl\u0153r\r\n"));
    Choose(u"de");
    EXPECT_EQ(LoadLanguage(tree, program.Path()).mode, KCharMode::Unicode);
    EXPECT_EQ(tree.GetText(u"Strings\\Alerts\\Error"), u"Fehl\u0153r");
    std::filesystem::remove(program / "deutsch.lng");
    EXPECT_EQ(LoadLanguage(tree, program.Path()).mode, KCharMode::Detect);
}

// How the written file is laid out, and that it reads back identical, is shown with the shipped
// German file; here, the header of the entry is written whole.
TEST_F(KLanguageTest, NeverReadLanguageIsWrittenAsUtf16AndNoMatchWritesNothing) {
    AddLanguage("English.lng", "English,en,extra");
    Choose(u"fr");
    EXPECT_FALSE(WriteLanguageFile(tree, program.Path(), KCharMode::Detect));
    EXPECT_EQ(ReadBytes(program / "English.lng"), "English,en,extra\r\nRegistry Version: 1.00\r\n");
    EXPECT_EQ(CountEntries(program.Path()), 1u);

    Choose(u"en_US");
    ASSERT_TRUE(WriteLanguageFile(tree, program.Path(), KCharMode::Detect));
    EXPECT_TRUE(ReadBytes(program / "English.lng").starts_with(Utf16Bytes(u"E")));
    EXPECT_EQ(FileLines(program / "English.lng")[0], u"English,en,extra");
}

}  // namespace
