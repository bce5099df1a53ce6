#include "ScoreCommand.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <sstream>

#include "ResultsCsv.h"
#include "scoring/EventRecord.h"
#include "support/KTempFolder.h"

namespace {

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

/// Runs the real program in `dir` with `args` (already shell-quoted where needed).
ProgramRun RunProgram(const KTempFolder& dir, const std::string& args) {
    const std::string command = "cd " + dir.Path().string() + " && " + KESTRUN_SCORE_PROGRAM + " " + args +
                                " >stdout.txt 2>stderr.txt";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), ReadBytes(dir / "stdout.txt"),
            ReadBytes(dir / "stderr.txt")};
}

/// The guide's worked example: the first indented block after its heading is the file, the next three
/// what the program prints for it (finalized, unofficial, finalized as CSV).
std::vector<std::string> GuideExample() {
    std::istringstream guide(
        ReadBytes(std::filesystem::path(KESTRUN_SOURCE_DIR) / "docs" / "kestrun-score.md"));
    std::vector<std::string> blocks;
    bool inExample = false, inBlock = false;
    for (std::string line; std::getline(guide, line);) {
        if (line.rfind("## ", 0) == 0) inExample = line == "## Worked example";
        const bool code = line.rfind("    ", 0) == 0;
        if (inExample && code) {
            if (!inBlock) blocks.emplace_back();
            blocks.back() += line.substr(4) + "\n";
        }
        inBlock = inExample && code;
    }
    return blocks;
}

const std::string kCsvHeader = "place,affiliation,points,scorers,members,places\n";

}  // namespace

TEST(ScoreCommand, WorkedExampleOfTheGuidePrintsWhatTheGuideShows) {
    const auto blocks = GuideExample();
    ASSERT_EQ(blocks.size(), 4u) << "docs/kestrun-score.md";
    KTempFolder dir;
    WriteBytes(dir / "meet.csv", blocks[0]);
    const ProgramRun run = RunProgram(dir, "--finalize meet.csv");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, blocks[1]);
    EXPECT_EQ(RunProgram(dir, "meet.csv").out, blocks[2]);
    EXPECT_EQ(RunProgram(dir, "--finalize --format csv meet.csv").out, blocks[3]);
}

TEST(ScoreCommand, OptionsChangeTheRules) {
    KTempFolder dir;
    WriteBytes(dir / "-meet.csv", GuideExample().at(0));  // after "--" a name may begin with "-"
    // Two teams of five; three of B's runners are a lap behind the leaders.
    WriteBytes(dir / "-splits.csv",
               "team;laps;split\nA;1;5:00\nA;1;5:01\nA;1;5:02\nA;1;5:03\nA;1;5:04\n"
               "B;1;5:10\nB;1;5:11\nB;1;5:12\nB;2;5:13\nB;2;5:14\n");
    const std::tuple<const char*, std::string, std::string> cases[] = {
        // file, options, first lines
        {"-meet.csv", "",
         "1,Northfield,28,6,6,1 3 6 8 10 13\n2,Riverside,41,6,6,2 5 9 11 14 15\n,Lakeview,35,3,3,7 12 16\n"},
        {"-meet.csv", "--min-runners 3", "1,Northfield,28,6,6,1 3 6 8 10 13\n2,Lakeview,35,3,3,7 12 16\n"},
        {"-meet.csv", "--scorers=3 --displacers=0", "1,Northfield,10,3,6,1 3 6\n2,Riverside,15,3,6,2 5 9\n"},
        {"-meet.csv", "--non-scoring-displace no",
         "1,Northfield,25,6,6,1 3 6 8 10 13\n2,Riverside,37,6,6,2 5 9 11 14 15\n"},
        // Naming the non-scoring affiliations replaces the built-in ones: UNA becomes a (small) team.
        {"-meet.csv", "--non-scoring Lakeview --non-scoring Nobody",
         "1,Northfield,28,6,6,1 3 6 8 10 13\n2,Riverside,41,6,6,2 5 9 11 14 15\n,UNA,4,1,1,4\n"},
        // Counting up, two laps done lead; with reset on only B's two runners there would score.
        {"-splits.csv", "--laps-count-up --reset-scores no", "1,A,25,5,5,3 4 5 6 7\n2,B,30,5,5,1 2 8 9 10\n"},
    };
    for (const auto& [file, options, firstLines] : cases) {
        const ProgramRun run = RunProgram(dir, "--format csv " + options + " -- " + file);
        EXPECT_EQ(run.status, 0) << options << run.err;
        EXPECT_EQ(run.out.substr(0, kCsvHeader.size() + firstLines.size()), kCsvHeader + firstLines)
            << file << " " << options;
    }
}

