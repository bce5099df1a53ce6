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

/// Runs the real program with `args` (already shell-quoted where needed).
ProgramRun RunProgram(const KTempFolder& dir, const std::string& args) {
    const std::string command = std::string(KESTRUN_SCORE_PROGRAM) + " " + args + " >" +
                                (dir / "stdout.txt").string() + " 2>" + (dir / "stderr.txt").string();
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
    const auto file = dir / "meet.csv";
    WriteBytes(file, blocks[0]);
    const ProgramRun run = RunProgram(dir, "--finalize " + file.string());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, blocks[1]);
    EXPECT_EQ(RunProgram(dir, file.string()).out, blocks[2]);
    EXPECT_EQ(RunProgram(dir, "--finalize --format csv " + file.string()).out, blocks[3]);
}

TEST(ScoreCommand, OptionsChangeTheRules) {
    KTempFolder dir;
    const auto file = dir / "meet.csv";
    WriteBytes(file, GuideExample().at(0));
    const struct {
        std::string options;
        std::string firstLines;
    } cases[] = {
        {"",
         "1,Northfield,28,6,6,1 3 6 8 10 13\n2,Riverside,41,6,6,2 5 9 11 14 15\n,Lakeview,35,3,3,7 12 16\n"},
        {"--min-runners 3", "1,Northfield,28,6,6,1 3 6 8 10 13\n2,Lakeview,35,3,3,7 12 16\n"},
        {"--scorers=3 --displacers=0", "1,Northfield,10,3,6,1 3 6\n2,Riverside,15,3,6,2 5 9\n"},
        {"--non-scoring-displace no",
         "1,Northfield,25,6,6,1 3 6 8 10 13\n2,Riverside,37,6,6,2 5 9 11 14 15\n"},
        // Naming the non-scoring affiliations replaces the built-in ones: UNA becomes a (small) team.
        {"--non-scoring Lakeview --non-scoring Nobody",
         "1,Northfield,28,6,6,1 3 6 8 10 13\n2,Riverside,41,6,6,2 5 9 11 14 15\n,UNA,4,1,1,4\n"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = RunProgram(dir, "--format csv " + c.options + " " + file.string());
        EXPECT_EQ(run.status, 0) << c.options << run.err;
        EXPECT_EQ(run.out.substr(0, kCsvHeader.size() + c.firstLines.size()), kCsvHeader + c.firstLines)
            << c.options;
    }
}

TEST(ScoreCommand, LapsAndSplitsScoreOnlyTheLeadersLapUnlessResetIsOff) {
    KTempFolder dir;
    std::string text = "team;laps;split\n";
    for (int i = 0; i < 5; ++i) text += "A;1;5:0" + std::to_string(i) + "\n";
    for (int i = 0; i < 5; ++i)
        text += "B;" + std::string(i < 3 ? "1" : "2") + ";5:1" + std::to_string(i) + "\n";
    WriteBytes(dir / "splits.csv", text);
    const struct {
        std::string options;
        std::string standings;
    } cases[] = {
        {"", "1,A,15,5,5,1 2 3 4 5\n,B,21,3,3,6 7 8\n"},
        {"--reset-scores no", "1,A,15,5,5,1 2 3 4 5\n2,B,40,5,5,6 7 8 9 10\n"},
        // Counting up, the runners with two laps done lead.
        {"--laps-count-up --reset-scores no", "1,A,25,5,5,3 4 5 6 7\n2,B,30,5,5,1 2 8 9 10\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunProgram(dir, "--format csv " + c.options + " " + (dir / "splits.csv").string()).out,
                  kCsvHeader + c.standings)
            << c.options;
    }
}

TEST(ScoreCommand, BadInputGivesAClearMessageAndAFailureStatus) {
    KTempFolder dir;
    const struct {
        std::string file;  ///< contents, or empty for a missing file
        std::string args;
        int status;
        std::string message;
    } cases[] = {
        {"", "", 1, "missing.csv: cannot open: No such file or directory"},
        {"Place,Bib,Time\n1,2,3\n", "", 1, "line 1: the header line names no affiliation (or team) column"},
        {"Team,Time\nA,1\nB,2\nC,\"3\n", "", 1, "line 4: a quoted field is not closed"},
        {"Team,Name,Time\nA,x,1\nSmith, John,B,3\n", "", 1, "line 3: 4 fields where the header has 3"},
        {"Team,Time\nA,\"1\"2\n", "", 1, "line 2: text after the closing quote of field 2"},
        {"\r\n \n", "", 1, "the file is empty (no header line)"},
        {"Team,Time\nA,\"15:00\n", "", 1, "line 2: a quoted field is not closed before the end of the file"},
        {"Team\n" + std::string(ResultsCsvReader::kMaxRowLength + 1, 'x') + "\n", "", 1,
         "line 2: row longer than 65536 characters"},
        {"", "--scorers", 2, "--scorers needs a value"},
        {"", "--format xml", 2, "--format needs text or csv, not 'xml'"},
        {"", "--bogus", 2, "unknown option --bogus"},
        {"", "--reset-scores maybe", 2, "--reset-scores needs yes or no, not 'maybe'"},
        {"", "--scorers 99999999 a.csv", 2, "--scorers needs a whole number from 0 to 1000000"},
        {"", "--finalize=yes a.csv", 2, "--finalize takes no value"},
        {"", "a.csv b.csv", 2, "only one results file may be given"},
        {"", "", 2, "no results file given"},
    };
    for (const auto& c : cases) {
        std::string args = c.args;
        if (c.status == 1) {
            if (!c.file.empty()) WriteBytes(dir / "bad.csv", c.file);
            args += " " + (dir / (c.file.empty() ? "missing.csv" : "bad.csv")).string();
        }
        const ProgramRun run = RunProgram(dir, args);
        EXPECT_EQ(run.status, c.status) << args;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "") << args;
    }
    const ProgramRun help = RunProgram(dir, "--help");
    EXPECT_EQ(help.status, 0);
    for (const char* option :
         {"--min-runners", "--scorers", "--displacers", "--non-scoring ", "--non-scoring-displace",
          "--reset-scores", "--laps-count-up", "--finalize", "--format", "--help"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
}

TEST(ScoreCommand, TeamNamesKeepToOneLineAndCsvQuotesThem) {
    KTempFolder dir;
    std::string text = "team,time\n";
    for (int i = 1; i <= 5; ++i) text += "\"North,\nEast\",10:0" + std::to_string(i) + "\n";
    WriteBytes(dir / "odd.csv", text);
    EXPECT_EQ(RunProgram(dir, (dir / "odd.csv").string()).out,
              "Unofficial team standings (5 runners; 5 to qualify, 5 score, up to 2 displace)\n"
              "Place  Team         Points  Places (displacers)\n"
              "    1  North, East      15  1 2 3 4 5\n");
    EXPECT_EQ(RunProgram(dir, "--format csv " + (dir / "odd.csv").string()).out,
              kCsvHeader + "1,\"North,\nEast\",15,5,5,1 2 3 4 5\n");
}

TEST(ScoreCommand, AnyBytesEndInAnOrderlyExit) {
    KTempFolder dir;
    std::string noise;
    uint32_t seed = 12345;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245u + 12345u;
        noise += static_cast<char>((seed >> 16) & 0xFF);
    }
    for (const std::string& bytes : {noise, "Team\n" + noise, std::string("\xFF\xFE", 2) + noise,
                                     std::string("team,time\n\"") + noise}) {
        WriteBytes(dir / "noise.csv", bytes);
        const ProgramRun run = RunProgram(dir, (dir / "noise.csv").string());
        EXPECT_TRUE(run.status == 0 || run.status == 1) << run.status << run.err;
    }
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
    ASSERT_EQ(results.Size(),
              5u);  // the second row for Id 7 updated the first; rows without an Id stay apart

    ResultRecord* ann = results.Find(TextField::Id, u"7");
    EXPECT_EQ(ann->FirstName() + u" " + ann->LastName() + u" " + ann->Affiliation(), u"Ann Lee North");
    EXPECT_EQ(ann->Place(), 2);
    EXPECT_TRUE(
        ann->Time().IsIdentical(TimeValue(TickCount::FromInt64((15 * 60 + 3) * 80000 + 40000), kTicksTenth)));
    EXPECT_TRUE(ann->CumSplitTime().IsValid());
    EXPECT_EQ(ann->LapsToGo(), 1);

    ResultRecord* lee = results.Find(TextField::Id, u"8");
    EXPECT_EQ(lee->FirstName() + u"|" + lee->LastName(), u"|Lee");
    EXPECT_EQ(lee->Code(), ResultCode::Disqualified);  // a code in the time column
    EXPECT_FALSE(lee->Time().IsValid());
    EXPECT_EQ(lee->LapsToGo(), 0);  // unreadable laps

    ResultRecord* marie = results.Find(TextField::Id, u"9");
    EXPECT_EQ(marie->FirstName() + u"|" + marie->LastName(), u"Ann|Marie");
    EXPECT_EQ(marie->Code(), ResultCode::DidNotStart);
    EXPECT_TRUE(results.Find(TextField::Affiliation, u"East")->Time().IsValid());  // "0" is a valid zero time
}

TEST(ParseScoreArguments, BothOptionFormsAndTheEndOfOptions) {
    const ScoreOptions set = ParseScoreArguments({"--min-runners=4", "--scorers", "6", "--non-scoring", "",
                                                  "--non-scoring=Guests", "--finalize", "--", "-x.csv"});
    EXPECT_EQ(set.minRunners, 4);
    EXPECT_EQ(set.scorers, 6);
    EXPECT_EQ(set.nonScoring, (std::vector<KString>{u"", u"Guests"}));
    EXPECT_TRUE(set.finalize);
    EXPECT_EQ(set.file, "-x.csv");
    EXPECT_THROW(ParseScoreArguments({"--scorers", "-1", "a.csv"}), ScoreUsageError);
    EXPECT_TRUE(ParseScoreArguments({"--help"}).help);
}
