#include "ResultsCsv.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

// Each row read as "<line>|<cell>|<cell>..." for the given columns.
std::vector<std::string> Rows(const std::string& bytes, const std::vector<ResultsColumn>& columns) {
    std::istringstream in(bytes);
    ResultsCsvReader reader(in);
    std::vector<std::string> rows;
    for (ResultsCsvRow row; reader.Next(row);) {
        rows.push_back(std::to_string(row.line));
        for (const ResultsColumn column : columns) rows.back() += "|" + ToUtf8(row.Cell(column));
    }
    return rows;
}

}  // namespace

TEST(ResultsCsv, RowsAreReadWhateverTheSeparatorQuotingLayoutOrEncoding) {
    using C = ResultsColumn;
    const std::vector<C> teamTime = {C::Affiliation, C::Time};
    struct Case {
        std::string bytes;
        std::vector<C> columns;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        // Header names match without regard to case, blanks or underscores.
        {"PLACE,bib,first_name,Last Name, TEAM ,time\n1,7,Ann,Lee,North,15:00\n",
         {C::Place, C::Id, C::FirstName, C::LastName, C::Affiliation, C::Time},
         {"2|1|7|Ann|Lee|North|15:00"}},
        // Semicolon or tab as well as comma, whichever the header line uses outside quotes.
        {"Place;Bib;Team;Time\n1;7;Alpha;15:01.2\n", teamTime, {"2|Alpha|15:01.2"}},
        {"Place\tBib\tTeam\tTime\n1\t7\tAlpha\t15:01.2\n", teamTime, {"2|Alpha|15:01.2"}},
        {"\"a;b;c;d\",Team,Time\n1,Alpha,15:01.2\n", teamTime, {"2|Alpha|15:01.2"}},
        // Quoted fields keep separators, quotes and line breaks; the break counts as a line.
        {"Place,Name,Team\r\n1,\"Lee, Ann\",\"North \"\"A\"\"\"\r\n2, \"Bo\" ,\"Multi\nLine\"\r\n3,Cy,Plain "
         "Team  \n",
         {C::Name, C::Affiliation},
         {"2|Lee, Ann|North \"A\"", "3|Bo|Multi\nLine", "5|Cy|Plain Team"}},
        // Unknown columns ignored, short rows, blank lines and trailing empty fields.
        {"\r\n  \nAge,Team,Team Name,Time,Laps\n17,Alpha,11\n\n  \n,Beta,,,,,\n",
         teamTime,
         {"4|Alpha|", "7|Beta|"}},
        // The full name wins over first and last name.
        {"First Name,Name,Last_Name,Team\nAnn,Ann Lee,Lee,A\n",
         {C::Name, C::FirstName, C::LastName},
         {"2|Ann Lee||"}},
        // UTF-8 with its mark, a stray Latin-1 byte, UTF-16 LE and BE.
        {"\xEF\xBB\xBFTeam\nZ\xC3\xBCrich\n", {C::Affiliation}, {"2|Z\xC3\xBCrich"}},
        {"Team\nZ\xFCrich\n", {C::Affiliation}, {"2|Z\xC3\xBCrich"}},
        {std::string("\xFF\xFET\0e\0a\0m\0\n\0\xFC\0\n\0", 16), {C::Affiliation}, {"2|\xC3\xBC"}},
        {std::string("\xFE\xFF\0T\0e\0a\0m\0\n\0X", 15), {C::Affiliation}, {"2|X"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Rows(c.bytes, c.columns), c.rows) << c.bytes;
}