TEST(ScoreCommand, BadInputGivesAClearMessageAndAFailureStatus) {
    KTempFolder dir;
    // The contents of a file named alone (or nothing: the arguments given), the status and the message.
    const std::tuple<std::string, std::string, int, std::string> cases[] = {
        {"", "missing.csv", 1, "missing.csv: cannot open: No such file or directory"},
        {"Place,Bib,Time\n1,2,3\n", "", 1, "line 1: the header line names no affiliation (or team) column"},
        {"Team,Time\nA,1\nB,2\nC,\"3\n", "", 1,
         "line 4: a quoted field is not closed before the end of the file"},
        {"Team,Name,Time\nA,x,1\nSmith, John,B,3\n", "", 1, "line 3: 4 fields where the header has 3"},
        {"Team,Time\nA,\"1\"2\n", "", 1, "line 2: text after the closing quote of field 2"},
        {"\r\n \n", "", 1, "the file is empty (no header line)"},
        {"Team\n" + std::string(ResultsCsvReader::kMaxRowLength + 1, 'x') + "\n", "", 1,
         "line 2: row longer than 65536 characters"},
        {"", "--scorers", 2, "--scorers needs a value"},
        {"", "--format xml", 2, "--format needs text or csv, not 'xml'"},
        {"", "--bogus", 2, "unknown option --bogus"},
        {"", "--reset-scores maybe", 2, "--reset-scores needs yes or no, not 'maybe'"},
        {"", "--scorers 99999999 a.csv", 2, "--scorers needs a whole number from 0 to 1000000"},
        {"", "--scorers -1 a.csv", 2, "--scorers needs a whole number from 0 to 1000000"},
        {"", "--finalize=yes a.csv", 2, "--finalize takes no value"},
        {"", "a.csv b.csv", 2, "only one results file may be given"},
        {"", "", 2, "no results file given"},
    };
    for (const auto& [file, given, status, message] : cases) {
        if (!file.empty()) WriteBytes(dir / "bad.csv", file);
        const std::string args = file.empty() ? given : "bad.csv";
        const ProgramRun run = RunProgram(dir, args);
        EXPECT_EQ(run.status, status) << args;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "") << args;
    }
    const ProgramRun help = RunProgram(dir, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--non-scoring-displace"), std::string::npos) << help.out;
}

TEST(ScoreCommand, TeamNamesKeepToOneLineAndCsvQuotesThem) {
    KTempFolder dir;
    std::string text = "team,time\n";
    for (int i = 1; i <= 5; ++i) text += "\"North,\nEast\",10:0" + std::to_string(i) + "\n";
    WriteBytes(dir / "odd.csv", text);
    EXPECT_EQ(RunProgram(dir, "odd.csv").out,
              "Unofficial team standings (5 runners; 5 to qualify, 5 score, up to 2 displace)\n"
              "Place  Team         Points  Places (displacers)\n"
              "    1  North, East      15  1 2 3 4 5\n");
    EXPECT_EQ(RunProgram(dir, "--format csv odd.csv").out,
              kCsvHeader + "1,\"North,\nEast\",15,5,5,1 2 3 4 5\n");
}

TEST(LoadResultsCsv, RowsBecomeResultsAsAnInputUpdateMakesThem) {
    std::istringstream in(
        "Id,Name,Team,Place,Time,Split,Laps\n"
        "7,Ann Lee,North,1,15:01.25,,0\n"
        "8,Lee,South,,dq,5:00,x\n"
        "9,Ann Marie Lee,West,DNS,,,\n"
        "7,ignored name,ignored team,2,15:03.5,14:00,1\n"
        ",,East,3,0,,\n"
        ",,East,4,16:00,,\n");
    EventRecord event;
    EXPECT_EQ(LoadResultsCsv(in, event, CurrentResultCodeTexts()), 6u);
    ResultList& results = event.Results();
    // The second row for Id 7 updated the first; rows without an Id stay apart.
    ASSERT_EQ(results.Size(), 5u);
    const auto summary = [&](TextField field, KStringView key) {
        const ResultRecord* r = results.Find(field, key);
        return ToUtf8(r->FirstName() + u"|" + r->LastName() + u"|" + r->Affiliation()) + "|" +
               std::to_string(r->Place()) + "|" + std::to_string(static_cast<int>(r->Code())) + "|" +
               std::to_string(r->LapsToGo()) + "|" +
               ToUtf8(r->FormatTimeField(r->Time()) + u"|" + r->FormatTimeField(r->CumSplitTime()));
    };
    EXPECT_EQ(summary(TextField::Id, u"7"), "Ann|Lee|North|2|0|1|15:03.5|14:00");
    EXPECT_EQ(summary(TextField::Id, u"8"),
              "|Lee|South|-1|4|0||5:00");  // a code in the time column, bad laps
    EXPECT_EQ(summary(TextField::Id, u"9"), "Ann|Marie Lee|West|-1|1|0||");
    EXPECT_EQ(summary(TextField::Affiliation, u"East"), "||East|3|0|0|0|");  // "0" is a valid zero time
}
