#include "ResultsCsv.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

std::vector<ResultsCsvRow> ReadAll(const std::string& bytes) {
    std::istringstream in(bytes);
    ResultsCsvReader reader(in);
    std::vector<ResultsCsvRow> rows;
    ResultsCsvRow row;
    while (reader.Next(row)) rows.push_back(row);
    return rows;
}

std::string Utf8(const ResultsCsvRow& row, ResultsColumn column) { return ToUtf8(row.Cell(column)); }

}  // namespace

TEST(ResultsCsv, HeaderNamesMatchWithoutRegardToCaseBlanksOrUnderscores) {
    const struct {
        const char16_t* header;
        ResultsColumn column;
    } cases[] = {
        {u"PLACE", ResultsColumn::Place},
        {u"Bib", ResultsColumn::Id},
        {u"FirstName", ResultsColumn::FirstName},
        {u"first_name", ResultsColumn::FirstName},
        {u"First Name", ResultsColumn::FirstName},
        {u"LAST_NAME", ResultsColumn::LastName},
        {u"name", ResultsColumn::Name},
        {u"Team", ResultsColumn::Affiliation},
        {u" time ", ResultsColumn::Time},
        {u"Laps", ResultsColumn::Laps},
        {u"Split", ResultsColumn::Split},
        {u"Age", ResultsColumn::Count},
        {u"Team Name", ResultsColumn::Count},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResultsCsvReader::ColumnOf(c.header), c.column) << ToUtf8(c.header);
    }
}

TEST(ResultsCsv, SeparatorIsDetectedFromTheHeaderLine) {
    struct Case {
        std::string text;
        char16_t separator;
    };
    const Case cases[] = {
        {"Place,Bib,Team,Time\n1,7,Alpha,15:01.2\n", u','},
        {"Place;Bib;Team;Time\n1;7;Alpha;15:01.2\n", u';'},
        {"Place\tBib\tTeam\tTime\n1\t7\tAlpha\t15:01.2\n", u'\t'},
        {"\"Place;x\",Bib,Team,Time\n1,7,Alpha,15:01.2\n", u','},  // quoted separators do not count
    };
    for (const auto& c : cases) {
        std::istringstream in(c.text);
        ResultsCsvReader reader(in);
        EXPECT_EQ(reader.Separator(), c.separator) << c.text;
        ResultsCsvRow row;
        ASSERT_TRUE(reader.Next(row));
        EXPECT_EQ(Utf8(row, ResultsColumn::Affiliation), "Alpha");
        EXPECT_EQ(Utf8(row, ResultsColumn::Time), "15:01.2");
        EXPECT_EQ(Utf8(row, ResultsColumn::Id), "7");
    }
}

TEST(ResultsCsv, QuotedFieldsKeepSeparatorsQuotesAndLineBreaks) {
    const auto rows = ReadAll(
        "Place,Name,Team\r\n"
        "1,\"Lee, Ann\",\"North \"\"A\"\"\"\r\n"
        "2, \"Bo\" ,\"Multi\nLine\"\r\n"
        "3,Cy,Plain Team  \n");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(Utf8(rows[0], ResultsColumn::Name), "Lee, Ann");
    EXPECT_EQ(Utf8(rows[0], ResultsColumn::Affiliation), "North \"A\"");
    EXPECT_EQ(Utf8(rows[1], ResultsColumn::Name), "Bo");
    EXPECT_EQ(Utf8(rows[1], ResultsColumn::Affiliation), "Multi\nLine");
    EXPECT_EQ(Utf8(rows[2], ResultsColumn::Affiliation), "Plain Team");
    EXPECT_EQ(rows[0].line, 2);
    EXPECT_EQ(rows[1].line, 3);
    EXPECT_EQ(rows[2].line, 5);  // the quoted line break counts as a line
}

TEST(ResultsCsv, UnknownColumnsAreIgnoredShortRowsLeaveCellsEmptyAndBlankLinesAreSkipped) {
    const auto rows = ReadAll("\r\n  \nAge,Team,Grade,Time,Laps\n17,Alpha,11\n\n  \n,Beta,,,,,\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].line, 4);
    EXPECT_EQ(Utf8(rows[0], ResultsColumn::Affiliation), "Alpha");
    EXPECT_EQ(Utf8(rows[0], ResultsColumn::Time), "");
    EXPECT_EQ(Utf8(rows[1], ResultsColumn::Affiliation), "Beta");  // trailing empty fields are fine
}

TEST(ResultsCsv, FullNameColumnWinsOverFirstAndLastName) {
    const auto withName = ReadAll("First Name,Name,Last_Name,Team\nAnn,Ann Lee,Lee,A\n");
    EXPECT_EQ(Utf8(withName[0], ResultsColumn::Name), "Ann Lee");
    EXPECT_EQ(Utf8(withName[0], ResultsColumn::FirstName), "");
    const auto split = ReadAll("First Name,Last_Name,Team\nAnn,Lee,A\n");
    EXPECT_EQ(Utf8(split[0], ResultsColumn::FirstName), "Ann");
    EXPECT_EQ(Utf8(split[0], ResultsColumn::LastName), "Lee");
}

TEST(ResultsCsv, EncodingsAreRecognised) {
    // UTF-8 with byte-order mark, stray Latin-1 bytes, and UTF-16 by its mark.
    EXPECT_EQ(Utf8(ReadAll("\xEF\xBB\xBFTeam\nZ\xC3\xBCrich\n")[0], ResultsColumn::Affiliation),
              "Z\xC3\xBCrich");
    EXPECT_EQ(Utf8(ReadAll("Team\nZ\xFCrich\n")[0], ResultsColumn::Affiliation), "Z\xC3\xBCrich");
    const std::string utf16le("\xFF\xFET\0e\0a\0m\0\n\0\xFC\0\n\0", 16);
    EXPECT_EQ(Utf8(ReadAll(utf16le)[0], ResultsColumn::Affiliation), "\xC3\xBC");
    const std::string utf16be("\xFE\xFF\0T\0e\0a\0m\0\n\0X", 15);
    EXPECT_EQ(Utf8(ReadAll(utf16be)[0], ResultsColumn::Affiliation), "X");
}
