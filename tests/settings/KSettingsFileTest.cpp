#include "settings/KSettingsFile.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "SettingsTestTree.h"
#include "foundation/KError.h"

namespace {

class KSettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override { LoadTestDefaults(tree); }

    std::filesystem::path File() const { return SettingsFilePath(documents.Path()); }
    void WriteFile(const std::string& bytes) {
        std::filesystem::create_directories(SettingsFolder(documents.Path()));
        WriteBytes(File(), bytes);
    }
    std::vector<KString> Lines() const { return FileLines(File()); }

    KTempFolder documents;
    KRegistry tree;
};

TEST_F(KSettingsFileTest, PathIsVelmarKestrunInTheDocumentsFolder) {
    EXPECT_EQ(File(), documents.Path() / "Velmar" / "Kestrun" / "Kestrun.cfg");
}

TEST_F(KSettingsFileTest, MissingOrEmptyFileIsTheFirstStartNotAnError) {
    KSettingsLoadResult result = LoadSettingsFile(tree, documents.Path());
    EXPECT_TRUE(result.ok);
    EXPECT_FALSE(result.loaded);
    EXPECT_EQ(result.mode, KCharMode::Detect);
    EXPECT_FALSE(std::filesystem::exists(documents.Path() / "Velmar"));  // reading creates no folder

    WriteFile("");
    result = LoadSettingsFile(tree, documents.Path());
    EXPECT_TRUE(result.ok);
    EXPECT_FALSE(result.loaded);
    EXPECT_EQ(tree.FindInt(u"General\\MainWindow\\Left")->Value(), 10);
}

TEST_F(KSettingsFileTest, FileOverridesDefaultsInEveryCharacterModeAndLineEnd) {
    const KString body[] = {u"Registry Version: 1.00", u"\\:,1=", u"\\General\\:,1=",
                            u"\\General\\MainWindow\\Left:Int,1,,=200", u"\\General\\Foo:String,1=b\u00E4r"};
    const char16_t* lineEnds[] = {u"\r\n", u"\n", u"\r", u"\n\r"};
    for (const char16_t* lineEnd : lineEnds) {
        KString text;
        for (const KString& line : body) text += line + lineEnd;
        struct Encoding {
            std::string bytes;
            KCharMode mode;
        };
        const Encoding encodings[] = {{ToLatin1(text), KCharMode::SingleByte},
                                      {Utf16Bytes(text), KCharMode::Unicode},
                                      {Utf16Bytes(text, true), KCharMode::Unicode}};
        for (const Encoding& encoding : encodings) {
            KRegistry fresh;
            LoadTestDefaults(fresh);
            WriteFile(encoding.bytes);
            const KSettingsLoadResult result = LoadSettingsFile(fresh, documents.Path());
            SCOPED_TRACE(testing::Message() << "line end " << ToUtf8(lineEnd).size() << " mode "
                                            << static_cast<int>(encoding.mode));
            EXPECT_TRUE(result.ok);
            EXPECT_TRUE(result.loaded);
            EXPECT_EQ(result.mode, encoding.mode);
            EXPECT_EQ(fresh.FindInt(u"General\\MainWindow\\Left")->Value(), 200);
            EXPECT_EQ(fresh.FindInt(u"General\\MainWindow\\Top")->Value(), 10);  // omitted: default
            EXPECT_EQ(fresh.GetText(u"General\\Foo"), u"b\u00E4r");
        }
    }
}

TEST_F(KSettingsFileTest, FirstLineIsAlwaysTakenAsTheHeader) {
    WriteFile("\\General\\MainWindow\\Left:Int,1,,=200\r\n\\General\\MainWindow\\Top:Int,1,,=300\r\n");
    ASSERT_TRUE(LoadSettingsFile(tree, documents.Path()).loaded);
    EXPECT_EQ(tree.FindInt(u"General\\MainWindow\\Left")->Value(), 10);
    EXPECT_EQ(tree.FindInt(u"General\\MainWindow\\Top")->Value(), 300);
}

TEST_F(KSettingsFileTest, FirstSaveIsUtf16WithByteOrderMarkAndCrLf) {
    ASSERT_TRUE(SaveSettingsFile(tree, documents.Path(), LoadSettingsFile(tree, documents.Path()).mode));
    const std::string bytes = ReadBytes(File());
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFER\0", 4));
    const std::vector<KString> lines = Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], u"Registry Version: 1.00");
    EXPECT_EQ(lines[1], u"\\:,1=");
    EXPECT_EQ(lines[2], u"\\General\\:,1=");
    EXPECT_NE(std::find(lines.begin(), lines.end(), u"\\General\\MainWindow\\Left:Int,1,,=10"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), u"\\Event\\Results\\PaceDistance:Rat,1=0"), lines.end());
}

TEST_F(KSettingsFileTest, SingleByteFileWithLfIsWrittenBackSingleByteWithCrLf) {
    WriteFile("Header\n\\:,1=\n\\General\\:,1=\n\\General\\Name:String,1=Jos\xE9\n");
    const KSettingsLoadResult result = LoadSettingsFile(tree, documents.Path());
    ASSERT_EQ(result.mode, KCharMode::SingleByte);
    ASSERT_TRUE(SaveSettingsFile(tree, documents.Path(), result.mode));
    const std::string bytes = ReadBytes(File());
    EXPECT_EQ(bytes.substr(0, 24), "Registry Version: 1.00\r\n");
    EXPECT_NE(bytes.find("\\General\\Name:String,1=Jos\xE9\r\n"), std::string::npos);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), std::count(bytes.begin(), bytes.end(), '\r'));
}

