#include "script/VScoreboardScript.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "scoring/EventRecord.h"
#include "script/ScriptTestSupport.h"
#include "support/KTempFolder.h"

namespace {

using Script = VScoreboardScript;

class FakeHost : public VScriptHost {
public:
    const VScriptSettings& ScriptSettings() override { return settings; }
    uint32_t Tick() override { return now; }
    void Output(KStringView line) override { lines.emplace_back(line); }

    VScriptSettings settings;
    uint32_t now = 0;
    std::vector<KString> lines;
};

// A section as "Name=" and each page as number[line|line], pages separated by blanks.
std::string Describe(const Script& script, const std::string& name) {
    const Script::VSSSection* section = script.Section(Script::SlotNamed(FromUtf8(name)));
    if (section == nullptr) return name + "=none";
    std::string text = name + "=";
    for (const Script::VSSPage& page : section->Pages()) {
        text += (text.back() == '=' ? "" : " ") + std::to_string(page.Number()) + "[";
        for (const auto& line : page.Lines()) text += (text.back() == '[' ? "" : "|") + ToUtf8(line.Text());
        text += "]";
    }
    return text;
}

void Read(Script& script, const std::string& bytes) {
    KTempFolder folder;
    WriteBytes(folder / "a.vss", bytes);
    ASSERT_TRUE(script.Load(folder / "a.vss"));
}

using S = VScriptSettings;

/// Default scoreboard settings with one member changed.
template <typename T, typename V>
S With(T S::*member, V value) {
    S settings;
    settings.*member = value;
    return settings;
}

}  // namespace

TEST(VScoreboardScript, ReadingBuildsSectionsPagesAndFallbacks) {
    // What a file shows, its bytes, and its sections as "Section=description;...".
    const std::tuple<const char*, std::string, std::string> cases[] = {
        {"pages by number; a repeated header appends",
         ";;Results[2]\nA1\n;;Results[0]\nB1\n;;Results[2]\nA2\n", "Results=2[A1|A2] 0[B1]"},
        {"comments, defaults line, short lines and lines before any section are dropped",
         "; Defaults: 9600,8,N,1\r\nearly\r\n;;Initialization\r\n; note\r\nx\r\n\r\n0Hi\r\n",
         "Initialization=0[0Hi]"},
        {"an unknown header keeps the current page", ";;Wind\n1%s\n;;Windy\n2%s\n;;result\n3%s\n",
         "Wind=0[1%s|2%s|3%s];Results=none"},
        {"Result is a second name; a bad page number is 0", ";;Result[x]\n1%s\n", "Results=0[1%s]"},
        {"list and armed-clock fallbacks", ";;ResultsHeader\n0H\n;;Results\n1%s\n;;TimeRunning\n1%s\n",
         "StartListHeader=0[0H];StartedHeader=0[0H];StartList=0[1%s];Started=0[1%s];StartListTrailer=none;"
         "TimeArmed=0[1%s];TimeOfDay=0[1%s];TimeStopped=none"},
        {"time of day without lines takes time running; its own lines stay",
         ";;TimeOfDay\n;;TimeRunning\n1R\n;;TimeStopped\n1S\n;;StartList\n2L\n",
         "TimeOfDay=0[1R];TimeStopped=0[1S];Started=0[2L]"},
        {"UTF-16 with CR line ends", Utf16Bytes(u";;Message\r1\x00e9%s\r", true), "Message=0[1\xC3\xA9%s]"},
    };
    for (const auto& [name, bytes, expected] : cases) {
        SCOPED_TRACE(name);
        Script script;
        ASSERT_NO_FATAL_FAILURE(Read(script, bytes));
        std::istringstream sections(expected);
        for (std::string item; std::getline(sections, item, ';');)
            EXPECT_EQ(Describe(script, item.substr(0, item.find('='))), item);
    }
}

