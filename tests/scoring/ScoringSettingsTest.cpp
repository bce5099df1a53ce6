#include "scoring/ScoringSettings.h"

#include <gtest/gtest.h>

#include "settings/KDefaultSettings.h"
#include "settings/KRegistry.h"

TEST(ScoringSettings, DefaultTableAndAnEmptyTreeGiveTheDefaults) {
    KRegistry empty;
    KRegistry tree;
    LoadDefaults(tree);
    for (KRegistry* settings : {&empty, &tree}) {
        EXPECT_EQ(ReadScoringRules(*settings), ScoringRules{});
        EXPECT_EQ(ReadTimeFormat(*settings), TimeFormat{});
        EXPECT_EQ(ReadResultCodeTexts(*settings).texts, ResultCodeTexts{}.texts);
        EXPECT_EQ(ReadResultsPrecision(*settings), kTicksHundredth);
    }
    EXPECT_EQ(ReadResultsListName(tree), u"Results");
}

TEST(ScoringSettings, ReadsSiteValues) {
    KRegistry tree;
    tree.AddTable(
        {u"Scoring\\:=", u"Event\\:=", u"Event\\Results\\:=", u"Strings\\:=", u"Strings\\Time\\:=",
         u"Strings\\Event\\:=", u"Strings\\Event\\Results\\:=", u"Strings\\Event\\Results\\Codes\\:=",
         u"Scoring\\MinRunners:Int=4", u"Scoring\\NumScorers:Int=3", u"Scoring\\MaxDisplacers:Int=1",
         u"Scoring\\ResetScores:Bool=0", u"Scoring\\LapsToGoDir:Bool=1", u"Scoring\\UnatDisplaces:Bool=0",
         u"Event\\Results\\RoundMethod:Int=2", u"Event\\Results\\TimePrecision:Int=80",
         u"Strings\\Time\\SecondFracSep:String=,x", u"Strings\\Time\\NegChr:String=",
         u"Strings\\Event\\Results\\Codes\\Disqualified:String=DIS"});
    EXPECT_EQ(ReadScoringRules(tree), (ScoringRules{4, 3, 1, false, true, false}));
    const TimeFormat format = ReadTimeFormat(tree);
    EXPECT_EQ(format.roundMethod, RoundMethod::Round);
    EXPECT_EQ(format.secondFractionSeparator, u',');  // the first character only
    EXPECT_EQ(format.negativeSign, u'-');             // an empty text keeps the default
    EXPECT_EQ(ReadResultsPrecision(tree), kTicksThousandth);
    EXPECT_EQ(ReadResultCodeTexts(tree).texts[4], u"DIS");
    EXPECT_EQ(ReadResultCodeTexts(tree).texts[3], u"DNF");

    ApplyStartupScoringSettings(tree);
    EXPECT_EQ(CurrentTimeFormat().secondFractionSeparator, u',');
    EXPECT_EQ(CurrentResultCodeTexts().FromText(u"DIS"), ResultCode::Disqualified);
    SetTimeFormat(TimeFormat{});
    SetResultCodeTexts(ResultCodeTexts{});
}
