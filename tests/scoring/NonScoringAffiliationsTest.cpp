#include "scoring/NonScoringAffiliations.h"

#include <gtest/gtest.h>

#include "TeamScoringSupport.h"
#include "foundation/KError.h"

namespace {

class NonScoringAffiliationsTest : public ::testing::Test {
protected:
    NonScoringAffiliationsTest() { AddScoringDefaults(settings); }

    void AddStored(const char16_t* number, const char16_t* name) {
        settings.Define(KString(u"Results\\Unattached\\") + number + u"\\:=");
        settings.Define(KString(u"Results\\Unattached\\") + number + u"\\Name:String=" + name);
    }
    std::vector<std::string> Sequence() const {
        std::vector<std::string> out;
        for (const auto& t : list.Sequence()) out.push_back(ToUtf8(t));
        return out;
    }
    std::vector<std::string> Stored() const {
        std::vector<std::string> out;
        for (size_t i = 0; i < list.Count(); ++i) {
            out.push_back(ToUtf8(list.EntryName(i)) + (list.IsEntryDeleted(i) ? " (deleted)" : ""));
        }
        return out;
    }

    KRegistry settings;
    ScoringFakeAlerts alerts;
    NonScoringAffiliations list{settings, alerts};
    ScoringTempDir dir;
};

}  // namespace

TEST_F(NonScoringAffiliationsTest, RebuildKeepsBuiltInsFirstAndSortsTheRestIntoTheSettings) {
    AddStored(u"4", u"Zeta");
    AddStored(u"9", u"Alpha");
    AddStored(u"5", u"UNA");                             // duplicate of a built-in
    settings.Define(u"Results\\Unattached\\Notes\\:=");  // not a numbered entry
    list.Rebuild();
    EXPECT_EQ(Sequence(), (std::vector<std::string>{"UNA", "Unattached", "UNA-Unattached", "Alpha", "Zeta"}));
    // Written back in sequence order; the surplus duplicate entry keeps its old name.
    EXPECT_EQ(Stored(),
              (std::vector<std::string>{"UNA", "Unattached", "UNA-Unattached", "Alpha", "Zeta", "UNA"}));
    EXPECT_EQ(list.Count(), 6u);
}

TEST_F(NonScoringAffiliationsTest, IsNonScoringComparesExactly) {
    list.Rebuild();
    struct Case {
        const char16_t* affiliation;
        bool nonScoring;
    };
    const Case cases[] = {{u"UNA", true},   {u"una", false},           {u"Unattached", true},
                          {u"UNA ", false}, {u"UNA-Unattached", true}, {u"", false},
                          {u"North", false}};
    for (const auto& c : cases)
        EXPECT_EQ(list.IsNonScoring(c.affiliation), c.nonScoring) << ToUtf8(c.affiliation);
}

TEST_F(NonScoringAffiliationsTest, NewEntriesAreNamedFromTheDefaultNameAndTheirNumber) {
    list.Rebuild();
    EXPECT_EQ(list.New(), 3u);
    EXPECT_EQ(ToUtf8(list.EntryName(3)), "UNA4");
    EXPECT_TRUE(list.IsNonScoring(u"UNA4"));

    AddStored(u"10", u"Ten");
    settings.FindString(u"Strings\\Options\\Results\\DefaultName")->SetValue(u"NS");
    list.New();
    EXPECT_EQ(ToUtf8(list.EntryName(list.Count() - 1)), "NS11");  // one more than the largest number
    EXPECT_EQ(ToUtf8(list.Add(u"Named")), "Named");
    EXPECT_EQ(ToUtf8(settings.GetText(u"Results\\Unattached\\12\\Name")), "Named");
}

TEST_F(NonScoringAffiliationsTest, LoadAddsEachNewAffiliationOnceAndKeepsBuiltInsFirst) {
    list.Rebuild();
    const auto path = dir.Write("meet.ppl",
                                "; bib,last,first,affiliation\r\n"
                                "1,Lee,Ann,Ajax\r\n"
                                "2,Ng,Bo,Ajax\r\n"
                                "3,Oz,Cy,\"AAA, Club\"\r\n"
                                "4,Po,Di,UNA\r\n"
                                "5,Short\r\n");
    EXPECT_EQ(list.Load(path), 2u);
    EXPECT_EQ(Sequence(),
              (std::vector<std::string>{"UNA", "Unattached", "UNA-Unattached", "AAA, Club", "Ajax"}));
    EXPECT_EQ(Stored(), Sequence());
    EXPECT_TRUE(list.IsNonScoring(u"AAA, Club"));
    EXPECT_EQ(list.Load(path), 0u);  // loading again adds nothing
    EXPECT_EQ(list.Count(), 5u);
}

