#include "scoring/NonScoringAffiliations.h"

#include <gtest/gtest.h>

#include "foundation/KAlerts.h"
#include "settings/KDefaultSettings.h"
#include "settings/KRegistry.h"
#include "support/KTempFolder.h"

namespace {

using Texts = std::vector<KString>;

/// Records every alert and answers questions as told.
class FakeAlerts : public KAlerts {
public:
    void ShowError(const KString& title, const KString& text) override { Show(title, text); }
    void ShowMessage(const KString& title, const KString& text) override { Show(title, text); }
    bool Confirm(const KString& title, const KString& text, KAlertButtons, KAlertButton,
                 KAlertSymbol) override {
        Show(u"ask:" + title, text);
        return answer;
    }
    void Show(const KString& title, const KString& text) { shown.push_back(title + u"|" + text); }
    bool answer = true;
    Texts shown;
};

class NonScoringAffiliationsTest : public ::testing::Test {
protected:
    NonScoringAffiliationsTest() { LoadDefaults(settings); }

    void AddStored(const char16_t* number, const char16_t* name) {
        settings.Define(KString(u"Results\\Unattached\\") + number + u"\\:=");
        settings.Define(KString(u"Results\\Unattached\\") + number + u"\\Name:String=" + name);
    }
    Texts Stored() const {
        Texts out;
        for (size_t i = 0; i < list.Count(); ++i)
            out.push_back(list.EntryName(i) + (list.IsEntryDeleted(i) ? u" (deleted)" : u""));
        return out;
    }

    KRegistry settings;
    FakeAlerts alerts;
    NonScoringAffiliations list{settings, alerts};
};

const Texts kBuiltIn = {u"UNA", u"Unattached", u"UNA-Unattached"};

Texts BuiltInAnd(Texts more) {
    more.insert(more.begin(), kBuiltIn.begin(), kBuiltIn.end());
    return more;
}

}  // namespace

TEST_F(NonScoringAffiliationsTest, RebuildKeepsBuiltInsFirstAndSortsTheRestIntoTheSettings) {
    AddStored(u"4", u"Zeta");
    AddStored(u"9", u"Alpha");
    AddStored(u"5", u"UNA");                             // duplicate of a built-in
    settings.Define(u"Results\\Unattached\\Notes\\:=");  // not a numbered entry
    list.Rebuild();
    EXPECT_EQ(list.Sequence(), BuiltInAnd({u"Alpha", u"Zeta"}));
    // Written back in sequence order; the surplus duplicate entry keeps its old name.
    EXPECT_EQ(Stored(), BuiltInAnd({u"Alpha", u"Zeta", u"UNA"}));
    const std::pair<KStringView, bool> cases[] = {
        {u"UNA", true}, {u"una", false}, {u"UNA ", false}, {u"UNA-Unattached", true}, {u"", false}};
    for (const auto& [affiliation, nonScoring] : cases)
        EXPECT_EQ(list.IsNonScoring(affiliation), nonScoring) << ToUtf8(affiliation);
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
    KTempFolder dir;
    EXPECT_THROW(list.Load(dir / "missing.ppl"), KError);
    EXPECT_EQ(Stored(), kBuiltIn);
    WriteBytes(dir / "meet.ppl",
               "; bib,last,first,affiliation\r\n1,Lee,Ann,Ajax\r\n2,Ng,Bo,Ajax\r\n3,Oz,Cy,\"AAA, Club\"\r\n"
               "4,Po,Di,UNA\r\n5,Short\r\n");
    EXPECT_EQ(list.Load(dir / "meet.ppl"), 2u);
    EXPECT_EQ(list.Sequence(), BuiltInAnd({u"AAA, Club", u"Ajax"}));
    EXPECT_EQ(Stored(), list.Sequence());
    EXPECT_TRUE(list.IsNonScoring(u"AAA, Club"));
    EXPECT_EQ(list.Load(dir / "meet.ppl"), 0u);  // loading again adds nothing
    EXPECT_EQ(list.Count(), 5u);
}

TEST_F(NonScoringAffiliationsTest, DeleteRefusesBuiltInsDeleteAllAsksFirstAndDeletedEntriesStopScoring) {
    list.Rebuild();
    for (const char16_t* name : {u"Guests", u"Alumni"}) {  // as the New command's list adds them
        list.Add(name);
        list.Insert(name);
    }
    EXPECT_FALSE(list.Delete(2));
    EXPECT_EQ(alerts.shown, Texts{u"Error|The default non scoring affiliations cannot be deleted"});
    EXPECT_TRUE(list.IsNonScoring(u"UNA-Unattached"));
    EXPECT_TRUE(list.Delete(3));
    EXPECT_EQ(Stored(), BuiltInAnd({u"Guests (deleted)", u"Alumni"}));  // still listed, marked
    EXPECT_EQ(list.ActiveCount(), 4u);
    EXPECT_FALSE(list.IsNonScoring(u"Guests"));
    EXPECT_FALSE(list.Delete(7));  // no such entry

    alerts.answer = false;
    EXPECT_FALSE(list.DeleteAll());
    EXPECT_EQ(alerts.shown.back(), u"ask:Message|Are you sure you want to delete all non-scoring athletes?");
    EXPECT_EQ(alerts.shown.size(), 2u);
    EXPECT_TRUE(list.IsNonScoring(u"Alumni"));
    alerts.answer = true;
    EXPECT_TRUE(list.DeleteAll());
    EXPECT_EQ(Stored(), BuiltInAnd({u"Guests (deleted)", u"Alumni (deleted)"}));
    EXPECT_EQ(list.Sequence(), kBuiltIn);
    EXPECT_FALSE(list.IsNonScoring(u"Alumni"));

    // A new entry afterwards gets a fresh number and scores at once.
    list.New();
    EXPECT_EQ(ToUtf8(list.EntryName(5)), "UNA6");
    EXPECT_TRUE(list.IsNonScoring(u"UNA6"));
}

TEST_F(NonScoringAffiliationsTest, BuiltInCountComesFromTheSettings) {
    settings.FindInt(u"Results\\Unattached\\NumDefaultUna")->SetValue(1);
    AddStored(u"4", u"Alpha");
    list.Rebuild();
    EXPECT_EQ(list.Sequence(), (Texts{u"UNA", u"Alpha", u"UNA-Unattached", u"Unattached"}));
    EXPECT_TRUE(list.Delete(1));
    settings.FindInt(u"Results\\Unattached\\NumDefaultUna")->SetValue(-4);
    EXPECT_EQ(list.NumDefault(), 0u);
}

TEST_F(NonScoringAffiliationsTest, EntriesWithoutAStringNameAreReadAsEmptyAndLeftAlone) {
    settings.Define(u"Results\\Unattached\\4\\:=");
    settings.Define(u"Results\\Unattached\\4\\Name:Int=7");  // a hand-edited settings file
    settings.Define(u"Results\\Unattached\\5\\:=");          // no name at all
    list.Rebuild();
    EXPECT_EQ(list.Sequence(), BuiltInAnd({u""}));
    EXPECT_EQ(settings.FindInt(u"Results\\Unattached\\4\\Name")->Value(), 7);
    EXPECT_EQ(ToUtf8(list.Add()), "UNA6");
}
