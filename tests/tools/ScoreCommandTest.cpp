#include "ScoreCommand.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ResultsCsv.h"
#include "scoring/EventRecord.h"

namespace {

/// A fresh folder for one test, removed afterwards.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrun-score-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(m_path / name, std::ios::binary) << bytes;
        return m_path / name;
    }

private:
    std::filesystem::path m_path;
};

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

/// Runs the real program with `args` (already shell-quoted where needed).
ProgramRun RunProgram(const TempDir& dir, const std::string& args) {
    const auto out = dir.Path() / "stdout.txt";
    const auto err = dir.Path() / "stderr.txt";
    const std::string command =
        std::string(KESTRUN_SCORE_PROGRAM) + " " + args + " >" + out.string() + " 2>" + err.string();
    const int raw = std::system(command.c_str());
    ProgramRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    return run;
}

const char* const kMeet =
    "Place,Bib,Name,Team,Time\n"
    "1,101,Ann Lee,Northfield,15:01.2\n"
    "2,205,Bo Kim,Riverside,15:04.8\n"
    "3,102,Cy Park,Northfield,15:09.0\n"
    "4,900,Dee Fox,UNA,15:12.3\n"
    "5,206,Eli Ray,Riverside,15:15.5\n"
    "6,103,Flo Hart,Northfield,15:20.1\n"
    "7,301,Gus Oh,Lakeview,15:22.0\n"
    "8,104,Hal Ng,Northfield,15:25.7\n"
    "9,207,Ivy Tan,Riverside,15:30.0\n"
    "10,105,Jo Wu,Northfield,15:33.3\n"
    "11,208,Kai Do,Riverside,15:36.6\n"
    "12,302,Lu Yi,Lakeview,15:40.0\n"
    "13,106,Mo Le,Northfield,15:44.4\n"
    "14,209,Ned Po,Riverside,15:50.9\n"
    "15,210,Oz Qi,Riverside,15:55.5\n"
    "16,303,Pia Su,Lakeview,16:02.2\n"
    ",304,Quin Vo,Lakeview,DNF\n"
    ",211,Rae Xu,Riverside,dnf\n";

}  // namespace

TEST(ScoreCommand, FinalizedTextStandingsAreWhatMeetsPublish) {
    TempDir dir;
    const auto file = dir.Write("meet.csv", kMeet);
    const ProgramRun run = RunProgram(dir, "--finalize " + file.string());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "Official team standings (18 runners; 5 to qualify, 5 score, up to 2 displace)\n"
              "Place  Team        Points  Places (displacers)\n"
              "    1  Northfield      26  1 3 6 8 10 (13)\n"
              "    2  Riverside       37  2 5 9 11 14 (15)\n"
              "       Lakeview         0\n");
}

TEST(ScoreCommand, CsvStandingsListEveryTeamLine) {
    TempDir dir;
    const auto file = dir.Write("meet.csv", kMeet);
    const ProgramRun run = RunProgram(dir, "--format csv " + file.string());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "place,affiliation,points,scorers,members,places\n"
              "1,Northfield,28,6,6,1 3 6 8 10 13\n"
              "2,Riverside,41,6,6,2 5 9 11 14 15\n"
              ",Lakeview,35,3,3,7 12 16\n");
}

TEST(ScoreCommand, OptionsChangeTheRules) {
    TempDir dir;
    const auto file = dir.Write("meet.csv", kMeet);
    struct Case {
        std::string options;
        std::string firstLines;
    };
    const Case cases[] = {
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
        EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1),
                  "place,affiliation,points,scorers,members,places\n");
        EXPECT_EQ(run.out.substr(run.out.find('\n') + 1, c.firstLines.size()), c.firstLines) << c.options;
    }
}

