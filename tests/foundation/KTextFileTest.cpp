#include "foundation/KTextFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "foundation/KError.h"

namespace {

struct ReadResult {
    std::vector<KString> lines;
    std::vector<bool> ended;
    KCharMode mode;
};

ReadResult ReadAll(const std::filesystem::path& path, KCharMode mode = KCharMode::Detect) {
    KTextReader reader(path, mode);
    ReadResult result{{}, {}, reader.Mode()};
    KString line;
    while (reader.ReadLine(line)) {
        result.lines.push_back(line);
        result.ended.push_back(reader.LastLineEnded());
    }
    EXPECT_FALSE(reader.LastLineEnded());
    return result;
}

std::string Utf16Le(const std::u16string& text) {
    std::string bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

std::string Utf16Be(const std::u16string& text) {
    std::string bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c >> 8));
        bytes.push_back(static_cast<char>(c & 0xFF));
    }
    return bytes;
}

}  // namespace

TEST(KTextReader, EveryLineEndStyleSplitsLines) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<KString> lines;
    };
    const Case cases[] = {
        {"CR", "a\rb\r\rc\r", {u"a", u"b", u"", u"c"}},
        {"LF", "a\nb\n\nc\n", {u"a", u"b", u"", u"c"}},
        {"CR LF", "a\r\nb\r\n\r\nc\r\n", {u"a", u"b", u"", u"c"}},
        {"LF CR", "a\n\rb\n\r\n\rc\n\r", {u"a", u"b", u"", u"c"}},
        // The first line end fixes the style: later the other character is text.
        {"LF then CR", "a\nb\rc\n", {u"a", u"b\rc"}},
        {"CR then LF", "a\rb\nc\r", {u"a", u"b\nc"}},
        {"CR LF then lone LF", "a\r\nb\nc\r\n", {u"a", u"b\nc"}},
        // Two CR LF pairs are two line ends, never a CR LF and an LF CR.
        {"blank CR LF lines", "a\r\n\r\n\r\nb", {u"a", u"", u"", u"b"}},
        {"blank LF CR lines", "a\n\r\n\rb", {u"a", u"", u"b"}},
        // A lone first half still ends a line in a pair style.
        {"CR LF then lone CR", "a\r\nb\rc\r\n", {u"a", u"b", u"c"}},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        WriteBytes(folder / "t.txt", c.bytes);
        EXPECT_EQ(ReadAll(folder / "t.txt").lines, c.lines) << c.name;
    }
}

TEST(KTextReader, LastLineWithoutLineEndIsReadAndReported) {
    TempFolder folder;
    WriteBytes(folder / "t.txt", "first\r\nsecond");
    const ReadResult result = ReadAll(folder / "t.txt");
    EXPECT_EQ(result.lines, (std::vector<KString>{u"first", u"second"}));
    EXPECT_EQ(result.ended, (std::vector<bool>{true, false}));

    WriteBytes(folder / "t.txt", "only\n");
    const ReadResult ended = ReadAll(folder / "t.txt");
    EXPECT_EQ(ended.lines, (std::vector<KString>{u"only"}));
    EXPECT_EQ(ended.ended, (std::vector<bool>{true}));
}

TEST(KTextReader, EmptyFileHasNoLines) {
    TempFolder folder;
    WriteBytes(folder / "t.txt", "");
    const ReadResult result = ReadAll(folder / "t.txt");
    EXPECT_TRUE(result.lines.empty());
    EXPECT_EQ(result.mode, KCharMode::SingleByte);
}

TEST(KTextReader, DetectsCharacterModeByByteOrderMark) {
    struct Case {
        const char* name;
        std::string bytes;
        KCharMode mode;
        bool bigEndian;
    };
    const KString text = u"Z\u00FCrich \u20AC\r\nline 2";
    const Case cases[] = {
        {"UTF-16 LE", "\xFF\xFE" + Utf16Le(text), KCharMode::Unicode, false},
        {"UTF-16 BE", "\xFE\xFF" + Utf16Be(text), KCharMode::Unicode, true},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        WriteBytes(folder / "t.txt", c.bytes);
        KTextReader reader(folder / "t.txt");
        EXPECT_EQ(reader.Mode(), c.mode) << c.name;
        EXPECT_EQ(reader.IsBigEndian(), c.bigEndian) << c.name;
        KString line;
        ASSERT_TRUE(reader.ReadLine(line)) << c.name;
        EXPECT_EQ(line, u"Z\u00FCrich \u20AC") << c.name;
        ASSERT_TRUE(reader.ReadLine(line)) << c.name;
        EXPECT_EQ(line, u"line 2") << c.name;
        EXPECT_FALSE(reader.ReadLine(line)) << c.name;
    }
}

