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
        {"longer than the buffer", ToLatin1(k10000) + "\r\n" + ToLatin1(k10000), {k10000, k10000}, false},
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
    using M = KCharMode;
    const KString nul(1, u'\0');
    const Case cases[] = {
        {"UTF-16 LE", Utf16Bytes(text), M::Detect, M::Unicode, lines},
        {"UTF-16 BE", Utf16Bytes(text, true), M::Detect, M::Unicode, lines},
        {"Latin-1", "Z\xFCrich\r\n\xFF\xFE", M::Detect, M::SingleByte, {u"Z\u00FCrich", u"\u00FF\u00FE"}},
        {"as Latin-1", Utf16Bytes(u"a"), M::SingleByte, M::SingleByte, {u"\u00FF\u00FEa" + nul}},
        {"LE without a mark", Utf16Bytes(u"\u00E9\n").substr(2), M::Unicode, M::Unicode, {u"\u00E9"}},
        {"UTF-8", "\xEF\xBB\xBF\xC3\xBC\n\xF0\x9F\x8F\x83", M::Native, M::Native, {u"\u00FC", u"\U0001F3C3"}},
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
