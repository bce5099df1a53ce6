// kestrun-sim's pieces: the messages it encodes, the race it plays, its command line and failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "GatemarkMessage.h"
#include "SimCommand.h"
#include "SimRace.h"
#include "support/KTempFolder.h"

TEST(KestrunSim, MessagesAreTheProtocolGuidesBytesAndSplitToFitAReceiver) {
    const GatemarkEvent event{u"Unofficial", u"Boys 5K", {}, u"12", u"1", u"1", u"Mass", 3};
    const std::vector<GatemarkLine> lines = {
        {u"1", {}, u"101", u"Ann Lee", u"Northfield", u"15:01.2", {}, {}, {}, u"0"},
        {u"2", {}, u"205", u"Bo Kim", u"Riverside", u"15:04.8", u"3.6", {}, {}, u"0"}};
    // The example of docs/gatemark-protocol.md, which the shipped script's test also feeds.
    EXPECT_EQ(EncodeGatemarkResults(event, lines),
              std::vector<std::string>{"\x03\x02GMRUnofficial\tBoys 5K\t\t12\t1\t1\tMass\t3\r\n"
                                       "1\t\t101\tAnn Lee\tNorthfield\t15:01.2\t\t\t\t0\r\n"
                                       "2\t\t205\tBo Kim\tRiverside\t15:04.8\t3.6\t\t\t0\r\n\x03"});

    // A control character cannot end a field early; a long list goes out as several messages.
    std::vector<GatemarkLine> many(2000, {u"1", {}, u"7\t\x03", u"A\r\nB", u"X", {}, {}, {}, {}, u"0"});
    const std::string blanked = "\t7  \tA  B\tX\t";
    size_t total = 0;
    for (const std::string& message : EncodeGatemarkResults(event, many)) {
        EXPECT_LE(message.size(), kGatemarkMaxMessage);
        EXPECT_TRUE(message.starts_with("\x03\x02GMRUnofficial\tBoys 5K\t"));
        for (size_t at = message.find(blanked); at != std::string::npos; at = message.find(blanked, at + 1))
            ++total;
    }
    EXPECT_EQ(total, many.size());
}

TEST(KestrunSim, RaceFileIsPlayedInFinishingOrderWithCodesAtTheEnd) {
    const auto lines = [](const std::vector<GatemarkLine>& all) {
        std::string text;
        for (const GatemarkLine& l : all)
            text += ToUtf8(l.place + u"|" + l.id + u"|" + l.name + u"|" + l.time + u"|" + l.deltaTime) + "\n";
        return text;
    };
    std::istringstream in(
        "Place,Bib,Name,Team,Time\n"
        "2,205,Bo Kim,Riverside,15:04.8\n"
        "1,101,Ann Lee,Northfield,15:01.2\n"
        ",304,Quin Vo,Lakeview,dnf\n"
        "3,,Cy,Northfield,901.2\n");
    const SimRace race = ReadRace(in);
    // Cy has no bib: Kestrun tells runners apart by Id, so he gets one (the fourth runner of the file).
    EXPECT_EQ(lines(race.finishers),
              "1|101|Ann Lee|15:01.2|\n3|#4|Cy|15:01.2|0.0\n2|205|Bo Kim|15:04.8|3.6\n");
    EXPECT_EQ(lines(race.others), "DNF|304|Quin Vo||\n");

    // The same seed makes the same race.
    EXPECT_EQ(lines(GenerateRace(50, 4, 9).finishers), lines(GenerateRace(50, 4, 9).finishers));
}

TEST(KestrunSim, CommandLineFailuresSayWhatIsWrongWithTheirExitStatus) {
    KTempFolder folder;
    WriteBytes(folder / "empty.csv", "Place,Name,Team,Time\n");
    const std::string empty = (folder / "empty.csv").string();
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{}, kSimUsageError, "no PORTSPEC given"},
        {{"--colour", "-1,127.0.0.1,1"}, kSimUsageError, "unknown option --colour"},
        {{"-1,127.0.0.1"}, kSimFailed, "needs an IP address and a port"},
        {{empty, "-3,127.0.0.1,9"}, kSimFailed, "the race has no runners"},
        {{(folder / "none.csv").string(), "-3,127.0.0.1,9"}, kSimFailed, "cannot open"},
    };
    for (const auto& c : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(RunSim(c.args, out, err), c.status) << c.message;
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    }
    // The program hands on its arguments, not its own name as a race file.
    EXPECT_EQ(std::system(KESTRUN_SIM_PROGRAM " --runners 1 --speed 1e6 -3,127.0.0.1,9 > /dev/null"), 0);
}
