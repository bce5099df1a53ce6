// The scoreboard scripts we ship, rendered as the output engine renders them, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "scoring/EventRecord.h"
#include "script/VScoreboardScript.h"

namespace {

class BoardHost : public VScriptHost {
public:
    const VScriptSettings& ScriptSettings() override { return settings; }
    uint32_t Tick() override { return now; }
    // The board gets one byte per character (code set "Single Byte").
    void Output(KStringView line) override {
        for (const KChar c : line) bytes += static_cast<char>(c & 0xFF);
    }

    VScriptSettings settings;
    uint32_t now = 0;
    std::string bytes;
};

/// One loaded script and the data a scoreboard shows: a small meet with three teams and four runners.
class Board {
public:
    explicit Board(const char* script) {
        const bool loaded = m_script.Load(std::filesystem::path(KESTRUN_SOURCE_DIR) / "data" / script);
        EXPECT_TRUE(loaded) << script;
        snapshot.name = u"Boys 5K";
        AddTeam(1, u"Northfield", 5, 23);
        AddTeam(2, u"Riverside Academy of Arts and Sciences", 6, 41);
        AddTeam(3, u"Lakeview", 3, 0);  // too few runners to place
        AddRunner(1, u"Ann", u"Lee", u"Northfield", kTicksSecond * 901 + kTicksTenth * 2);
        AddRunner(2, u"Bo", u"Kimberley-Ashworth", u"Riverside", kTicksSecond * 904 + kTicksTenth * 8);
        AddRunner(3, u"Cy", u"Ng", u"Lakeview", kTicksSecond * 960 + kTicksTenth * 4);
    }

    /// A results page as the engine sends it: the header, the Results page once per line (R0 the
    /// line's index, a missing record blank), the trailer.
    std::string Results(bool standings, size_t offset, size_t pageSize) {
        host.settings.filter = standings ? 1 : 0;
        ResultList& list = standings ? m_event.Standings() : m_event.Results();
        VUpdateRecord record;
        record.event = &m_event;
        record.list = &list;
        record.snapshot = &snapshot;
        Run(VScoreboardScript::kResultsHeader, record);
        ResultRecord* next = list.First(nullptr);
        for (size_t skip = 0; skip < offset && next != nullptr; ++skip) next = list.Next(next, nullptr);
        for (size_t i = 0; i < pageSize; ++i) {
            record.record = next;
            if (next != nullptr) next = list.Next(next, nullptr);
            m_script.Registers()[0] = static_cast<int32_t>(i);
            Run(VScoreboardScript::kResults, record);
        }
        record.record = nullptr;
        Run(VScoreboardScript::kResultsTrailer, record);
        return Take();
    }

    std::string Message(const std::vector<KString>& lines) {
        VUpdateRecord record;
        Run(VScoreboardScript::kMessageHeader, record);
        for (size_t i = 0; i < lines.size(); ++i) {
            record.messageLine = &lines[i];
            m_script.Registers()[0] = static_cast<int32_t>(i);
            Run(VScoreboardScript::kMessage, record);
        }
        record.messageLine = nullptr;
        Run(VScoreboardScript::kMessageTrailer, record);
        return Take();
    }

    /// The time of day at tenths, `tick` ms into the run.
    std::string TimeOfDay(TickCount time, uint32_t tick) {
        host.now = tick;
        VUpdateRecord record;
        record.time = TimeValue(time, kTicksTenth);
        record.precision = kTicksTenth;
        Run(VScoreboardScript::kTimeOfDay, record);
        return Take();
    }

    std::string Initialization() {
        Run(VScoreboardScript::kInitialization, VUpdateRecord{});
        return Take();
    }

    BoardHost host;
    VEventSnapshot snapshot;

private:
    void Run(int slot, const VUpdateRecord& record) {
        if (const VScoreboardScript::VSSPage* page = m_script.FirstPage(slot))
            m_script.Run(*page, record, host);
    }
    std::string Take() { return std::exchange(host.bytes, {}); }

    void AddTeam(int32_t place, KStringView name, int32_t members, int32_t points) {
        ResultRecord& team = *m_event.Standings().Add();
        team.SetPlace(place);
        team.SetAffiliation(name);
        team.SetNumMembers(members);
        team.SetPoints(points);
    }
    void AddRunner(int32_t place, KStringView first, KStringView last, KStringView team, TickCount time) {
        ResultRecord& runner = *m_event.Results().Add();
        runner.SetPlace(place);
        runner.SetFirstName(first);
        runner.SetLastName(last);
        runner.SetAffiliation(team);
        runner.SetTime(TimeValue(time, kTicksTenth));
        runner.SetDisplayPrecision(kTicksTenth);
    }

