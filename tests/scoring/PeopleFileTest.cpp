#include "scoring/PeopleFile.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "support/KTempFolder.h"

using Texts = std::vector<KString>;

TEST(PeopleFile, AffiliationIsTheFourthFieldOfAUsableLine) {
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"101,Lee,Ann,North High,11,F", u"North High"},
        {u"101, Lee , Ann , North High ", u"North High"},                             // blanks around fields
        {u"101,\"Lee, Jr.\",Ann,\"Smith, Jones Academy\"", u"Smith, Jones Academy"},  // quoted commas
        {u"101,Lee,Ann,\"The \"\"Ducks\"\"\"", u"The \"Ducks\""},                     // doubled quotes
        {u"101,Lee,Ann,\"Open quote to the end", u"Open quote to the end"},
        {u"101,Lee,Ann", u""},         // only three fields
        {u",Lee,Ann,North", u""},      // no first field
        {u"101,Lee,Ann,", u""},        // empty fourth field
        {u";101,Lee,Ann,North", u""},  // comment
        {u"101,,,UNA", u"UNA"},
    };
    for (const auto& [line, affiliation] : cases) {
        EXPECT_EQ(ToUtf8(PeopleFile::AffiliationOf(line)), ToUtf8(affiliation)) << ToUtf8(line);
    }
}

TEST(PeopleFile, EveryUsualLineEndSeparatesLinesAndDuplicatesStay) {
    const KString text = u"1,a,b,CRLF\r\n2,a,b,LF\n3,a,b,CR\r4,a,b,LFCR\n\r;5,a,b,Comment\r\n\r\n6,a,b,LF";
    EXPECT_EQ(PeopleFile::AffiliationsOfText(text), (Texts{u"CRLF", u"LF", u"CR", u"LFCR", u"LF"}));
}

TEST(PeopleFile, FilesInEveryEncodingAreReadAndOverlongLinesSkipped) {
    KTempFolder dir;
    WriteBytes(dir / "latin1.ppl", "1,A,B,Z\xFCrich\n");
    EXPECT_EQ(PeopleFile::ReadAffiliations(dir / "latin1.ppl"), Texts{u"Z\u00FCrich"});
    WriteBytes(dir / "unicode.ppl", Utf16Bytes(u"1,a,b,\u00FC\r\n"));
    EXPECT_EQ(PeopleFile::ReadAffiliations(dir / "unicode.ppl"), Texts{u"\u00FC"});
    const std::string longLine = "1,a,b," + std::string(PeopleFile::kMaxLineLength + 10, 'x') + "\n";
    WriteBytes(dir / "long.ppl", longLine + "2,a,b,Short\n");
    EXPECT_EQ(PeopleFile::ReadAffiliations(dir / "long.ppl"), Texts{u"Short"});
    EXPECT_EQ(CaughtError([&] { PeopleFile::ReadAffiliations(dir / "missing.ppl"); }),
              std::make_pair(int{KErrorCode::kFileOpen}, ENOENT));
}
