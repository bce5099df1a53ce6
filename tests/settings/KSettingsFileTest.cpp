#include "settings/KSettingsFile.h"

#include <gtest/gtest.h>

#include "SettingsTestTree.h"

namespace {

class KSettingsFileTest : public SettingsTest {
protected:
    std::filesystem::path File() const { return SettingsFilePath(documents.Path()); }
    void WriteFile(const std::string& bytes) {
        std::filesystem::create_directories(SettingsFolder(documents.Path()));
        WriteBytes(File(), bytes);
    }
    /// A second start: the defaults, then the file.
    KSettingsLoadResult LoadNext(KRegistry& next) {
        LoadTestDefaults(next);
        return LoadSettingsFile(next, documents.Path());
    }
    int Left(KRegistry& registry) { return registry.FindInt(u"General\\MainWindow\\Left")->Value(); }

    KTempFolder documents;
};

TEST_F(KSettingsFileTest, FileOverridesDefaultsInEveryCharacterModeAndLinesThatDoNotMergeAreSkipped) {
    // Each line end splits lines (the reader's own, see KTextReader). The first line is the header.
    const auto text = [](const char16_t* end) {
        KString t;
        for (const char16_t* line :
             {u"\\General\\MainWindow\\Top:Int,1,,=77", u"\\General\\MainWindow\\Left:Int,1,,=200", u"",
              u"\\General\\MainWindow\\Left:Int,1,,=abc", u"\\General\\Foo:String,1=b\u00E4r"})
            t += line + KString(end);
        return t;
    };
    const std::pair<std::string, KCharMode> encodings[] = {
        {ToLatin1(text(u"\n")), KCharMode::SingleByte},
        {Utf16Bytes(text(u"\r")), KCharMode::Unicode},
        {Utf16Bytes(text(u"\n\r"), true), KCharMode::Unicode}};
    for (const auto& [bytes, mode] : encodings) {
        SCOPED_TRACE(bytes.size());
        WriteFile(bytes);
        KRegistry next;
        const KSettingsLoadResult result = LoadNext(next);
        EXPECT_TRUE(result.ok && result.loaded);
        EXPECT_EQ(result.mode, mode);
        EXPECT_EQ(Left(next), 200);
        EXPECT_EQ(next.FindInt(u"General\\MainWindow\\Top")->Value(), 10);
        EXPECT_EQ(next.GetText(u"General\\Foo"), u"b\u00E4r");
    }
}

TEST_F(KSettingsFileTest, FirstStartSavesUnicodeAndLaterStartsKeepTheFilesModeUnlessATextNeedsIt) {
    EXPECT_EQ(File(), documents / "Velmar" / "Kestrun" / "Kestrun.cfg");
    KSettingsLoadResult result = LoadSettingsFile(tree, documents.Path());
    EXPECT_TRUE(result.ok && !result.loaded);
    EXPECT_FALSE(std::filesystem::exists(documents / "Velmar"));  // reading creates no folder
    WriteFile("");
    result = LoadSettingsFile(tree, documents.Path());
    EXPECT_TRUE(result.ok && !result.loaded);
    // The lines are the tree's own (see KRegistryWrite).
    ASSERT_TRUE(SaveSettingsFile(tree, documents.Path(), result.mode));
    EXPECT_TRUE(ReadBytes(File()).starts_with(Utf16Bytes(u"Registry Version: 1.00\r\n\\:,1=\r\n")));

    // User keys and changes reach the next start.
    WriteFile("Header\n\\:,1=\n\\General\\:,1=\n\\General\\Name:String,1=Jos\xE9\n");
    result = LoadSettingsFile(tree, documents.Path());
    ASSERT_EQ(result.mode, KCharMode::SingleByte);
    ASSERT_TRUE(SaveSettingsFile(tree, documents.Path(), result.mode));
    const std::string bytes = ReadBytes(File());
    EXPECT_TRUE(bytes.starts_with("Registry Version: 1.00\r\n"));
    EXPECT_NE(bytes.find("\\General\\Name:String,1=Jos\xE9\r\n"), std::string::npos);
    EXPECT_EQ(bytes.find("\\Strings\\"), std::string::npos)
        << "texts come from the defaults and the language";

    // A text that does not fit one byte (a non-scoring school) makes the file Unicode; deleted keys
    // have their defaults again.
    tree.FindString(u"General\\Name")->SetValue(u"\u0160kola");
    tree.Define(u"General\\ActivityLog:Bool=1");
    tree.Define(u"Event\\Results\\PaceDistance:Rat=1 1/2");
    tree.Define(u"General\\MainWindow\\Left:Int=250");
    tree.FindInt(u"General\\MainWindow\\Left")->SetDeleted(true);
    tree.Define(u"General\\Mine:String=x");
    tree.FindString(u"General\\Mine")->SetDeleted(true);
    ASSERT_TRUE(SaveSettingsFile(tree, documents.Path(), result.mode));
    EXPECT_TRUE(ReadBytes(File()).starts_with("\xFF\xFE"));
    KRegistry next;
    EXPECT_EQ(LoadNext(next).mode, KCharMode::Unicode);
    EXPECT_EQ(next.GetText(u"General\\Name"), u"\u0160kola");
    EXPECT_TRUE(next.FindBool(u"General\\ActivityLog")->Value());
    EXPECT_EQ(next.FindRat(u"Event\\Results\\PaceDistance")->Value(), (KRational{3, 2}));
    EXPECT_EQ(Left(next), 10);
    EXPECT_EQ(next.Find(u"General\\Mine"), nullptr);
}

TEST_F(KSettingsFileTest, UnreadableFileIsAnErrorKeepsTheDefaultsAndIsMovedAsideBeforeTheSave) {
    std::filesystem::create_directories(File() / "kept");  // a folder can be neither read nor replaced
    EXPECT_FALSE(SaveSettingsFile(tree, documents.Path(), KCharMode::Detect));
    const KSettingsLoadResult result = LoadSettingsFile(tree, documents.Path());
    EXPECT_FALSE(result.ok || result.loaded);
    EXPECT_EQ(Left(tree), 10);

    // The save at exit must not destroy what could not be read.
    EXPECT_EQ(result.backup, File() += ".bak");
    EXPECT_TRUE(std::filesystem::exists(result.backup / "kept"));
    EXPECT_TRUE(SaveSettingsFile(tree, documents.Path(), result.mode));
    EXPECT_TRUE(std::filesystem::is_regular_file(File()));
}

}  // namespace