TEST(ScoreCommand, LapsAndSplitsScoreOnlyTheLeadersLapUnlessResetIsOff) {
    TempDir dir;
    std::string text = "team;laps;split\n";
    for (int i = 0; i < 5; ++i) text += "A;1;5:0" + std::to_string(i) + "\n";
    for (int i = 0; i < 5; ++i)
        text += "B;" + std::string(i < 3 ? "1" : "2") + ";5:1" + std::to_string(i) + "\n";
    const auto file = dir.Write("splits.csv", text);
    ProgramRun run = RunProgram(dir, "--format csv " + file.string());
    EXPECT_EQ(run.out,
              "place,affiliation,points,scorers,members,places\n1,A,15,5,5,1 2 3 4 5\n,B,21,3,3,6 7 8\n");
    run = RunProgram(dir, "--format csv --reset-scores no " + file.string());
    EXPECT_EQ(
        run.out,
        "place,affiliation,points,scorers,members,places\n1,A,15,5,5,1 2 3 4 5\n2,B,40,5,5,6 7 8 9 10\n");
    // Counting up, the runners with two laps done lead.
    run = RunProgram(dir, "--format csv --laps-count-up --reset-scores no " + file.string());
    EXPECT_EQ(
        run.out,
        "place,affiliation,points,scorers,members,places\n1,A,25,5,5,3 4 5 6 7\n2,B,30,5,5,1 2 8 9 10\n");
}

TEST(ScoreCommand, BadInputGivesAClearMessageAndAFailureStatus) {
    TempDir dir;
    struct Case {
        std::string file;  ///< contents, or empty for a missing file
        std::string args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"", "", 1, "missing.csv: cannot open: No such file or directory"},
        {"Place,Bib,Time\n1,2,3\n", "", 1, "line 1: the header line names no affiliation (or team) column"},
        {"Team,Time\nA,1\nB,2\nC,\"3\n", "", 1, "line 4: a quoted field is not closed"},
        {"Team,Name,Time\nA,x,1\nSmith, John,B,3\n", "", 1, "line 3: 4 fields where the header has 3"},
        {"", "--scorers", 2, "--scorers needs a value"},
        {"", "--format xml", 2, "--format needs text or csv, not 'xml'"},
        {"", "--bogus", 2, "unknown option --bogus"},
        {"", "--reset-scores maybe", 2, "--reset-scores needs yes or no, not 'maybe'"},
    };
    for (const auto& c : cases) {
        std::string args = c.args;
        if (c.status == 1)
            args +=
                " " + (c.file.empty() ? (dir.Path() / "missing.csv") : dir.Write("bad.csv", c.file)).string();
        const ProgramRun run = RunProgram(dir, args);
        EXPECT_EQ(run.status, c.status) << args;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "") << args;
    }
    const ProgramRun none = RunProgram(dir, "");
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("no results file given"), std::string::npos);
}

TEST(ScoreCommand, TeamNamesKeepToOneLineAndCsvQuotesThem) {
    TempDir dir;
    std::string text = "team,time\n";
    for (int i = 1; i <= 5; ++i) text += "\"North,\nEast\",10:0" + std::to_string(i) + "\n";
    const auto file = dir.Write("odd.csv", text);
    EXPECT_EQ(RunProgram(dir, file.string()).out,
              "Unofficial team standings (5 runners; 5 to qualify, 5 score, up to 2 displace)\n"
              "Place  Team         Points  Places (displacers)\n"
              "    1  North, East      15  1 2 3 4 5\n");
    EXPECT_EQ(RunProgram(dir, "--format csv " + file.string()).out,
              "place,affiliation,points,scorers,members,places\n1,\"North,\nEast\",15,5,5,1 2 3 4 5\n");
}

TEST(ScoreCommand, HelpListsTheOptions) {
    TempDir dir;
    const ProgramRun run = RunProgram(dir, "--help");
    EXPECT_EQ(run.status, 0);
    for (const char* option :
         {"--min-runners", "--scorers", "--displacers", "--non-scoring ", "--non-scoring-displace",
          "--reset-scores", "--laps-count-up", "--finalize", "--format", "--help"}) {
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
    }
}

TEST(ScoreCommand, AnyBytesEndInAnOrderlyExit) {
    TempDir dir;
    std::string noise;
    uint32_t seed = 12345;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245u + 12345u;
        noise += static_cast<char>((seed >> 16) & 0xFF);
    }
    for (const std::string& bytes : {noise, "Team\n" + noise, std::string("\xFF\xFE", 2) + noise,
                                     std::string("team,time\n\"") + noise}) {
        const auto file = dir.Write("noise.csv", bytes);
        const ProgramRun run = RunProgram(dir, file.string());
        EXPECT_TRUE(run.status == 0 || run.status == 1) << run.status << run.err;
    }
}

