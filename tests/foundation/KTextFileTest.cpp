#include "foundation/KTextFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/KTempFolder.h"

namespace {

struct ReadResult {
    std::vector<KString> lines;
    bool lastEnded = false;  // did the last line read end with a line end?
    KCharMode mode = KCharMode::Detect;
};

ReadResult ReadAll(const std::filesystem::path& path, KCharMode mode = KCharMode::Detect) {
    KTextReader reader(path, mode);
    ReadResult result;
    for (KString line; reader.ReadLine(line);) {
        result.lines.push_back(line);
        result.lastEnded = reader.LastLineEnded();
    }
    result.mode = reader.Mode();
    return result;
}

const KString k4095(4095, u'y');
const KString k10000(10000, u'x');

}  // namespace

TEST(KTextReader, EveryLineEndStyleSplitsLinesAndTheFirstOneSeenFixesTheStyle) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<KString> lines;
        bool lastEnded;
    };
    const Case cases[] = {
        {"CR", "a\rb\r\rc\r", {u"a", u"b", u"", u"c"}, true},
        {"LF", "a\nb\n\nc\n", {u"a", u"b", u"", u"c"}, true},
        {"CR LF", "a\r\nb\r\n\r\nc\r\n", {u"a", u"b", u"", u"c"}, true},
        {"LF CR", "a\n\rb\n\r\n\rc\n\r", {u"a", u"b", u"", u"c"}, true},
        // Later the other character is text, but a lone first half of a pair still ends a line.
        {"LF then CR", "a\nb\rc\n", {u"a", u"b\rc"}, true},
        {"CR then LF", "a\rb\nc\r", {u"a", u"b\nc"}, true},
        {"CR LF then lone LF", "a\r\nb\nc\r\n", {u"a", u"b\nc"}, true},
        {"CR LF then lone CR", "a\r\nb\rc\r\n", {u"a", u"b", u"c"}, true},
        // Two CR LF pairs are two line ends, never a CR LF and an LF CR.
        {"blank CR LF lines", "a\r\n\r\n\r\nb", {u"a", u"", u"", u"b"}, false},
        {"empty file", "", {}, false},
        {"lines longer than the buffer",
         ToLatin1(k10000) + "\r\n" + ToLatin1(k10000),
         {k10000, k10000},
         false},
        {"CR LF split by the buffer", ToLatin1(k4095) + "\r\nz\r\n", {k4095, u"z"}, true},
    };
    KTempFolder folder;
    for (const auto& c : cases) {
        WriteBytes(folder / "t.txt", c.bytes);
        const ReadResult result = ReadAll(folder / "t.txt");
        EXPECT_EQ(result.lines, c.lines) << c.name;
        EXPECT_EQ(result.lastEnded, c.lastEnded) << c.name;
    }
}

TEST(KTextReader, ByteOrderMarkOrTheRequestedModeDecidesTheCharacters) {
    const KString text = u"Z\u00FCrich \u20AC\r\nline 2";
    const std::vector<KString> lines = {u"Z\u00FCrich \u20AC", u"line 2"};
    struct Case {
        const char* name;
        std::string bytes;
        KCharMode requested;
        KCharMode mode;
        std::vector<KString> lines;
    };
    const Case cases[] = {
        {"UTF-16 LE", Utf16Bytes(text), KCharMode::Detect, KCharMode::Unicode, lines},
        {"UTF-16 BE", Utf16Bytes(text, true), KCharMode::Detect, KCharMode::Unicode, lines},
        {"no mark: Latin-1",
         "Z\xFCrich \xE9t\xE9\r\n\xFF\xFE",
         KCharMode::Detect,
         KCharMode::SingleByte,
         {u"Z\u00FCrich \u00E9t\u00E9", u"\u00FF\u00FE"}},
        {"single byte over a mark",
         std::string("\xFF\xFE"
                     "a\0",
                     4),
         KCharMode::SingleByte,
         KCharMode::SingleByte,
         {KString(u"\u00FF\u00FEa") + u'\0'}},
        {"Unicode without a mark is LE",
         Utf16Bytes(u"\u00E9\n").substr(2),
         KCharMode::Unicode,
         KCharMode::Unicode,
         {u"\u00E9"}},
        {"UTF-8 with its mark",
         "\xEF\xBB\xBFZ\xC3\xBCrich\r\n\xF0\x9F\x8F\x83",
         KCharMode::Native,
         KCharMode::Native,
         {u"Z\u00FCrich", u"\U0001F3C3"}},
    };
    KTempFolder folder;
    for (const auto& c : cases) {
        WriteBytes(folder / "t.txt", c.bytes);
        const ReadResult result = ReadAll(folder / "t.txt", c.requested);
        EXPECT_EQ(result.mode, c.mode) << c.name;
        EXPECT_EQ(result.lines, c.lines) << c.name;
    }
}

TEST(KTextReader, MissingFileAndFolderRaiseOpenAndReadErrors) {
    KTempFolder folder;
    const auto firstLine = [](const std::filesystem::path& path) {
        KString line;
        KTextReader(path).ReadLine(line);
    };
    EXPECT_EQ(CaughtError([&] { firstLine(folder / "missing"); }),
              std::make_pair(KErrorCode::kFileOpen, ENOENT));
    EXPECT_EQ(CaughtError([&] { firstLine(folder.Path()); }), std::make_pair(KErrorCode::kFileRead, EISDIR));
}

TEST(KTextWriter, EachModeWritesItsBytesWithCrLfAndReadsBack) {
    struct Case {
        KCharMode mode;
        std::string bytes;
        const char16_t* first;  // the first line read back
    };
    const Case cases[] = {{KCharMode::SingleByte, "Z\xFCrich?\r\nb", u"Z\u00FCrich?"},
                          {KCharMode::Native, "Z\xC3\xBCrich\xE2\x82\xAC\r\nb", u"Z\u00FCrich\u20AC"},
                          {KCharMode::Unicode, Utf16Bytes(u"Z\u00FCrich\u20AC\r\nb"), u"Z\u00FCrich\u20AC"},
                          {KCharMode::Detect, Utf16Bytes(u"Z\u00FCrich\u20AC\r\nb"), u"Z\u00FCrich\u20AC"}};
    KTempFolder folder;
    for (const auto& c : cases) {
        KTextWriter writer(folder / "sub" / "out.txt", c.mode);  // creates the folder
        writer.WriteLine(u"Z\u00FCrich\u20AC");
        writer.Write(u"b");
        writer.Commit();
        EXPECT_EQ(ReadBytes(folder / "sub" / "out.txt"), c.bytes) << static_cast<int>(c.mode);
        const ReadResult back =
            ReadAll(folder / "sub" / "out.txt", c.mode == KCharMode::Native ? c.mode : KCharMode::Detect);
        EXPECT_EQ(back.lines, (std::vector<KString>{c.first, u"b"})) << static_cast<int>(c.mode);
        EXPECT_EQ(back.mode, c.mode == KCharMode::Detect ? KCharMode::Unicode : c.mode);
    }
}