    VScoreboardScript m_script;
    EventRecord m_event;
};

std::string Blanks(size_t count) { return std::string(count, ' '); }

// Frames of the video protocol.
const std::string kClear = std::string(1, '\x02') + "C\x03";
std::string Line(const char* row, const std::string& text) {
    return "\x02L" + std::string(row) + text + "\x03";
}

}  // namespace

TEST(BoardScripts, TeamScoresBoardSendsTitleAndThreeTeamLinesOfThirtyTwoCharacters) {
    Board board("Telerank_Video_TeamScores_3lines.vss");
    EXPECT_EQ(board.Initialization(), kClear + "\r\n");
    EXPECT_EQ(board.Results(true, 0, 3), kClear + Line("00", "Boys 5K" + Blanks(25)) +
                                             Line("01", "  1 Northfield" + Blanks(13) + "   23") +
                                             Line("02", "  2 Riverside Academy of Ar   41") +
                                             Line("03", "    Lakeview" + Blanks(20)) + "\r\n");
    // The second page has one team; the rest of the page is blank lines.
    board.snapshot.official = true;
    board.host.settings.official = u"Official results";
    EXPECT_EQ(board.Results(true, 2, 3), kClear + Line("00", "Boys 5K" + Blanks(18) + "Officia") +
                                             Line("01", "    Lakeview" + Blanks(20)) +
                                             Line("02", Blanks(32)) + Line("03", Blanks(32)) + "\r\n");
}

TEST(BoardScripts, TeamScoresBoardShowsMessagesAndTheTimeOfDayOncePerSecond) {
    Board board("Telerank_Video_TeamScores_3lines.vss");
    EXPECT_EQ(board.Message({u"Awards at noon", u"by the finish line"}),
              kClear + Line("01", "Awards at noon" + Blanks(18)) +
                  Line("02", "by the finish line" + Blanks(14)) + "\r\n");
    EXPECT_EQ(board.Message({}), kClear + "\r\n");

    const TickCount tenFifteen = kTicksHour * 10 + kTicksMinute * 15 + kTicksSecond * 30;
    EXPECT_EQ(board.TimeOfDay(tenFifteen + kTicksTenth * 2, 1000), "\x02K10:15:30\x03\r\n");
    EXPECT_EQ(board.TimeOfDay(tenFifteen + kTicksTenth * 3, 1100), "");
    EXPECT_EQ(board.TimeOfDay(tenFifteen + kTicksSecond, 1900), "\x02K10:15:31\x03\r\n");
}

TEST(BoardScripts, ResultsBoardSendsEightRunnerLinesWithTimesInOneColumn) {
    Board board("Telerank_Video_Results_8lines.vss");
    board.host.settings.includeFirst = true;
    std::string expected = kClear + Line("00", "Boys 5K" + Blanks(33)) +
                           Line("01", "  1 Ann Lee" + Blanks(10) + " Northfie 15:01.2  ") +
                           Line("02", "  2 Bo Kimberley-Ashw Riversid 15:04.8  ") +
                           Line("03", "  3 Cy Ng" + Blanks(12) + " Lakeview 16:00.4  ");
    for (const char* row : {"04", "05", "06", "07", "08"}) expected += Line(row, Blanks(40));
    EXPECT_EQ(board.Results(false, 0, 8), expected + "\r\n");
}

namespace {

// A frame of the LED sign: STX, address 01, the line, the text, ETX, the exclusive or of the
// bytes from the address to ETX.
std::string LedFrame(char line, const std::string& text) {
    std::string frame = std::string("01") + line + text + "\x03";
    char lrc = 0;
    for (const char c : frame) lrc ^= c;
    return "\x02" + frame + lrc;
}

}  // namespace

TEST(BoardScripts, LedSignSendsOneChecksummedFramePerLine) {
    Board board("LED_Sign_Results_2x20.vss");
    // The checksum of the documented example, spelt out once.
    EXPECT_EQ(board.Initialization(),
              "\x02" + std::string("011") + Blanks(20) + "\x03\x33" + LedFrame('2', Blanks(20)));
    EXPECT_EQ(board.Results(false, 0, 2),
              LedFrame('1', "  1 Lee      15:01.2") + LedFrame('2', "  2 Kimberle 15:04.8"));
    EXPECT_EQ(board.Results(false, 2, 2), LedFrame('1', "  3 Ng       16:00.4") + LedFrame('2', Blanks(20)));
    EXPECT_EQ(board.Message({u"Awards at noon"}), LedFrame('1', "Awards at noon      "));
    const TickCount nineOhFive = kTicksHour * 9 + kTicksMinute * 5 + kTicksSecond * 3;
    EXPECT_EQ(board.TimeOfDay(nineOhFive, 5000), LedFrame('1', "9:05:03" + Blanks(13)));
    EXPECT_EQ(board.TimeOfDay(nineOhFive + kTicksTenth, 5100), "");
}
