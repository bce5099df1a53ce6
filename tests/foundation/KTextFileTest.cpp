#include "foundation/KTextFile.h"

#include <gtest/gtest.h>

#include <string>

#include "support/KTempFolder.h"

namespace {

/// The lines read from `bytes`, each followed by '|' when a line end closed it; the mode read in
/// goes to `found`.
KString ReadAll(const std::string& bytes, KCharMode mode = KCharMode::Detect, KCharMode* found = nullptr) {
    KTempFolder folder;
    WriteBytes(folder / "t.txt", bytes);
    KTextReader reader(folder / "t.txt", mode);
    KString text;
    for (KString line; reader.ReadLine(line);) text += line + (reader.LastLineEnded() ? u"|" : u"");
    if (found) *found = reader.Mode();
    return text;
}

}  // namespace

TEST(KTextReader, EveryLineEndStyleSplitsLinesAndTheFirstOneSeenFixesTheStyle) {
    const std::string k4095(4095, 'y'), k10000(10000, 'x');
    const std::pair<std::string, KString> cases[] = {
        {"a\rb\r\rc\r", u"a|b||c|"},
        {"a\nb\n\nc\n", u"a|b||c|"},
        {"a\r\nb\r\n\r\nc\r\n", u"a|b||c|"},
        {"a\n\rb\n\r\n\rc\n\r", u"a|b||c|"},
        // Later the other character is text, but a lone first half of a pair still ends a line.
        {"a\nb\rc\n", u"a|b\rc|"},
        {"a\rb\nc\r", u"a|b\nc|"},
        {"a\r\nb\nc\r\n", u"a|b\nc|"},
        {"a\r\nb\rc\r\n", u"a|b|c|"},
        // Two CR LF pairs are two line ends, never a CR LF and an LF CR.
        {"a\r\n\r\n\r\nb", u"a|||b"},
        {"", u""},
        // Longer than the buffer, and a CR LF split by the buffer.
        {k10000 + "\r\n" + k10000, FromLatin1(k10000 + "|" + k10000)},
        {k4095 + "\r\nz\r\n", FromLatin1(k4095 + "|z|")},
    };
    for (const auto& [bytes, lines] : cases) EXPECT_EQ(ReadAll(bytes), lines) << bytes.substr(0, 20);
}

TEST(KTextReader, ByteOrderMarkOrTheRequestedModeDecidesTheCharactersAndUnreadablePathsRaiseErrors) {
    const auto check = [](const std::string& bytes, KCharMode requested, KCharMode mode,
                          const KString& lines) {
        KCharMode found = KCharMode::Detect;
        EXPECT_EQ(ReadAll(bytes, requested, &found), lines) << ToUtf8(lines);
        EXPECT_EQ(found, mode) << ToUtf8(lines);
    };
    using M = KCharMode;
    const KString text = u"Z\u00FCrich \u20AC\r\nline 2";
    check(Utf16Bytes(text), M::Detect, M::Unicode, u"Z\u00FCrich \u20AC|line 2");
    check(Utf16Bytes(text, true), M::Detect, M::Unicode, u"Z\u00FCrich \u20AC|line 2");
    check("Z\xFCrich\r\n\xFF\xFE", M::Detect, M::SingleByte, u"Z\u00FCrich|\u00FF\u00FE");
    check(Utf16Bytes(u"a"), M::SingleByte, M::SingleByte, KString(u"\u00FF\u00FEa\0", 4));
    check(Utf16Bytes(u"\u00E9\n").substr(2), M::Unicode, M::Unicode, u"\u00E9|");  // LE without a mark
    check("\xEF\xBB\xBF\xC3\xBC\n\xF0\x9F\x8F\x83", M::Native, M::Native, u"\u00FC|\U0001F3C3");
    KTempFolder folder;
    KString line;
    EXPECT_EQ(CaughtError([&] { KTextReader(folder / "missing").ReadLine(line); }),
              std::pair(KErrorCode::kFileOpen, ENOENT));
    EXPECT_EQ(CaughtError([&] { KTextReader(folder.Path()).ReadLine(line); }),
              std::pair(KErrorCode::kFileRead, EISDIR));
}

TEST(KTextWriter, EachModeWritesItsBytesWithCrLfAndReadsBack) {
    const std::pair<KCharMode, std::string> cases[] = {
        {KCharMode::SingleByte, "Z\xFCrich?\r\nb"},
        {KCharMode::Native, "Z\xC3\xBCrich\xE2\x82\xAC\r\nb"},
        {KCharMode::Unicode, Utf16Bytes(u"Z\u00FCrich\u20AC\r\nb")},
        {KCharMode::Detect, Utf16Bytes(u"Z\u00FCrich\u20AC\r\nb")}};
    KTempFolder folder;
    for (const auto& [mode, bytes] : cases) {
        KTextWriter writer(folder / "sub" / "out.txt", mode);  // creates the folder
        writer.WriteLine(u"Z\u00FCrich\u20AC");
        writer.Write(u"b");
        writer.Commit();
        EXPECT_EQ(ReadBytes(folder / "sub" / "out.txt"), bytes) << static_cast<int>(mode);
    }
}