TEST_F(NonScoringAffiliationsTest, LoadOfAMissingFileRaisesAndChangesNothing) {
    list.Rebuild();
    EXPECT_THROW(list.Load(dir.Path() / "missing.ppl"), KError);
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_EQ(Sequence().size(), 3u);
}

TEST_F(NonScoringAffiliationsTest, DeletingABuiltInIsRefusedWithTheAlert) {
    list.Rebuild();
    list.Add(u"Guests");
    list.Insert(u"Guests");
    EXPECT_FALSE(list.Delete(2));
    ASSERT_EQ(alerts.errors.size(), 1u);
    EXPECT_EQ(ToUtf8(alerts.errors[0]), "Error|The default non scoring affiliations cannot be deleted");
    EXPECT_FALSE(list.IsEntryDeleted(2));
    EXPECT_TRUE(list.IsNonScoring(u"UNA-Unattached"));
}

TEST_F(NonScoringAffiliationsTest, DeletedEntryStaysListedButNoLongerScoresAsNonScoring) {
    list.Rebuild();
    list.Add(u"Guests");
    list.Insert(u"Guests");
    EXPECT_TRUE(list.Delete(3));
    EXPECT_TRUE(alerts.errors.empty());
    EXPECT_TRUE(list.IsEntryDeleted(3));
    EXPECT_EQ(list.Count(), 4u);
    EXPECT_EQ(list.ActiveCount(), 3u);
    EXPECT_FALSE(list.IsNonScoring(u"Guests"));
    EXPECT_TRUE(list.IsNonScoring(u"UNA"));
    EXPECT_FALSE(list.Delete(7));  // no such entry
}

TEST_F(NonScoringAffiliationsTest, DeleteAllAsksFirstAndKeepsTheBuiltIns) {
    list.Rebuild();
    list.Add(u"Guests");
    list.Insert(u"Guests");
    list.Add(u"Alumni");
    list.Insert(u"Alumni");

    alerts.answer = false;
    EXPECT_FALSE(list.DeleteAll());
    ASSERT_EQ(alerts.questions.size(), 1u);
    EXPECT_EQ(ToUtf8(alerts.questions[0]),
              "Message|Are you sure you want to delete all non-scoring athletes?");
    EXPECT_TRUE(list.IsNonScoring(u"Guests"));

    alerts.answer = true;
    EXPECT_TRUE(list.DeleteAll());
    EXPECT_EQ(Stored(), (std::vector<std::string>{"UNA", "Unattached", "UNA-Unattached", "Guests (deleted)",
                                                  "Alumni (deleted)"}));
    EXPECT_EQ(list.ActiveCount(), 3u);
    EXPECT_EQ(Sequence(), (std::vector<std::string>{"UNA", "Unattached", "UNA-Unattached"}));
    EXPECT_FALSE(list.IsNonScoring(u"Guests"));

    // A new entry afterwards gets a fresh number and scores at once.
    list.New();
    EXPECT_EQ(ToUtf8(list.EntryName(5)), "UNA6");
    EXPECT_TRUE(list.IsNonScoring(u"UNA6"));
}

TEST_F(NonScoringAffiliationsTest, BuiltInCountComesFromTheSettings) {
    settings.FindInt(u"Results\\Unattached\\NumDefaultUna")->SetValue(1);
    AddStored(u"4", u"Alpha");
    list.Rebuild();
    EXPECT_EQ(Sequence(), (std::vector<std::string>{"UNA", "Alpha", "UNA-Unattached", "Unattached"}));
    EXPECT_TRUE(list.Delete(1));
    settings.FindInt(u"Results\\Unattached\\NumDefaultUna")->SetValue(-4);
    EXPECT_EQ(list.NumDefault(), 0u);
}

TEST_F(NonScoringAffiliationsTest, EntriesWithoutAStringNameAreReadAsEmptyAndLeftAlone) {
    settings.Define(u"Results\\Unattached\\4\\:=");
    settings.Define(u"Results\\Unattached\\4\\Name:Int=7");  // a hand-edited settings file
    settings.Define(u"Results\\Unattached\\5\\:=");          // no name at all
    list.Rebuild();
    EXPECT_EQ(Sequence(), (std::vector<std::string>{"UNA", "Unattached", "UNA-Unattached", ""}));
    EXPECT_EQ(settings.FindInt(u"Results\\Unattached\\4\\Name")->Value(), 7);
    EXPECT_EQ(ToUtf8(list.EntryName(4)), "");
    EXPECT_EQ(ToUtf8(list.Add()), "UNA6");
}
