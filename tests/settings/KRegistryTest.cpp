#include "settings/KRegistry.h"

#include <gtest/gtest.h>

#include <clocale>

#include "SettingsTestTree.h"

namespace {

using KRegistryTest = SettingsTest;

TEST_F(KRegistryTest, DefiningLinesMergesIntoTheTreeAsTheGrammarSays) {
    struct Step {
        const char16_t* line;
        bool accepted;
        const char16_t* path;   // then looked up
        const char16_t* found;  // its value text, "\" for a group, "-" for none
    };
    const Step steps[] = {
        // Intermediate groups are never created implicitly, and a plain lookup creates nothing.
        {u"Foo\\Bar:Int=5", false, u"Foo\\", u"-"},
        {u"Foo\\:=", true, u"Foo\\Bar", u"-"},
        {u"Foo\\Bar:Int=5", true, u"\\Foo\\Bar", u"5"},
        // An existing node parses the value in its own type, whatever the line says.
        {u"General\\ActivityLog:Bool=1", true, u"General\\ActivityLog", u"1"},
        {u"General\\ActivityLog:Int=0", true, u"General\\ActivityLog", u"0"},
        {u"General\\ActivityLog:String=yes", false, u"General\\ActivityLog", u"0"},
        {u"general\\mainwindow\\LEFT:Int=20", true, u"GENERAL\\MAINWINDOW\\Left", u"20"},
        {u"Foo\\S:String=a=b,c\\n:d", true, u"Foo\\S", u"a=b,c\\n:d"},
        {u"Foo\\Empty:String=", true, u"Foo\\Empty", u""},
        // A refused value leaves the node as it was.
        {u"Event\\Results\\PaceDistance:Rat=3/2", true, u"Event\\Results\\PaceDistance", u"1 1/2"},
        {u"Event\\Results\\PaceDistance:Rat,7=-1", false, u"Event\\Results\\PaceDistance", u"1 1/2"},
        // A value child needs its whole name, and a value is no group.
        {u"Layout\\Grid:Int=1", true, u"Layout\\GridVert", u"3"},
        {u"Layout\\GridVert\\X:Int=1", false, u"Layout\\GridVert\\", u"-"},
        // A group and a value may share a name; the backslash tells them apart.
        {u"General\\MainWindow:String=The main window.", true, u"General\\MainWindow", u"The main window."},
        {u"General\\MainWindow\\Top:Int=4", true, u"General\\MainWindow\\", u"\\"},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(tree.Define(s.line) != nullptr, s.accepted) << ToUtf8(s.line);
        KRNode* node = tree.Find(s.path);
        const auto* value = dynamic_cast<KRValue*>(node);
        EXPECT_EQ(value ? value->ValueText() : KString(node ? u"\\" : u"-"), s.found) << ToUtf8(s.line);
    }
    // No refused line created a second node of the same name, nor changed the number.
    EXPECT_EQ(tree.FindGroup(u"General\\")->ChildCount(), 3u);
    EXPECT_EQ(tree.FindRat(u"Event\\Results\\PaceDistance")->Number(), 1);
    EXPECT_EQ(tree.FindInt(u"General\\MainWindow\\Left")->Name(), u"Left");  // the first spelling stays
    EXPECT_EQ(tree.FindInt(u"General\\MainWindow\\Top")->Value(), 4);
}

TEST_F(KRegistryTest, LinesOutsideTheGrammarMergeToNothing) {
    const std::vector<KString> snapshot = Lines(tree);
    for (const char16_t* line :
         {u"Layout\\Foo:Unknown=1", u"Layout\\Foo:Int", u"Layout\\Foo=1", u"Layout\\Foo:Int=x",
          u"Layout\\Fo o:Int=1", u"Layout\\Foo:Group=", u"Layout\\A\\B\\:=", u"Layout\\GridVert:Int="})
        EXPECT_EQ(tree.Define(line), nullptr) << ToUtf8(line);
    EXPECT_EQ(Lines(tree), snapshot);
}

TEST_F(KRegistryTest,
       GroupsAreFoundWithTheirTrailingBackslashFindersCheckTheClassAndNumberedGroupsKeepTheirOrder) {
    KRGroup* sources = tree.FindGroup(u"Sources\\");
    ASSERT_NE(sources, nullptr);
    EXPECT_EQ(tree.FindGroup(u"\\Sources\\"), sources);
    EXPECT_EQ(tree.Find(sources->Path()), sources);
    EXPECT_EQ(tree.Find(u"\\Sources"), nullptr);
    EXPECT_EQ(tree.Find(u""), &tree);
    EXPECT_EQ(tree.Find(u"\\"), &tree);
    EXPECT_EQ(tree.FindInt(u"General\\ActivityLog"), nullptr);
    EXPECT_EQ(tree.GetText(u"Sources\\1\\Name"), u"Source");
    EXPECT_EQ(tree.GetText(u"Layout\\GridVert"), u"");  // only Strings have a text
    EXPECT_EQ(tree.GetText(u"Strings\\Missing"), u"");
    // A line without a name addresses the group itself; its first type name stays.
    KRGroup* layout = tree.FindGroup(u"Layout\\");
    EXPECT_EQ(tree.Define(u"Layout\\:Panel,4=ignored"), layout);
    EXPECT_EQ(layout->Number(), 4);
    EXPECT_EQ(tree.Define(u"Layout\\:Other,1="), layout);
    EXPECT_EQ(layout->GroupTypeName(), u"Panel");

    // Numbered groups are the integer-named child groups in insertion order.
    tree.AddTable({u"Sources\\Fields\\:=", u"Sources\\3\\:=", u"Sources\\Size:Int=1", u"Sources\\1x\\:=",
                   u"Sources\\7\\:="});
    KString numbered;
    for (size_t i = 0; i < sources->NumberedGroupCount(); ++i)
        numbered += sources->NumberedGroup(i)->Name() + u' ';
    EXPECT_EQ(numbered, u"1 3 7 ");
    EXPECT_EQ(sources->NumberedGroup(3), nullptr);
    EXPECT_EQ(sources->NextFreeNumber(), 8);
    EXPECT_EQ(sources->ChildGroup(1)->Name(), u"Fields");
    EXPECT_EQ(sources->NextChildGroup(sources->FindChild(u"3"))->Name(), u"1x");
    EXPECT_EQ(sources->NextChild(sources->FindChild(u"3"))->Name(), u"Size");
    EXPECT_EQ(sources->NextChild(nullptr)->Name(), u"1");
    EXPECT_EQ(sources->NextChildGroup(sources->FindChild(u"7")), nullptr);
}

TEST(KRValueSyntax, EachTypeReadsItsSyntaxAndWritesItsOwnFormWhateverTheLocale) {
    std::setlocale(LC_ALL, "de_DE.UTF-8");  // where installed, a comma locale must change nothing
    KRegistry tree;
    tree.Define(u"V\\:=");
    int n = 0;
    // Each case is "text -> what a new node of `type` writes".
    const auto check = [&](KStringView type, std::initializer_list<KStringView> cases) {
        for (const KStringView c : cases) {
            const size_t arrow = c.find(u" -> ");
            const KString line =
                u"V\\" + ToKString(++n) + u':' + KString(type) + u'=' + KString(c.substr(0, arrow));
            const auto* value = dynamic_cast<KRValue*>(tree.Define(line));
            EXPECT_EQ(value ? value->ValueText() : KString(u"refused"), c.substr(arrow + 4)) << ToUtf8(line);
        }
    };
    check(u"Int", {u"0x1F -> 31", u"12abc -> 12", u"2147483647 -> 2147483647", u"-2147483648 -> -2147483648",
                   u"2147483648 -> refused", u"-2147483649 -> refused", u"0xFFFFFFFF -> refused",
                   u" -> refused", u" 1 -> refused"});
    check(u"Bool", {u"0x10 -> 1", u"0 -> 0", u"99999999999999999999 -> 1", u"yes -> refused"});
    check(u"Rat",
          {u"3/4 -> 3/4", u"6/4 -> 1 1/2", u"1 3/4 -> 1 3/4", u"1.75 -> 1 3/4", u"0/9 -> 0", u"1. -> 1",
           u"5  -> 5", u"4294967296/4 -> 1073741824", u"2.50000000000000000000000 -> 2 1/2", u"-1 -> refused",
           u"1/0 -> refused", u"1 1/0 -> refused", u"/2 -> refused", u" -> refused",
           u"4294967296/2 -> refused", u"0.0000000001 -> refused", u"99999999999999999999999999/3 -> refused",
           u"2147483647 2147483646/2147483647 -> refused"});
    check(u"Float", {u"-2.25e2x -> -225.000000", u"1,5 -> 1.000000", u"2.5 -> 2.500000",
                     u"-0.1234567 -> -0.123457", u"abc -> refused", u"inf -> refused", u"nan -> refused"});
    std::setlocale(LC_ALL, "C");
}

TEST(KRegistryWrite, NodesWriteTheirLineFormWithFullPathsAndReadBackIdenticalButDeletedOrUnsavedOnesAreNot) {
    KRegistry tree;
    tree.AddTable({u"A\\:Kind,3=", u"A\\I:Int,2,-5,10=0x10", u"A\\F:Float,1,-1.5,9.25=0.5", u"A\\R:Rat=6/4",
                   u"A\\B:Bool,5=7", u"A\\Gone:Int=2", u"A\\1\\:=", u"A\\1\\S:String,1=0,0,40,15,Left=x\\n",
                   u"U\\:=", u"U\\X:Int=3"});
    tree.FindInt(u"A\\Gone")->SetDeleted(true);
    tree.FindGroup(u"U\\")->SetSaved(false);
    const std::vector<KString> expected({u"\\:,1=", u"\\A\\:Kind,3=", u"\\A\\I:Int,2,-5,10=16",
                                         u"\\A\\F:Float,1,-1.500000,9.250000=0.500000", u"\\A\\R:Rat,1=1 1/2",
                                         u"\\A\\B:Bool,5=1", u"\\A\\1\\:,1=",
                                         u"\\A\\1\\S:String,1=0,0,40,15,Left=x\\n"});
    EXPECT_EQ(Lines(tree), expected);
    KRegistry copy;
    for (const KString& line : expected) ASSERT_NE(copy.Define(line), nullptr) << ToUtf8(line);
    EXPECT_EQ(Lines(copy), expected);
    // Still there for the program itself.
    EXPECT_EQ(tree.FindInt(u"A\\Gone")->Value(), 2);
    EXPECT_EQ(tree.FindInt(u"U\\X")->Value(), 3);
}

TEST_F(KRegistryTest, SetterHookSeesEveryValueStoredThroughTheTree) {
    KRInt* size = tree.FindInt(u"Layout\\GridVert");
    std::vector<int32_t> seen;
    size->SetSetter([&seen](KRInt& node, int32_t value) {
        seen.push_back(value);
        node.StoreValue(std::max(value, 16));  // an owner that enforces its own floor
    });
    tree.Define(u"Layout\\GridVert:Int=4");
    EXPECT_EQ(size->Value(), 16);
    size->SetValue(100);
    EXPECT_EQ(size->Value(), 100);
    EXPECT_EQ(seen, (std::vector<int32_t>{4, 100}));
}

}  // namespace
