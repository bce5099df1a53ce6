#include "settings/KRegistry.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

/// A tree with a few groups and settings, as the default table would leave it.
class KRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.AddTable({u"General\\:=", u"General\\ActivityLog:Bool=0", u"General\\MainWindow\\:=",
                       u"General\\MainWindow\\Left:Int=10", u"Sources\\:=", u"Sources\\1\\:=",
                       u"Sources\\1\\Name:String=Source", u"Event\\:=", u"Event\\Results\\:=",
                       u"Event\\Results\\PaceDistance:Rat=0", u"Layout\\:=", u"Layout\\GridVert:Int=3"});
    }

    static std::vector<KString> Lines(const KRegistry& registry) {
        std::vector<KString> lines;
        registry.WriteTree([&lines](KStringView line) { lines.emplace_back(line); });
        return lines;
    }

    KRegistry tree;
};

TEST_F(KRegistryTest, GroupIsFoundWithOrWithoutLeadingBackslashButOnlyWithTrailingOne) {
    KRGroup* sources = tree.FindGroup(u"Sources\\");
    ASSERT_NE(sources, nullptr);
    EXPECT_EQ(tree.FindGroup(u"\\Sources\\"), sources);
    EXPECT_EQ(tree.Find(u"\\Sources"), nullptr);
    EXPECT_EQ(sources->Path(), u"\\Sources\\");
    EXPECT_EQ(tree.Find(sources->Path()), sources);
    EXPECT_EQ(tree.Path(), u"\\");
}