TEST_F(KSettingsFileTest, TextsAndLanguageChoicesAreNeverWritten) {
    tree.Define(u"Language\\Choices\\1:String=de.lng,x,de");
    tree.FindGroup(u"Language\\Choices\\")->SetSaved(false);  // as the rebuild at start-up does
    ASSERT_TRUE(SaveSettingsFile(tree, documents.Path(), KCharMode::Detect));
    for (const KString& line : Lines()) {
        EXPECT_FALSE(StartsWithNoCase(line, u"\\Strings\\")) << ToUtf8(line);
        EXPECT_FALSE(StartsWithNoCase(line, u"\\Language\\Choices\\")) << ToUtf8(line);
    }
    EXPECT_EQ(tree.GetText(u"Strings\\Alerts\\Error"), u"Error");  // still in the tree
}

TEST_F(KSettingsFileTest, UserKeyIsCreatedOnReadingAndWrittenAgain) {
    WriteFile("Registry Version: 1.00\r\n\\:,1=\r\n\\General\\:,1=\r\n\\General\\Foo:String,1=bar\r\n");
    LoadSettingsFile(tree, documents.Path());
    EXPECT_EQ(tree.GetText(u"General\\Foo"), u"bar");
    ASSERT_TRUE(SaveSettingsFile(tree, documents.Path(), KCharMode::SingleByte));
    const std::vector<KString> lines = Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), u"\\General\\Foo:String,1=bar"), lines.end());
}

TEST_F(KSettingsFileTest, DeletedKeyIsNotWrittenAndHasItsDefaultAtTheNextStart) {
    tree.Define(u"General\\MainWindow\\Left:Int=250");
    tree.FindInt(u"General\\MainWindow\\Left")->SetDeleted(true);
    tree.Define(u"General\\Mine:String=x");
    tree.FindString(u"General\\Mine")->SetDeleted(true);
    ASSERT_TRUE(SaveSettingsFile(tree, documents.Path(), KCharMode::Detect));

    KRegistry next;
    LoadTestDefaults(next);
    ASSERT_TRUE(LoadSettingsFile(next, documents.Path()).loaded);
    EXPECT_EQ(next.FindInt(u"General\\MainWindow\\Left")->Value(), 10);
    EXPECT_EQ(next.Find(u"General\\Mine"), nullptr);
}

TEST_F(KSettingsFileTest, SavedTreeReadsBackTheSameValues) {
    tree.Define(u"General\\ActivityLog:Bool=1");
    tree.Define(u"Event\\Results\\PaceDistance:Rat=1 1/2");
    tree.Define(u"Language\\Choice:String=de_AT");
    ASSERT_TRUE(SaveSettingsFile(tree, documents.Path(), KCharMode::Unicode));
    KRegistry next;
    LoadTestDefaults(next);
    const KSettingsLoadResult result = LoadSettingsFile(next, documents.Path());
    EXPECT_EQ(result.mode, KCharMode::Unicode);
    EXPECT_TRUE(next.FindBool(u"General\\ActivityLog")->Value());
    EXPECT_EQ(next.FindRat(u"Event\\Results\\PaceDistance")->Value(), (KRational{3, 2}));
    EXPECT_EQ(next.GetText(u"Language\\Choice"), u"de_AT");
}

/// A node whose writing fails as a full disk would, part-way through the file.
class FailingNode : public KRString {
public:
    void Write(KStringView, const KRLineSink&) const override { throw KError(KErrorCode::kDiskFull, 28); }
};

TEST_F(KSettingsFileTest, FailedSaveKeepsThePreviousFileAndLeavesNoTemporary) {
    WriteFile("Registry Version: 1.00\r\nprevious\r\n");
    auto failing = std::make_unique<FailingNode>();
    failing->SetName(u"Broken");
    tree.FindGroup(u"General\\")->Add(std::move(failing));
    EXPECT_FALSE(SaveSettingsFile(tree, documents.Path(), KCharMode::SingleByte));
    EXPECT_EQ(ReadBytes(File()), "Registry Version: 1.00\r\nprevious\r\n");
    EXPECT_EQ(CountEntries(SettingsFolder(documents.Path())), 1u);
}

TEST_F(KSettingsFileTest, SaveFailsWhenTheFolderCannotBeCreated) {
    WriteBytes(documents.Path() / "Velmar", "a file where the folder should be");
    EXPECT_FALSE(SaveSettingsFile(tree, documents.Path(), KCharMode::Detect));
}

TEST_F(KSettingsFileTest, UnreadableFileIsAnErrorAndKeepsTheDefaults) {
    std::filesystem::create_directories(File());  // a folder cannot be read as a file
    const KSettingsLoadResult result = LoadSettingsFile(tree, documents.Path());
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.loaded);
    EXPECT_EQ(tree.FindInt(u"General\\MainWindow\\Left")->Value(), 10);
}

TEST_F(KSettingsFileTest, TreeLoadSkipsLinesThatDoNotMerge) {
    WriteFile(
        "H\r\n\r\n\\General\\MainWindow\\Left:Int,1,,=abc\r\n\\Nowhere\\X:Int,1,,=1\r\n"
        "\\General\\X:Weird,1=1\r\n\\General\\MainWindow\\Top:Int,1,,=77\r\n");
    ASSERT_TRUE(LoadSettingsFile(tree, documents.Path()).ok);
    EXPECT_EQ(tree.FindInt(u"General\\MainWindow\\Left")->Value(), 10);
    EXPECT_EQ(tree.FindInt(u"General\\MainWindow\\Top")->Value(), 77);
    EXPECT_EQ(tree.Find(u"Nowhere\\"), nullptr);
    EXPECT_EQ(tree.Find(u"General\\X"), nullptr);
}

}  // namespace