TEST(VScoreboardScript, PagesAreFoundByNumberHeadersFallBackAndAMissingFileEmptiesTheTable) {
    Script script;
    ASSERT_NO_FATAL_FAILURE(
        Read(script, ";;ResultsHeader[5]\n0five\n;;ResultsHeader[1]\n0one\n;;Results[1]\n1%s\n"));
    EXPECT_EQ(script.PageOrFirst(Script::kResultsHeader, 1)->Number(), 1);
    EXPECT_EQ(script.PageOrFirst(Script::kResultsHeader, 3)->Number(), 5);
    EXPECT_EQ(script.FindPage(Script::kResults, 0), nullptr);
    EXPECT_EQ(script.FirstPage(Script::kMessage), nullptr);

    // Reading a missing file empties the table; registers stay.
    script.Registers()[3] = 7;
    EXPECT_FALSE(script.Load("no/such/folder/missing.vss"));
    EXPECT_EQ(script.Section(Script::kResultsHeader), nullptr);
    EXPECT_EQ(script.Registers()[3], 7);
}

TEST(VScoreboardScript, LinesRenderTheirVariablesThroughFormatAndCommands) {
    EventRecord event;
    ResultRecord& runner = *event.Results().Add();
    runner.SetLane(u"4");
    runner.SetFirstName(u"Ann");
    runner.SetLastName(u"Lee");
    runner.SetAffiliation(u"Northfield");
    runner.SetTime(TimeValue(kTicksSecond * 12 + kTicksTenth * 3, kTicksTenth));
    runner.SetLapsToGo(2);
    runner.SetPlace(1);
    ResultRecord& team = *event.Standings().Add();
    team.SetPlace(2);
    team.SetNumMembers(4);
    team.SetPoints(37);
    VEventSnapshot snapshot;
    snapshot.name = u"Girls 5K";
    snapshot.heatNumber = u"3";
    snapshot.distanceNumerator = 7;
    snapshot.distanceDenominator = 2;
    const KString message = u"Welcome";

    // What the update record carries besides the line's own settings.
    enum Data { kNone = 0, kRunner = 1, kTeam = 2, kSnapshot = 4, kClock = 8, kMessage = 16, kWind = 32 };
    struct Case {
        const char* name;
        const char* section;
        KStringView line;
        std::vector<KString> expected;
        int data = kNone;
        VScriptSettings settings = {};
    };
    const Case cases[] = {
        {"variable 0 is the text", "Initialization", uR"(0Hello %s\0d)", {u"Hello %s\r"}},
        {"lane padded right", "Results", u"2%-6s", {u"4     "}, kRunner},
        {"precision cuts, width pads", "Results", u"5[%6.4s]", {u"[  Nort]"}, kRunner},
        {"name with first name", "Results", u"4%s", {u"Ann Lee"}, kRunner, With(&S::includeFirst, true)},
        {"affiliation abbreviation", "Results", u"5%s", {u"ield"}, kRunner, With(&S::affilAbbr, true)},
        {"time decimal-aligned", "Results", u"6|%s|", {u"|12.3  |"}, kRunner},
        {"time in seconds", "Results", u"6|%s|", {u"|13.   |"}, kRunner, With(&S::timePrecision, 80000)},
        {"place and laps", "Results", u"1%s\n\\0a%s", {u"1", u"2"}, kRunner},
        {"first and last names", "Results", u"\\14\\17%s\n\\14\\18%s", {u"Ann", u"Lee"}, kRunner},
        {"no record gives blanks", "Results", u"3[%3s]", {u"[   ]"}},
        {"team place needs MinRunners", "Results", u"1<%s>", {u"<>"}, kTeam},
        {"team place, points", "Results", u"1%s\n\\14\\10%s", {u"2", u"37"}, kTeam, With(&S::minRunners, 4)},
        {"header without snapshot", "ResultsHeader", u"2%s", {u"no data"}},
        {"header name and numbers", "ResultsHeader", u"2%s\n4%s\n6%s", {u"Girls 5K", u"0", u"3"}, kSnapshot},
        {"header distance and count", "ResultsHeader", u"\\0a%s\n8%s", {u"3 1/2", u"1"}, kSnapshot | kRunner},
        {"header count without a list", "ResultsHeader", u"8%s", {u"no data"}, kSnapshot},
        {"group named in the line", "Results", u"\\13\\02%s", {u"Girls 5K"}, kSnapshot},
        {"clock thousandths and counter", "TimeRunning", u"3%s\n7%s", {u"1.234", u"1"}, kClock},
        {"clock binary", "TimeRunning", u"2<%s>", {u"<" + Chars({0xD2, 0x04, 0, 0}) + u">"}, kClock},
        {"no time gives blanks", "TimeRunning", u"1[%s]", {u"[]"}},
        {"wind and binary", "Wind", u"1%s\n2%s", {u"1.2 m/s", Chars({0xFE, 0xFF, 0xFF, 0xFF})}, kWind},
        {"invalid wind shows NoWind", "Wind", u"1%s", {u"n/a"}, kNone, With(&S::noWind, u"n/a")},
        {"percent and other conversions", "Message", u"1100%% %d%*s|%ls", {u"100% |Welcome"}, kMessage},
        {"formatted line limit", "Message", u"1%2000s", {KString(1023, u' ')}},
        {"unparsable lines produce nothing", "Results", u"x1%s\n\\14\n\\17\\00x\n\\ff0x", {}},
        {"stop flag keeps output so far", "Initialization", uR"(0AB\He3CD)", {u"AB"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Script script;
        ASSERT_NO_FATAL_FAILURE(Read(script, ";;" + std::string(c.section) + "\n" + ToUtf8(c.line) + "\n"));
        FakeHost host;
        host.settings = c.settings;
        if (c.data & kTeam) host.settings.filter = 1;
        VUpdateRecord record;
        if (c.data & kRunner) record.event = &event, record.list = &event.Results(), record.record = &runner;
        if (c.data & kTeam) record.event = &event, record.list = &event.Standings(), record.record = &team;
        if (c.data & kSnapshot) record.snapshot = &snapshot;
        if (c.data & kClock) record.time = TimeValue(kTicksSecond + kTicksThousandth * 234, kTicksThousandth);
        if (c.data & kClock) record.precision = kTicksThousandth;
        if (c.data & kMessage) record.messageLine = &message;
        record.wind = c.data & kWind ? VWindReading{true, u"1.2", u"m/s", -2} : VWindReading{};
        script.Run(*script.FirstPage(Script::SlotNamed(FromUtf8(c.section))), record, host);
        EXPECT_EQ(host.lines, c.expected);
    }
}

TEST(VScoreboardScript, ClockLineInTenthsRepeatsOnlyForNewSecondsOrAfterOnePointOneSeconds) {
    Script script;
    ASSERT_NO_FATAL_FAILURE(Read(script, ";;TimeRunning\n1\\X1\\=0%s\n;;TimeStopped\n1%s\n"));
    // The tick of an update, the time in tenths it shows and whether the running clock goes out.
    const std::tuple<uint32_t, int, bool> steps[] = {{0, 123, true},     {100, 124, false},
                                                     {200, 130, true},   {300, 131, false},
                                                     {1299, 132, false}, {1400, 133, true}};
    FakeHost host;
    for (const auto& [tick, tenths, sent] : steps) {
        host.now = tick;
        host.lines.clear();
        VUpdateRecord record;
        record.time = TimeValue(kTicksTenth * tenths, kTicksTenth);
        script.Run(*script.FirstPage(Script::kTimeRunning), record, host);
        EXPECT_EQ(host.lines.size(), sent ? 1u : 0u) << tick;
        // A line that does not set R0 goes out every time.
        script.Run(*script.FirstPage(Script::kTimeStopped), record, host);
        EXPECT_EQ(host.lines.back().substr(0, 2), tenths >= 130 ? u"13" : u"12");
    }
    EXPECT_EQ(script.Registers()[0], 0);  // each clock update starts with R0 = 0
}