TEST(ScoreCommand, WorkedExampleOfTheGuidePrintsWhatTheGuideShows) {
    // The guide's example: the first indented block after its heading is the
    // file, the next three what the program prints for it.
    std::ifstream guide(std::filesystem::path(KESTRUN_SOURCE_DIR) / "docs" / "kestrun-score.md");
    ASSERT_TRUE(guide) << "docs/kestrun-score.md";
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
    ASSERT_EQ(blocks.size(), 4u);
    TempDir dir;
    const auto file = dir.Write("meet.csv", blocks[0]);
    EXPECT_EQ(RunProgram(dir, "--finalize " + file.string()).out, blocks[1]);
    EXPECT_EQ(RunProgram(dir, file.string()).out, blocks[2]);
    EXPECT_EQ(RunProgram(dir, "--finalize --format csv " + file.string()).out, blocks[3]);
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
    ASSERT_EQ(results.Size(), 5u);  // the second row for Id 7 updated the first

    ResultRecord* ann = results.Find(TextField::Id, u"7");
    ASSERT_NE(ann, nullptr);
    EXPECT_EQ(ann->FirstName(), u"Ann");
    EXPECT_EQ(ann->LastName(), u"Lee");
    EXPECT_EQ(ann->Affiliation(), u"North");  // an update keeps the names and team
    EXPECT_EQ(ann->Place(), 2);
    EXPECT_EQ(ann->Time().GetTicks().Value(), (15 * 60 + 3) * 80000 + 40000);
    EXPECT_EQ(ann->Time().GetPrecision(), TickCount(8000));
    EXPECT_TRUE(ann->CumSplitTime().IsValid());
    EXPECT_EQ(ann->LapsToGo(), 1);

    ResultRecord* lee = results.Find(TextField::Id, u"8");
    EXPECT_EQ(lee->FirstName(), u"");
    EXPECT_EQ(lee->LastName(), u"Lee");
    EXPECT_EQ(lee->Code(), ResultCode::Disqualified);  // a code in the time column
    EXPECT_FALSE(lee->Time().IsValid());
    EXPECT_EQ(lee->LapsToGo(), 0);  // unreadable laps

    ResultRecord* marie = results.Find(TextField::Id, u"9");
    EXPECT_EQ(marie->FirstName(), u"Ann");
    EXPECT_EQ(marie->LastName(), u"Marie");
    EXPECT_EQ(marie->Code(), ResultCode::DidNotStart);

    // Rows without an Id stay separate runners; "0" is a valid zero time.
    size_t east = 0;
    for (ResultRecord& r : results.Sorted()) {
        if (r.Affiliation() != u"East") continue;
        ++east;
        EXPECT_TRUE(r.Time().IsValid());
    }
    EXPECT_EQ(east, 2u);
}

TEST(ParseScoreArguments, DefaultsAndForms) {
    const ScoreOptions defaults = ParseScoreArguments({"results.csv"});
    EXPECT_EQ(defaults.minRunners, 5);
    EXPECT_EQ(defaults.scorers, 5);
    EXPECT_EQ(defaults.displacers, 2);
    EXPECT_FALSE(defaults.nonScoringGiven);
    EXPECT_TRUE(defaults.nonScoringDisplace);
    EXPECT_TRUE(defaults.resetScores);
    EXPECT_FALSE(defaults.lapsCountUp);
    EXPECT_FALSE(defaults.finalize);
    EXPECT_EQ(defaults.format, ScoreFormat::Text);
    EXPECT_EQ(defaults.file, "results.csv");

    const ScoreOptions set = ParseScoreArguments({"--min-runners=4", "--scorers", "6", "--non-scoring", "",
                                                  "--non-scoring=Guests", "--finalize", "--", "-x.csv"});
    EXPECT_EQ(set.minRunners, 4);
    EXPECT_EQ(set.scorers, 6);
    EXPECT_EQ(set.nonScoring, (std::vector<KString>{u"", u"Guests"}));
    EXPECT_TRUE(set.finalize);
    EXPECT_EQ(set.file, "-x.csv");

    EXPECT_THROW(ParseScoreArguments({"a.csv", "b.csv"}), ScoreUsageError);
    EXPECT_THROW(ParseScoreArguments({"--finalize=yes", "a.csv"}), ScoreUsageError);
    EXPECT_THROW(ParseScoreArguments({"--scorers", "-1", "a.csv"}), ScoreUsageError);
    EXPECT_THROW(ParseScoreArguments({"--scorers", "99999999", "a.csv"}), ScoreUsageError);
    EXPECT_TRUE(ParseScoreArguments({"--help"}).help);
}