TEST(KTextReader, WithoutByteOrderMarkEachByteIsOneLatin1Character) {
    TempFolder folder;
    WriteBytes(folder / "t.txt", "Z\xFCrich \xE9t\xE9\r\n\xFF\xFE");
    const ReadResult result = ReadAll(folder / "t.txt");
    EXPECT_EQ(result.mode, KCharMode::SingleByte);
    EXPECT_EQ(result.lines, (std::vector<KString>{u"Z\u00FCrich \u00E9t\u00E9", u"\u00FF\u00FE"}));
}

TEST(KTextReader, ExplicitModesOverrideDetection) {
    TempFolder folder;
    WriteBytes(folder / "t.txt", std::string("\xFF\xFE"
                                             "a\x00",
                                             4));
    EXPECT_EQ(ReadAll(folder / "t.txt", KCharMode::SingleByte).lines,
              (std::vector<KString>{KString(u"\u00FF\u00FE"
                                            u"a") +
                                    u'\0'}));
    // Unicode without a mark is little-endian.
    WriteBytes(folder / "t.txt", Utf16Le(u"\u00E9\n"));
    EXPECT_EQ(ReadAll(folder / "t.txt", KCharMode::Unicode).lines, (std::vector<KString>{u"\u00E9"}));
    // Native is UTF-8; its mark is skipped.
    WriteBytes(folder / "t.txt", "\xEF\xBB\xBFZ\xC3\xBCrich\r\n\xF0\x9F\x8F\x83");
    const ReadResult native = ReadAll(folder / "t.txt", KCharMode::Native);
    EXPECT_EQ(native.mode, KCharMode::Native);
    EXPECT_EQ(native.lines, (std::vector<KString>{u"Z\u00FCrich", u"\U0001F3C3"}));
}

TEST(KTextReader, LongLinesCrossTheBuffer) {
    TempFolder folder;
    const std::string longLine(10000, 'x');
    WriteBytes(folder / "t.txt", longLine + "\r\n" + longLine);
    const ReadResult result = ReadAll(folder / "t.txt");
    ASSERT_EQ(result.lines.size(), 2u);
    EXPECT_EQ(result.lines[0], KString(10000, u'x'));
    EXPECT_EQ(result.lines[1], KString(10000, u'x'));
    // A CR LF pair split by the buffer boundary is still one line end.
    WriteBytes(folder / "t.txt", std::string(4095, 'y') + "\r\nz\r\n");
    EXPECT_EQ(ReadAll(folder / "t.txt").lines, (std::vector<KString>{KString(4095, u'y'), u"z"}));
}

TEST(KTextReader, MissingFileRaisesOpenError) {
    TempFolder folder;
    try {
        KTextReader reader(folder / "missing.txt");
        FAIL() << "opened a missing file";
    } catch (const KError& e) {
        EXPECT_EQ(e.Code(), KErrorCode::kFileOpen);
        EXPECT_EQ(e.Subcode(), ENOENT);
    }
}

TEST(KTextReader, FolderRaisesReadError) {
    TempFolder folder;
    try {
        KTextReader reader(folder.Path());
        KString line;
        reader.ReadLine(line);
        FAIL() << "read a folder";
    } catch (const KError& e) {
        EXPECT_EQ(e.Code(), KErrorCode::kFileRead);
        EXPECT_EQ(e.Subcode(), EISDIR);
    }
}