TEST_F(KRegistryTest, IntermediateGroupsAreNeverCreatedImplicitly) {
    EXPECT_EQ(tree.Define(u"Foo\\Bar:Int=5"), nullptr);
    EXPECT_EQ(tree.Find(u"Foo\\"), nullptr);
    ASSERT_NE(tree.Define(u"Foo\\:="), nullptr);
    EXPECT_EQ(tree.FindInt(u"Foo\\Bar"), nullptr);  // a plain lookup creates nothing
    auto* bar = dynamic_cast<KRInt*>(tree.Define(u"Foo\\Bar:Int=5"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->Value(), 5);
    EXPECT_EQ(bar->Path(), u"\\Foo\\Bar");
    EXPECT_EQ(bar->Depth(), 1);
    EXPECT_TRUE(bar->IsValueRead());
}

TEST_F(KRegistryTest, ExistingNodeParsesValueInItsOwnTypeWhateverTheLineSays) {
    KRBool* log = tree.FindBool(u"General\\ActivityLog");
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(tree.Define(u"General\\ActivityLog:Bool=1"), log);
    EXPECT_TRUE(log->Value());
    EXPECT_EQ(tree.Define(u"General\\ActivityLog:Int=0"), log);
    EXPECT_FALSE(log->Value());
    // A value that its own type refuses never creates a second node of the same name.
    EXPECT_EQ(tree.Define(u"General\\ActivityLog:String=yes"), nullptr);
    EXPECT_EQ(tree.FindGroup(u"General\\")->ChildCount(), 2u);
}

TEST_F(KRegistryTest, StringKeepsEverythingAfterTheFirstEquals) {
    ASSERT_NE(tree.Define(u"X\\:="), nullptr);
    ASSERT_NE(tree.Define(u"X\\S:String=a=b,c\\n:d"), nullptr);
    EXPECT_EQ(tree.GetText(u"X\\S"), u"a=b,c\\n:d");
    ASSERT_NE(tree.Define(u"X\\Empty:String="), nullptr);
    EXPECT_EQ(tree.GetText(u"X\\Empty"), u"");
}

TEST_F(KRegistryTest, RefusedValueLeavesTheNodeAsItWas) {
    KRRat* pace = tree.FindRat(u"Event\\Results\\PaceDistance");
    ASSERT_NE(pace, nullptr);
    ASSERT_NE(tree.Define(u"Event\\Results\\PaceDistance:Rat=3/2"), nullptr);
    EXPECT_EQ(tree.Define(u"Event\\Results\\PaceDistance:Rat,7=-1"), nullptr);
    EXPECT_EQ(pace->Value(), (KRational{3, 2}));
    EXPECT_EQ(pace->Number(), 1);
    EXPECT_EQ(tree.FindGroup(u"Event\\Results\\")->ChildCount(), 1u);
}

TEST_F(KRegistryTest, NamesCompareWithoutRegardToCase) {
    EXPECT_EQ(tree.FindBool(u"general\\activitylog"), tree.FindBool(u"General\\ActivityLog"));
    EXPECT_NE(tree.FindBool(u"GENERAL\\ACTIVITYLOG"), nullptr);
    EXPECT_EQ(tree.Define(u"general\\mainwindow\\LEFT:Int=20"), tree.FindInt(u"General\\MainWindow\\Left"));
    EXPECT_EQ(tree.FindInt(u"General\\MainWindow\\Left")->Value(), 20);
    EXPECT_EQ(tree.FindInt(u"General\\MainWindow\\Left")->Name(), u"Left");
}

TEST_F(KRegistryTest, TypedFindersReturnNullForAnotherClassOrMissingPath) {
    EXPECT_EQ(tree.FindInt(u"General\\ActivityLog"), nullptr);
    EXPECT_EQ(tree.FindString(u"Layout\\GridVert"), nullptr);
    EXPECT_EQ(tree.FindGroup(u"Layout\\GridVert"), nullptr);
    EXPECT_EQ(tree.FindInt(u"Layout\\Missing"), nullptr);
    EXPECT_EQ(tree.FindFloat(u"Nowhere\\X"), nullptr);
    EXPECT_EQ(tree.GetText(u"Sources\\1\\Name"), u"Source");
    EXPECT_EQ(tree.GetText(u"Layout\\GridVert"), u"");
    EXPECT_EQ(tree.GetText(u"Strings\\Missing"), u"");
}

TEST_F(KRegistryTest, ValueChildNeedsItsWholeName) {
    ASSERT_NE(tree.Define(u"Layout\\Grid:Int=1"), nullptr);
    EXPECT_EQ(tree.FindInt(u"Layout\\Grid")->Value(), 1);
    EXPECT_EQ(tree.FindInt(u"Layout\\GridVert")->Value(), 3);
    EXPECT_EQ(tree.Find(u"Layout\\GridVert\\"), nullptr);  // a value is no group
    EXPECT_EQ(tree.Define(u"Layout\\GridVert\\X:Int=1"), nullptr);
}

TEST_F(KRegistryTest, LinesOutsideTheGrammarMergeToNothing) {
    const std::vector<KString> snapshot = Lines(tree);
    const char16_t* bad[] = {
        u"Layout\\Foo:Unknown=1",
        u"Layout\\Foo:Int",
        u"Layout\\Foo=1",
        u"Layout\\Foo:Int=x",
        u"Layout\\Foo:Int=99999999999999999999999999999999999999",
        u"Layout\\Foo:Int=2147483648",
        u"Layout\\Fo o:Int=1",
        u"Layout\\Foo:Group=",
        u"Layout\\A\\B\\:=",
        u"Layout\\Foo:Rat=1/0",
        u"Layout\\Foo:Float=nan",
        u"Layout\\Foo:Float=1e999",
        u"Layout\\Foo:Bool=",
        u"Layout\\GridVert:Int=",
        u"Layout\\GridVert:Int=abc",
    };
    for (const char16_t* line : bad) {
        EXPECT_EQ(tree.Define(line), nullptr) << ToUtf8(line);
    }
    EXPECT_EQ(Lines(tree), snapshot);
}

TEST_F(KRegistryTest, GroupAndValueMayShareANameAndAreToldApartByTheBackslash) {
    ASSERT_NE(tree.Define(u"General\\MainWindow:String=The main window."), nullptr);
    EXPECT_EQ(tree.GetText(u"General\\MainWindow"), u"The main window.");
    EXPECT_EQ(tree.FindGroup(u"General\\MainWindow\\"), tree.FindGroup(u"General\\")->ChildGroup(0));
    EXPECT_EQ(tree.FindInt(u"General\\MainWindow\\Left")->Value(), 10);
    EXPECT_EQ(tree.Define(u"General\\MainWindow:Int=3"), tree.FindString(u"General\\MainWindow"));
    EXPECT_EQ(tree.GetText(u"General\\MainWindow"), u"3");
    EXPECT_EQ(tree.FindGroup(u"General\\")->ChildCount(), 3u);
}

TEST_F(KRegistryTest, LineWithoutNameAddressesTheGroupItself) {
    KRGroup* layout = tree.FindGroup(u"Layout\\");
    EXPECT_EQ(tree.Find(u""), &tree);
    EXPECT_EQ(tree.Find(u"\\"), &tree);
    EXPECT_EQ(tree.Define(u"Layout\\:Panel,4=ignored"), layout);
    EXPECT_EQ(layout->GroupTypeName(), u"Panel");
    EXPECT_EQ(layout->Number(), 4);
    EXPECT_EQ(tree.Define(u"Layout\\:Other,1="), layout);
    EXPECT_EQ(layout->GroupTypeName(), u"Panel");  // the first type name stays
}

TEST(KRValueSyntax, IntAndBoolUseTheIntegerSyntaxAndRefuseOverflow) {
    struct Case {
        const char16_t* text;
        std::optional<int32_t> value;
    };
    const Case cases[] = {
        {u"42", 42},
        {u"-7", -7},
        {u"+3", 3},
        {u"0x1F", 31},
        {u"017", 15},
        {u"12abc", 12},
        {u"2147483647", 2147483647},
        {u"-2147483648", INT32_MIN},
        {u"2147483648", std::nullopt},
        {u"-2147483649", std::nullopt},
        {u"0xFFFFFFFF", std::nullopt},
        {u"1234567890123456789012345678901234567890", std::nullopt},
        {u"", std::nullopt},
        {u"x", std::nullopt},
        {u" 1", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KRInt::ParseInt32(c.text), c.value) << ToUtf8(c.text);
        KRInt node;
        node.StoreValue(99);
        EXPECT_EQ(node.SetValueText(c.text), c.value.has_value());
        EXPECT_EQ(node.Value(), c.value.value_or(99));
    }
    KRBool flag;
    EXPECT_TRUE(flag.SetValueText(u"0x10"));
    EXPECT_TRUE(flag.Value());
    EXPECT_TRUE(flag.SetValueText(u"0"));
    EXPECT_FALSE(flag.Value());
    EXPECT_TRUE(flag.SetValueText(u"99999999999999999999999999"));
    EXPECT_TRUE(flag.Value());
    EXPECT_FALSE(flag.SetValueText(u"yes"));
}

TEST(KRValueSyntax, RatReadsFourFormsReducesAndWritesMixedNumbers) {
    struct Case {
        const char16_t* text;
        std::optional<KRational> value;
        const char16_t* written;
    };
    const Case cases[] = {
        {u"0", KRational{0, 1}, u"0"},
        {u"3", KRational{3, 1}, u"3"},
        {u"3/4", KRational{3, 4}, u"3/4"},
        {u"6/4", KRational{3, 2}, u"1 1/2"},
        {u"1 3/4", KRational{7, 4}, u"1 3/4"},
        {u"1.75", KRational{7, 4}, u"1 3/4"},
        {u"2.50000000000000000000000", KRational{5, 2}, u"2 1/2"},
        {u"0/9", KRational{0, 1}, u"0"},
        {u"1.", KRational{1, 1}, u"1"},
        {u"5 ", KRational{5, 1}, u"5"},
        {u"-1", std::nullopt, nullptr},
        {u"1/0", std::nullopt, nullptr},
        {u"1 1/0", std::nullopt, nullptr},
        {u"/2", std::nullopt, nullptr},
        {u"", std::nullopt, nullptr},
        {u"4294967296/2", std::nullopt, nullptr},
        {u"4294967296/4", KRational{1073741824, 1}, u"1073741824"},
        {u"0.0000000001", std::nullopt, nullptr},
        {u"99999999999999999999999999/3", std::nullopt, nullptr},
        {u"2147483647 2147483646/2147483647", std::nullopt, nullptr},
    };
    for (const auto& c : cases) {
        const auto value = KRRat::ParseRational(c.text);
        EXPECT_EQ(value, c.value) << ToUtf8(c.text);
        if (value && c.written) {
            EXPECT_EQ(KRRat::FormatRational(*value), c.written) << ToUtf8(c.text);
        }
    }
}

TEST(KRValueSyntax, FloatIsWrittenWithSixDecimalsAndAPointWhateverTheLocale) {
    EXPECT_EQ(KRFloat::ParseDouble(u"1.5"), 1.5);
    EXPECT_EQ(KRFloat::ParseDouble(u"-2.25e2x"), -225.0);
    EXPECT_EQ(KRFloat::ParseDouble(u"+3"), 3.0);
    EXPECT_EQ(KRFloat::ParseDouble(u"1,5"), 1.0);
    EXPECT_EQ(KRFloat::ParseDouble(u"abc"), std::nullopt);
    EXPECT_EQ(KRFloat::ParseDouble(u"inf"), std::nullopt);
    EXPECT_EQ(KRFloat::FormatDouble(1.5), u"1.500000");
    EXPECT_EQ(KRFloat::FormatDouble(-0.1234567), u"-0.123457");
    std::setlocale(LC_ALL, "de_DE.UTF-8");  // where installed, a comma locale must change nothing
    EXPECT_EQ(KRFloat::FormatDouble(2.5), u"2.500000");
    EXPECT_EQ(KRFloat::ParseDouble(u"2.5"), 2.5);
    std::setlocale(LC_ALL, "C");
}

TEST(KRegistryWrite, NodesWriteTheirLineFormWithFullPaths) {
    KRegistry tree;
    tree.AddTable({u"Layout\\:=", u"Layout\\GridVert:Int=3", u"Event\\:=", u"Event\\Layout\\:=",
                   u"Event\\Layout\\Summary1:String,1=0,0,40,15,Left", u"Event\\Pace:Rat=3/2",
                   u"Event\\Flag:Bool,5=7", u"Event\\Bounded:Int,2,-5,10=4", u"Event\\F:Float,1,,2.5=0.5"});
    std::vector<KString> lines;
    tree.WriteTree([&lines](KStringView line) { lines.emplace_back(line); });
    const std::vector<KString> expected = {
        u"\\:,1=",
        u"\\Layout\\:,1=",
        u"\\Layout\\GridVert:Int,1,,=3",
        u"\\Event\\:,1=",
        u"\\Event\\Layout\\:,1=",
        u"\\Event\\Layout\\Summary1:String,1=0,0,40,15,Left",
        u"\\Event\\Pace:Rat,1=1 1/2",
        u"\\Event\\Flag:Bool,5=1",
        u"\\Event\\Bounded:Int,2,-5,10=4",
        u"\\Event\\F:Float,1,,2.500000=0.500000",
    };
    EXPECT_EQ(lines, expected);
}

TEST(KRegistryWrite, WrittenTreeReadsBackIdentical) {
    KRegistry tree;
    tree.AddTable({u"A\\:Kind,3=", u"A\\I:Int,4,-100,100=-42", u"A\\F:Float,2,-1.5,9.25=3.125",
                   u"A\\R:Rat=2 2/3", u"A\\B:Bool=1", u"A\\S:String=x=y\\nz", u"A\\1\\:=",
                   u"A\\1\\Deep:Int=0x10", u"\u00C9t\u00E9\\:=", u"\u00C9t\u00E9\\Caf\u00E9:String=\u00E0"});
    std::vector<KString> first;
    tree.WriteTree([&first](KStringView line) { first.emplace_back(line); });

    KRegistry copy;
    for (const KString& line : first) ASSERT_NE(copy.Define(line), nullptr) << ToUtf8(line);
    std::vector<KString> second;
    copy.WriteTree([&second](KStringView line) { second.emplace_back(line); });
    EXPECT_EQ(second, first);
    EXPECT_EQ(copy.FindInt(u"A\\I")->Minimum(), -100);
    EXPECT_EQ(copy.FindFloat(u"A\\F")->Maximum(), 9.25);
    EXPECT_EQ(copy.FindGroup(u"A\\")->GroupTypeName(), u"Kind");
    EXPECT_EQ(copy.FindGroup(u"A\\")->Number(), 3);
    EXPECT_EQ(copy.FindInt(u"A\\1\\Deep")->Value(), 16);
}

TEST(KRegistryWrite, DeletedAndUnsavedNodesAreFoundButNotWritten) {
    KRegistry tree;
    tree.AddTable({u"A\\:=", u"A\\Keep:Int=1", u"A\\Gone:Int=2", u"B\\:=", u"B\\X:Int=3", u"C\\:="});
    tree.FindInt(u"A\\Gone")->SetDeleted(true);
    tree.FindGroup(u"B\\")->SetSaved(false);
    std::vector<KString> lines;
    tree.WriteTree([&lines](KStringView line) { lines.emplace_back(line); });
    const std::vector<KString> expected = {u"\\:,1=", u"\\A\\:,1=", u"\\A\\Keep:Int,1,,=1", u"\\C\\:,1="};
    EXPECT_EQ(lines, expected);
    ASSERT_NE(tree.FindInt(u"A\\Gone"), nullptr);
    EXPECT_EQ(tree.FindInt(u"A\\Gone")->Value(), 2);
    EXPECT_EQ(tree.FindInt(u"B\\X")->Value(), 3);
    tree.FindInt(u"A\\Gone")->SetDeleted(false);
    lines.clear();
    tree.WriteTree([&lines](KStringView line) { lines.emplace_back(line); });
    EXPECT_EQ(lines.size(), 5u);
}

TEST(KRGroupCollections, NumberedGroupsAreTheIntegerNamedChildGroupsInInsertionOrder) {
    KRegistry tree;
    tree.AddTable({u"Sources\\:=", u"Sources\\Fields\\:=", u"Sources\\3\\:=", u"Sources\\Size:Int=1",
                   u"Sources\\1\\:=", u"Sources\\1x\\:=", u"Sources\\7\\:="});
    KRGroup* sources = tree.FindGroup(u"Sources\\");
    ASSERT_EQ(sources->NumberedGroupCount(), 3u);
    EXPECT_EQ(sources->NumberedGroup(0)->Name(), u"3");
    EXPECT_EQ(sources->NumberedGroup(1)->Name(), u"1");
    EXPECT_EQ(sources->NumberedGroup(2)->Name(), u"7");
    EXPECT_EQ(sources->NumberedGroup(3), nullptr);
    EXPECT_EQ(sources->NextFreeNumber(), 8);
    EXPECT_EQ(sources->ChildGroup(0)->Name(), u"Fields");
    EXPECT_EQ(sources->ChildGroup(5), nullptr);
    EXPECT_EQ(sources->NextChildGroup(sources->FindChild(u"3"))->Name(), u"1");
    EXPECT_EQ(sources->NextChild(sources->FindChild(u"3"))->Name(), u"Size");
    EXPECT_EQ(sources->NextChild(nullptr)->Name(), u"Fields");
    EXPECT_EQ(sources->NextChildGroup(sources->FindChild(u"7")), nullptr);
}

TEST(KRGroupCollections, AddInsertRemoveAndClearKeepParentsRight) {
    KRegistry tree;
    tree.AddTable({u"L\\:=", u"L\\A:Int=1", u"L\\C:Int=3"});
    KRGroup* list = tree.FindGroup(u"L\\");
    auto b = std::make_unique<KRInt>();
    b->SetName(u"B");
    KRNode* added = list->Insert(std::move(b), list->FindChild(u"C"));
    EXPECT_EQ(added->Parent(), list);
    EXPECT_EQ(list->NextChild(list->FindChild(u"A")), added);
    std::unique_ptr<KRNode> removed = list->Remove(list->FindChild(u"A"));
    ASSERT_NE(removed, nullptr);
    EXPECT_EQ(removed->Parent(), nullptr);
    EXPECT_EQ(list->FindChild(u"A"), nullptr);
    EXPECT_EQ(list->Remove(removed.get()), nullptr);
    list->Clear();
    EXPECT_EQ(list->ChildCount(), 0u);
    EXPECT_EQ(tree.Find(u"L\\C"), nullptr);
}

TEST(KRGroupCollections, ValueReadFlagsCoverTheWholeSubtree) {
    KRegistry tree;
    tree.AddTable({u"G\\:=", u"G\\Sub\\:=", u"G\\Sub\\V:Int=1"});
    KRGroup* group = tree.FindGroup(u"G\\");
    EXPECT_TRUE(group->AnyValueRead());
    group->SetValueReadAll(false);
    EXPECT_FALSE(group->AnyValueRead());
    EXPECT_FALSE(tree.FindInt(u"G\\Sub\\V")->IsValueRead());
    tree.Define(u"G\\Sub\\V:Int=2");
    EXPECT_TRUE(group->AnyValueRead());
}

TEST(KRValueHooks, SetterHookSeesEveryValueStoredThroughTheTree) {
    KRegistry tree;
    tree.AddTable({u"S\\:=", u"S\\Size:Int=5"});
    KRInt* size = tree.FindInt(u"S\\Size");
    std::vector<int32_t> seen;
    size->SetSetter([&seen](KRInt& node, int32_t value) {
        seen.push_back(value);
        node.StoreValue(std::max(value, 16));  // an owner that enforces its own floor
    });
    tree.Define(u"S\\Size:Int=4");
    EXPECT_EQ(size->Value(), 16);
    size->SetValue(100);
    EXPECT_EQ(size->Value(), 100);
    EXPECT_EQ(seen, (std::vector<int32_t>{4, 100}));
}

TEST(KRNodeTypes, PrototypesComeInRegistryOrderAndCreateFreshNodes) {
    KRNodeTypes::Register();
    std::vector<KString> names;
    for (const auto& prototype : KRNodeTypes::Prototypes()) names.emplace_back(prototype->TypeName());
    EXPECT_EQ(names, (std::vector<KString>{u"Group", u"String", u"Int", u"Rat", u"Bool", u"Float"}));
    auto node = KRNodeTypes::Create(u"rAt");
    ASSERT_NE(dynamic_cast<KRRat*>(node.get()), nullptr);
    EXPECT_EQ(KRNodeTypes::Create(u"Double"), nullptr);
    KRNodeTypes::Unregister();
}

}  // namespace
