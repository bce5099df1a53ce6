// The scoreboard scripts we ship, as the scoreboard engine sends them to a board, byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "scoreboards/ScoreboardTestSupport.h"

namespace {

/// Board 1 runs a shipped script over a small meet: three teams and three runners. Pages follow
/// every 5 s from 1 s on; the time of day starts at 10:15:30.2.
class ShippedBoard : public ScoreboardFixture {
public:
    ShippedBoard(const char* script, std::initializer_list<const char16_t*> lines)
        : ScoreboardFixture(1, ReadBytes(std::filesystem::path(KESTRUN_SOURCE_DIR) / "data" / script)) {
        for (const char16_t* line : lines) Set(1, line);
        event.SetName(u"Boys 5K");
        // Team i has members[i] (Lakeview's three are too few to place) and its runner i finishes
        // in tenths[i].
        const KStringView teams[] = {u"Northfield", u"Riverside Academy of Arts and Sciences", u"Lakeview"};
        const KStringView first[] = {u"Ann", u"Bo", u"Cy"}, last[] = {u"Lee", u"Kimberley-Ashworth", u"Ng"};
        const int members[] = {5, 6, 3}, points[] = {23, 41, 0}, tenths[] = {9012, 9048, 9604};
        for (int i = 0; i < 3; ++i) {
            ResultRecord& team = *event.Standings().Add();
            team.SetPlace(i + 1);
            team.SetAffiliation(teams[i]);
            team.SetNumMembers(members[i]);
            team.SetPoints(points[i]);
            ResultRecord& runner = *event.Results().Add();
            runner.SetPlace(i + 1);
            runner.SetFirstName(first[i]);
            runner.SetLastName(last[i]);
            runner.SetAffiliation(teams[i]);
            runner.SetTime(TimeValue(kTicksTenth * tenths[i], kTicksTenth));
        }
        timeOfDay = ((10 * 60 + 15) * 60 + 30) * 1000 + 200;
        Start();
    }
};

std::string Blanks(size_t count) { return std::string(count, ' '); }

/// STX `text` ETX, as the video protocol and the LED sign frame their commands.
std::string Frame(const std::string& text) { return "\x02" + text + "\x03"; }

// A frame of the LED sign: address 01, the line and the text, then the exclusive or of the bytes
// from the address to ETX.
std::string LedFrame(char line, const std::string& text) {
    const std::string frame = Frame("01" + std::string(1, line) + text);
    char lrc = 0;
    for (const char c : frame.substr(1)) lrc ^= c;
    return frame + lrc;
}

}  // namespace

TEST(BoardScripts, TeamScoresBoardSendsTitleTeamLinesMessagesAndTheTimeOfDayOncePerSecond) {
    ShippedBoard board("Telerank_Video_TeamScores_3lines.vss", {u"PageSize:Int=3", u"Filter:Int=1"});
    board.manager->RequestInitialize();
    EXPECT_EQ(board.At(500), Frame("C") + "\r\n");
    EXPECT_EQ(board.At(1000), Frame("C") + Frame("L00Boys 5K" + Blanks(25)) +
                                  Frame("L01  1 Northfield" + Blanks(13) + "   23") +
                                  Frame("L02  2 Riverside Academy of Ar   41") +
                                  Frame("L03    Lakeview" + Blanks(20)) + "\r\n");
    EXPECT_EQ(board.Message(u"Awards at noon\r\nby the finish line", 7000),
              Frame("C") + Frame("L01Awards at noon" + Blanks(18)) +
                  Frame("L02by the finish line" + Blanks(14)) + "\r\n");
    board.manager->SetShowTimeOfDay(true);
    EXPECT_EQ(board.At(9000), Frame("K10:15:30") + "\r\n");
    board.timeOfDay += 100;
    EXPECT_EQ(board.At(9100), "");
    board.timeOfDay += 800;
    EXPECT_EQ(board.At(9900), Frame("K10:15:31") + "\r\n");
}

TEST(BoardScripts, LedSignSendsOneChecksummedFramePerLine) {
    ShippedBoard board("LED_Sign_Results_2x20.vss", {u"PageSize:Int=2", u"IncludeFirst:Bool=1"});
    board.manager->RequestInitialize();
    // The checksum of the documented example, spelt out once.
    EXPECT_EQ(board.At(500), Frame("011" + Blanks(20)) + "\x33" + LedFrame('2', Blanks(20)));
    EXPECT_EQ(board.At(1000), LedFrame('1', "  1 Ann Lee  15:01.2") + LedFrame('2', "  2 Bo Kimbe 15:04.8"));
    EXPECT_EQ(board.Message(u"Awards at noon", 2000), LedFrame('1', "Awards at noon      "));
    EXPECT_EQ(board.At(6000), LedFrame('1', "  3 Cy Ng    16:00.4") + LedFrame('2', Blanks(20)));
    board.manager->SetShowTimeOfDay(true);
    board.timeOfDay = ((9 * 60 + 5) * 60 + 3) * 1000;
    EXPECT_EQ(board.At(7000), LedFrame('1', "9:05:03" + Blanks(13)));
}