TEST(KTextWriter, WritesEachModesBytes) {
    struct Case {
        KCharMode mode;
        std::string bytes;
    };
    const Case cases[] = {
        {KCharMode::SingleByte, "Z\xFCrich?\r\nb"},
        {KCharMode::Native, "Z\xC3\xBCrich\xE2\x82\xAC\r\nb"},
        {KCharMode::Unicode, "\xFF\xFE" + Utf16Le(u"Z\u00FCrich\u20AC\r\nb")},
        {KCharMode::Detect, "\xFF\xFE" + Utf16Le(u"Z\u00FCrich\u20AC\r\nb")},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        KTextWriter writer(folder / "out.txt", c.mode);
        writer.WriteLine(u"Z\u00FCrich\u20AC");
        writer.Write(u"b");
        writer.Commit();
        EXPECT_EQ(ReadBytes(folder / "out.txt"), c.bytes) << static_cast<int>(c.mode);
    }
}

TEST(KTextWriter, WhatIsWrittenReadsBackInEveryMode) {
    TempFolder folder;
    std::vector<KString> lines = {u"Registry Version: 1.00", u"", u"\\General\\Foo:String,1=b\u00E4r"};
    lines.push_back(KString(5000, u'q'));  // more than a buffer
    for (KCharMode mode : {KCharMode::SingleByte, KCharMode::Unicode, KCharMode::Native}) {
        {
            KTextWriter writer(folder / "sub" / "deeper" / "round.txt", mode);
            for (const auto& line : lines) writer.WriteLine(line);
            writer.Commit();
        }
        const KCharMode readMode = mode == KCharMode::Native ? KCharMode::Native : KCharMode::Detect;
        const ReadResult result = ReadAll(folder / "sub" / "deeper" / "round.txt", readMode);
        EXPECT_EQ(result.mode, mode);
        EXPECT_EQ(result.lines, lines) << static_cast<int>(mode);
        EXPECT_EQ(CountEntries(folder / "sub" / "deeper"), 1u);
    }
}

TEST(KTextWriter, WithoutCommitTheOldFileIsUntouchedAndNoTemporaryFileRemains) {
    TempFolder folder;
    WriteBytes(folder / "keep.txt", "old contents\r\n");
    {
        KTextWriter writer(folder / "keep.txt", KCharMode::SingleByte);
        writer.WriteLine(KString(10000, u'n'));
    }
    EXPECT_EQ(ReadBytes(folder / "keep.txt"), "old contents\r\n");
    EXPECT_EQ(CountEntries(folder.Path()), 1u);
}

TEST(KTextWriter, FailedCommitLeavesTheOldFileAndNoTemporaryFile) {
    TempFolder folder;
    WriteBytes(folder / "keep.txt", "old contents\r\n");
    // The size limit makes the flush fail the way a full disk does, even for root.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    int code = 0;
    try {
        KTextWriter writer(folder / "keep.txt", KCharMode::SingleByte);
        writer.Write(KString(1000, u'n'));
        writer.Commit();
    } catch (const KError& e) {
        code = e.Code();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(code, KErrorCode::kFileWrite);
    EXPECT_EQ(ReadBytes(folder / "keep.txt"), "old contents\r\n");
    EXPECT_EQ(CountEntries(folder.Path()), 1u);
}

TEST(KTextWriter, FailedRenameRaisesCloseErrorAndLeavesNoTemporaryFile) {
    TempFolder folder;
    std::filesystem::create_directories(folder / "target" / "inside");
    try {
        KTextWriter writer(folder / "target", KCharMode::Unicode);
        writer.WriteLine(u"text");
        writer.Commit();
        FAIL() << "renamed over a folder";
    } catch (const KError& e) {
        EXPECT_EQ(e.Code(), KErrorCode::kFileClose);
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder / "target" / "inside"));
    EXPECT_EQ(CountEntries(folder.Path()), 1u);
}

TEST(KTextWriter, UncreatableFolderRaisesOpenError) {
    TempFolder folder;
    WriteBytes(folder / "file", "x");
    try {
        KTextWriter writer(folder / "file" / "sub" / "out.txt", KCharMode::Unicode);
        FAIL() << "created a folder inside a file";
    } catch (const KError& e) {
        EXPECT_EQ(e.Code(), KErrorCode::kFileOpen);
        EXPECT_GT(e.Subcode(), 0);
    }
}
