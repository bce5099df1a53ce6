#include "scoreboards/VScoreboardConfig.h"

#include <gtest/gtest.h>

#include "scoreboards/ScoreboardTestSupport.h"
#include "scoreboards/VScoreboardOptions.h"

TEST(ScoreboardConfig, OlderGroupsGainTheMissingKeysAndIncompleteGroupsAreSkipped) {
    // The group's own Official text replaces the language's for this board only.
    ScoreboardFixture f(3, ";;ResultsHeader\r\n\\13\\01%s|\r\n");
    KRGroup& first = *f.settings.FindGroup(u"\\Scoreboards\\1\\");
    for (const KStringView key : {u"SortBy", u"PageMask", u"AutoBreakCapt"})
        first.Remove(first.FindChild(key));
    first.FindInt(u"AutoBreak")->SetValue(1);
    first.Define(u"ABIfCapturing:Int=1");
    KRGroup& second = *f.settings.FindGroup(u"\\Scoreboards\\2\\");
    second.Remove(second.FindChild(u"Script"));
    f.Set(1, u"Official:String=FINAL");
    f.Board(3).open = false;
    f.AddRunners(1);
    f.event.Standings().SetOfficial(true);
    VScoreboards& manager = f.Start();
    for (const auto& [key, value] : {std::pair<KStringView, int>{u"SortBy", 0},
                                     {u"PageMask", 0},
                                     {u"AutoBreakCapt", 1},
                                     {u"AutoBreak", 0}})
        EXPECT_EQ(first.FindInt(key)->Value(), value) << ToUtf8(key);
    EXPECT_TRUE(first.FindChild(u"ABIfCapturing")->IsDeleted());
    const VScoreboardOptions options(f.settings);
    EXPECT_EQ(options.StatusText(&manager, second), u"Not Loaded");
    EXPECT_EQ(options.StatusText(&manager, first), u"Running");
    EXPECT_EQ(options.StatusText(&manager, *f.settings.FindGroup(u"\\Scoreboards\\3\\")), u"Not Running");
    f.Board(3).open = true;
    EXPECT_EQ(f.At(1000, 1), "FINAL|");
    EXPECT_EQ(f.At(1100, 3), "|");
}

TEST(ScoreboardConfig, PeriodNewScoreboardsScriptListAndOptionsPageKeepTheSettingsInRange) {
    KRegistry settings;
    LoadDefaults(settings);
    // The period is clamped to 10..1000 ms, absent means 100.
    EXPECT_EQ(VScoreboardConfig::Period(settings), 100);
    for (const auto& [value, expected] : {std::pair{5, 10}, {5000, 1000}, {250, 250}}) {
        settings.Define(u"\\Scoreboards\\Period:Int=" + ToKString(value));
        EXPECT_EQ(VScoreboardConfig::Period(settings), expected) << value;
    }
    // A new scoreboard is numbered after the largest and gets the default port.
    settings.Define(u"\\Scoreboards\\7\\:=");
    KRGroup* created = VScoreboardConfig::CreateScoreboard(settings);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->Path(), u"\\Scoreboards\\8\\");
    EXPECT_EQ(created->GetText(u"SerialPort"), u"0,9600,8,N,1.0");
    // Each script is listed with the port defaults of its first line.
    KTempFolder program;
    WriteBytes(program / "a.vss", "; Defaults:  9600,8,N,1 \r\n;;Results\r\n");
    WriteBytes(program / "b.vss", "; Network Defaults: 127.0.0.1,1024\n");
    WriteBytes(program / "c.vss", ";;Results\r\n");
    WriteBytes(program / "d.kss", "");
    VScoreboardConfig::BuildScriptList(settings, program.Path());
    KRGroup& group = *settings.FindGroup(u"\\Scoreboards\\1\\");
    group.FindInt(u"PageMode")->SetValue(3);
    VScoreboardOptions options(settings);
    const std::vector<KString> expected = {u"a.vss,1,9600,8,N,1", u"b.vss,-1,127.0.0.1,1024", u"c.vss"};
    EXPECT_EQ(options.ScriptEntries(), expected);
    EXPECT_EQ(VScoreboardOptions::PortDefaultsOf(expected[1]), u"-1,127.0.0.1,1024");
    EXPECT_EQ(VScoreboardOptions::PortDefaultsOf(expected[2]), u"");
    VScoreboardFields fields = options.Load(group);
    EXPECT_TRUE(fields.paging);
    EXPECT_EQ(fields.pageMax, u"");
    EXPECT_FALSE(fields.alwaysPage.has_value());
    fields.serialPort = u"-1,not an address,1024";
    fields.pageTime = u"soon";
    fields.pageSize = u"4";
    options.Apply(group, fields);
    EXPECT_EQ(group.FindInt(u"PageMode")->Value(), 1);
    EXPECT_EQ(group.FindInt(u"PageMax")->Value(), -1);
    EXPECT_EQ(group.FindInt(u"PageSize")->Value(), 4);
    EXPECT_EQ(group.FindInt(u"PageTime")->Value(), 5000);
    EXPECT_EQ(group.GetText(u"SerialPort"), u"-1,127.0.0.1,1024");
    fields.paging = false;
    fields.pageMax = u"12";
    fields.serialPort = u"-2,0.0.0.0,2000";
    options.Apply(group, fields);
    EXPECT_EQ(group.FindInt(u"PageMode")->Value(), 0);
    EXPECT_EQ(options.Load(group).pageMax, u"12");
    EXPECT_EQ(group.GetText(u"SerialPort"), u"-2,0.0.0.0,2000");
}
