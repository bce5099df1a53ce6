#include "scoring/PeopleFile.h"

#include <gtest/gtest.h>

#include "TeamScoringSupport.h"
#include "foundation/KError.h"

namespace {

std::vector<std::string> Utf8(const std::vector<KString>& texts) {
    std::vector<std::string> out;
    for (const auto& t : texts) out.push_back(ToUtf8(t));
    return out;
}

}  // namespace

TEST(PeopleFile, AffiliationIsTheFourthFieldOfAUsableLine) {
    struct Case {
        const char16_t* line;
        const char16_t* affiliation;
    };
    const Case cases[] = {
        {u"101,Lee,Ann,North High", u"North High"},
        {u"101,Lee,Ann,North High,11,F", u"North High"},
        {u"101, Lee , Ann , North High ", u"North High"},                             // blanks around fields
        {u"101,\"Lee, Jr.\",Ann,\"Smith, Jones Academy\"", u"Smith, Jones Academy"},  // quoted commas
        {u"101,Lee,Ann,\"The \"\"Ducks\"\"\"", u"The \"Ducks\""},                     // doubled quotes
        {u"101,Lee,Ann,\"Open quote to the end", u"Open quote to the end"},
        {u"101,Lee,Ann", u""},         // only three fields
        {u",Lee,Ann,North", u""},      // no first field
        {u"101,Lee,Ann,", u""},        // empty fourth field
        {u";101,Lee,Ann,North", u""},  // comment
        {u"", u""},
        {u"101,,,UNA", u"UNA"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToUtf8(PeopleFile::AffiliationOf(c.line)), ToUtf8(c.affiliation)) << ToUtf8(c.line);
    }
}

TEST(PeopleFile, EveryUsualLineEndSeparatesLines) {
    const KString text = u"1,a,b,CRLF\r\n2,a,b,LF\n3,a,b,CR\r4,a,b,LFCR\n\r;5,a,b,Comment\r\n\r\n6,a,b,Last";
    EXPECT_EQ(Utf8(PeopleFile::AffiliationsOfText(text)),
              (std::vector<std::string>{"CRLF", "LF", "CR", "LFCR", "Last"}));
}

TEST(PeopleFile, FileIsReadWithDuplicatesKeptInOrder) {
    ScoringTempDir dir;
    const auto path = dir.Write("team.ppl", "; people\r\n1,A,B,West\r\n2,C,D,East\r\n3,E,F,West\r\n4,G\r\n");
    EXPECT_EQ(Utf8(PeopleFile::ReadAffiliations(path)), (std::vector<std::string>{"West", "East", "West"}));
}

TEST(PeopleFile, Utf16AndLatin1FilesAreRead) {
    ScoringTempDir dir;
    const auto latin1 = dir.Write("latin1.ppl", "1,A,B,Z\xFCrich\n");
    EXPECT_EQ(Utf8(PeopleFile::ReadAffiliations(latin1)), (std::vector<std::string>{"Z\xC3\xBCrich"}));
    static const char kUtf16[] =
        "\xFF\xFE"
        "1\0,\0a\0,\0b\0,\0\xFC\0\r\0\n\0";
    const std::string utf16(kUtf16, sizeof kUtf16 - 1);
    const auto unicode = dir.Write("unicode.ppl", utf16);
    EXPECT_EQ(Utf8(PeopleFile::ReadAffiliations(unicode)), (std::vector<std::string>{"\xC3\xBC"}));
}

TEST(PeopleFile, OverlongLineIsSkippedWhole) {
    ScoringTempDir dir;
    const std::string longLine = "1,a,b," + std::string(PeopleFile::kMaxLineLength + 10, 'x') + "\n";
    const auto path = dir.Write("long.ppl", longLine + "2,a,b,Short\n");
    EXPECT_EQ(Utf8(PeopleFile::ReadAffiliations(path)), (std::vector<std::string>{"Short"}));
}

TEST(PeopleFile, MissingFileRaisesTheOpenError) {
    ScoringTempDir dir;
    try {
        PeopleFile::ReadAffiliations(dir.Path() / "missing.ppl");
        FAIL() << "no error";
    } catch (const KError& error) {
        EXPECT_EQ(error.Code(), KErrorCode::kFileOpen);
        EXPECT_EQ(error.Subcode(), ENOENT);
    }
}
