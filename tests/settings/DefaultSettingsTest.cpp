#include "settings/KDefaultSettings.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "settings/KRegistry.h"

extern const char kDefaultSettingsText[];

namespace {

constexpr KStringView kComments = u"Strings\\Registry\\Comments\\";

/// The entries of the built-in table as the program embeds it, in order.
std::vector<KString> TableLines() { return SplitDefaultTable(kDefaultSettingsText); }

KString PathOf(KStringView line) { return KString(line.substr(0, line.find(u':'))); }

/// Keys that only come to exist at run time (created by their owners, or by the user) and are
/// documented all the same.
const std::set<KString> kOptionalKeys = {
    u"Event\\Results\\Fields\\Defaults",
    u"Event\\Standings\\Fields\\Defaults",
    u"Sources\\Scripts",
    u"Scoreboards\\Period",
    u"Scoreboards\\KeepAlive",
    u"Scoreboards\\Scripts",
    u"Scoreboards\\1\\AlwaysPage",
    u"Scoreboards\\1\\Official",
    u"Scoreboards\\1\\Unofficial",
    u"Scoreboards\\1\\NoWind",
    u"Scoreboards\\1\\AutomaticStart",
    u"Scoreboards\\1\\ManualStart",
    u"Scoreboards\\1\\ClockArmed",
    u"Scoreboards\\1\\ClockRunning",
};

/// Calls `visit(relativePath, node)` for every node below `group`, parents first; group paths
/// end with a backslash.
template <typename Visit>
void Walk(const KRGroup& group, const KString& prefix, Visit&& visit) {
    for (const auto& child : group.Children()) {
        if (child->IsGroup()) {
            const KString path = prefix + child->Name() + u"\\";
            visit(path, *child);
            Walk(static_cast<const KRGroup&>(*child), path, visit);
        } else {
            visit(prefix + child->Name(), *child);
        }
    }
}

class DefaultSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { LoadDefaults(tree); }
    KRegistry tree;
};

TEST(DefaultTable, CommentsAndBlankLinesAreSkippedAndTheRestMergesAsTheDefaults) {
    EXPECT_EQ(
        SplitDefaultTable("\xEF\xBB\xBF# comment\nGeneral\\:=\r\n\r\n   \n#General\\X:Int=1\n"
                          "General\\N:String=Z\xC3\xBCrich #1\nGeneral\\Last:Int=2"),
        (std::vector<KString>{u"General\\:=", u"General\\N:String=Z\u00FCrich #1", u"General\\Last:Int=2"}));
    KRegistry tree;
    const std::vector<KString> lines = TableLines();
    ASSERT_GT(lines.size(), 500u);
    std::set<KString> seen;
    for (const KString& line : lines) {
        EXPECT_NE(tree.Define(line), nullptr) << ToUtf8(line);
        KString key = PathOf(line);
        for (KChar& c : key) c = FoldCase(c);
        EXPECT_TRUE(seen.insert(key).second) << "defined twice: " << ToUtf8(line);
    }
    KRegistry loaded;
    LoadDefaults(loaded);
    LoadFirstRunDefaults(loaded);  // holds nothing
    std::vector<KString> a, b;
    tree.WriteTree([&a](KStringView line) { a.emplace_back(line); });
    loaded.WriteTree([&b](KStringView line) { b.emplace_back(line); });
    EXPECT_EQ(a, b);
}

TEST(DefaultTable, TenTopLevelGroupsComeFirstThenTheSettingsThenTheTexts) {
    const std::vector<KString> lines = TableLines();
    const std::vector<KString> groups = {u"General\\:=", u"Event\\:=",       u"Database\\:=", u"Layout\\:=",
                                         u"Sources\\:=", u"Scoreboards\\:=", u"Language\\:=", u"Scoring\\:=",
                                         u"Results\\:=", u"Strings\\:="};
    ASSERT_GT(lines.size(), groups.size() + 93);
    for (size_t i = 0; i < groups.size(); ++i) EXPECT_EQ(lines[i], groups[i]);
    for (size_t i = groups.size(); i < groups.size() + 93; ++i)
        EXPECT_FALSE(lines[i].starts_with(u"Strings\\")) << ToUtf8(lines[i]);
    EXPECT_TRUE(lines[groups.size() + 93].starts_with(u"Strings\\")) << ToUtf8(lines[groups.size() + 93]);
    EXPECT_EQ(lines.back().rfind(kComments, 0), 0u) << "the help texts come last";
}

TEST_F(DefaultSettingsTest, SettingsHaveTheirTypesAndDefaults) {
    struct Case {
        KStringView path;
        KStringView type;
        KStringView value;
    };
    const Case cases[] = {
        {u"General\\ActivityLog", u"Bool", u"0"},
        {u"General\\MainWindow\\Left", u"Int", u"10"},
        {u"General\\MainWindow\\Width", u"Int", u"-1"},
        {u"General\\MainWindow\\Maximized", u"Int", u"1"},
        {u"Event\\Results\\TimePrecision", u"Int", u"0"},
        {u"Event\\Results\\PaceDistance", u"Rat", u"0"},
        {u"Event\\Layout\\Summary1", u"String", u"0,0,40,15,Left"},
        {u"Event\\Layout\\Results1", u"String", u"40,0,100,100,Bottom"},
        {u"Database\\File\\CharModeGXF", u"Int", u"0"},
        {u"Layout\\ScaleDenom", u"Int", u"4"},
        {u"Sources\\Fields\\BufferSize", u"Int", u"32768"},
        {u"Sources\\1\\Script", u"String", u"Gatemark.kss"},
        {u"Sources\\1\\SerialPort", u"String", u"-2,0.0.0.0,1025"},
        {u"Scoreboards\\Boot", u"Bool", u"1"},
        {u"Scoreboards\\UDPSize", u"Int", u"536"},
        {u"Scoreboards\\1\\Script", u"String", u"Telerank_Video_TeamScores_3lines.vss"},
        {u"Scoreboards\\1\\SerialPort", u"String", u"-1,127.0.0.1,1024"},
        {u"Scoreboards\\1\\TimePause", u"Int", u"3000"},
        {u"Scoreboards\\1\\PageSize", u"Int", u"3"},
        {u"Scoreboards\\1\\PageMax", u"Int", u"-1"},
        {u"Scoreboards\\1\\AffilAbbr", u"Bool", u"0"},
        {u"Scoreboards\\1\\SuppressCutoff", u"Int", u"100000"},
        {u"Language\\Choice", u"String", u""},
        {u"Scoring\\MinRunners", u"Int", u"5"},
        {u"Scoring\\MaxDisplacers", u"Int", u"2"},
        {u"Scoring\\UnatDisplaces", u"Bool", u"1"},
        {u"Results\\Unattached\\NumDefaultUna", u"Int", u"3"},
        {u"Results\\Unattached\\3\\Name", u"String", u"UNA-Unattached"},
    };
    for (const Case& c : cases) {
        const auto* node = dynamic_cast<const KRValue*>(tree.Find(c.path));
        ASSERT_NE(node, nullptr) << ToUtf8(c.path);
        EXPECT_EQ(node->TypeName(), c.type) << ToUtf8(c.path);
        EXPECT_EQ(node->ValueText(), c.value) << ToUtf8(c.path);
    }
}

TEST_F(DefaultSettingsTest, TheEventLayoutEntriesCarryNumberOne) {
    for (KStringView path :
         {u"Event\\Layout\\Summary1", u"Event\\Layout\\Standings1", u"Event\\Layout\\Results1"}) {
        ASSERT_NE(tree.FindString(path), nullptr);
        EXPECT_EQ(tree.FindString(path)->Number(), 1);
    }
}

TEST_F(DefaultSettingsTest, NumberedCollectionsHoldTheDefaultItems) {
    EXPECT_EQ(tree.FindGroup(u"Sources\\")->NumberedGroupCount(), 1u);
    EXPECT_EQ(tree.FindGroup(u"Scoreboards\\")->NumberedGroupCount(), 1u);
    EXPECT_EQ(tree.FindGroup(u"Results\\Unattached\\")->NumberedGroupCount(), 3u);
    EXPECT_EQ(tree.FindGroup(u"Language\\Choices\\")->ChildCount(), 0u);
}

TEST_F(DefaultSettingsTest, ErrorTextsCoverEveryNumberedError) {
    const std::pair<int, KStringView> errors[] = {
        {1000, u"Operation failed"},
        {1001, u"Unhandled main loop exception"},
        {1002, u"Error initializing DDE server"},
        {1003, u"Error loading application resources"},
        {2000, u"Memory error"},
        {2001, u"Error allocating memory"},
        {3000, u"File error"},
        {3001, u"Error opening a file already open"},
        {3002, u"Error opening a file"},
        {3003, u"Error accessing a file"},
        {3004, u"Error reading from a file"},
        {3005, u"Error writing to a file"},
        {3006, u"Disk full"},
        {3007, u"Error closing a file"},
        {3008, u"Error deleting a file"},
        {3009, u"Incorrect file version"},
        {3010, u"Invalid file contents"},
        {4000, u"Printer error"},
        {4001, u"Printer not responding"},
        {5000, u"Serial communication error"},
        {5001, u"Serial communication receive error"},
        {5002, u"Serial communication receive timeout"},
        {5003, u"Serial communication transmit error"},
        {5004, u"Serial communication transmit busy"},
        {6000, u"Configuration file error"},
        {6001, u"Error loading the configuration file"},
        {6002, u"Error saving the configuration file"},
    };
    for (const auto& [code, text] : errors)
        EXPECT_EQ(tree.GetText(u"Strings\\Errors\\" + ToKString(code)), text) << code;
    EXPECT_EQ(tree.FindGroup(u"Strings\\Errors\\")->ChildCount(), std::size(errors));
    // Network errors have no text of their own and fall back to the operation-failed text.
    EXPECT_EQ(tree.Find(u"Strings\\Errors\\8000"), nullptr);
    EXPECT_EQ(tree.GetText(u"Strings\\Alerts\\OperationFailed"), u"Operation failed");
}

TEST_F(DefaultSettingsTest, TextsThatCodeReadsHaveTheirEnglishDefaults) {
    const std::pair<KStringView, KStringView> texts[] = {
        {u"Strings\\MenuBar\\Data\\Clear", u"&Clear,A+C"},
        {u"Strings\\MenuBar\\Scoreboard\\Refresh", u"&Refresh,A+E"},
        {u"Strings\\MenuBar\\Scoreboard\\TimeOfDay", u"S&how time of day"},
        {u"Strings\\MenuBar\\Results\\ApplyDefFields", u"Apply Default Fields"},
        {u"Strings\\Menu\\Ctrl", u"Ctrl"},
        {u"Strings\\Alerts\\CopyText", u"A copy of Kestrun is already running."},
        {u"Strings\\Dialog\\Browse", u"Browse..."},
        {u"Strings\\Event\\Results\\Codes\\DidNotFinish", u"DNF"},
        {u"Strings\\Event\\Results\\Codes\\Advanced", u"ADV"},
        {u"Strings\\Event\\Results\\Fields\\CumSplitTime", u"Cum. Split Time"},
        {u"Strings\\Event\\Results\\Fields\\NumScorers", u"Num Scorers + Displacers"},
        {u"Strings\\Event\\FinalizingPrep", u"Preparing to Finalize Data..."},
        {u"Strings\\Event\\Unofficial", u"*** Unofficial ***"},
        {u"Strings\\Time\\SecondFracSep", u"."},
        {u"Strings\\Options\\Results\\DefaultName", u"UNA"},
        {u"Strings\\Options\\Results\\Count", u"Count: "},
        {u"Strings\\Options\\General\\Restart",
         u"*Changes to this setting take effect the next time Kestrun is run."},
        {u"Strings\\SerialPort\\PortNone", u"<none>"},
        {u"Strings\\SerialPort\\StopBitsOneFive", u"1.5"},
        {u"Strings\\CharMode\\SingleByte", u"Single Byte"},
        {u"Strings\\OtherSettings\\NewSetting", u"New Setting"},
        {u"Strings\\Hardware\\FlyOver\\EnableData", u"Enable Data Display Window"},
        {u"Strings\\FileTypes\\People", u"People File"},
        {u"Strings\\Layout\\DefaultName", u"Untitled"},
    };
    for (const auto& [path, text] : texts) EXPECT_EQ(tree.GetText(path), text) << ToUtf8(path);
    // Scoreboard state texts are empty until a language file or a scoreboard sets them.
    ASSERT_NE(tree.FindString(u"Strings\\Scoreboards\\Official"), nullptr);
    EXPECT_EQ(tree.GetText(u"Strings\\Scoreboards\\Official"), u"");
}

TEST_F(DefaultSettingsTest, PaletteNamesAreInPaletteOrder) {
    const KStringView names[] = {u"Background", u"White", u"Light Gray", u"Dark Gray", u"Black", u"Red",
                                 u"Green",      u"Blue",  u"Cyan",       u"Magenta",   u"Yellow"};
    const KRGroup* colors = tree.FindGroup(u"Strings\\Colors\\");
    ASSERT_NE(colors, nullptr);
    ASSERT_EQ(colors->ChildCount(), std::size(names));
    for (size_t i = 0; i < std::size(names); ++i)
        EXPECT_EQ(static_cast<const KRString&>(*colors->Children()[i]).Value(), names[i]);
}

TEST_F(DefaultSettingsTest, EveryHelpTextDocumentsAnExistingOrOptionalKey) {
    const KRGroup* comments = tree.FindGroup(kComments);
    ASSERT_NE(comments, nullptr);
    size_t count = 0;
    Walk(*comments, KString(), [&](const KString& key, const KRNode& node) {
        if (node.IsGroup()) return;
        ++count;
        const bool exists = tree.Find(key) != nullptr || tree.FindGroup(key + u"\\") != nullptr;
        EXPECT_TRUE(exists || kOptionalKeys.contains(key)) << ToUtf8(key);
        EXPECT_FALSE(static_cast<const KRString&>(node).Value().empty()) << ToUtf8(key);
    });
    EXPECT_GT(count, 100u);
}

TEST_F(DefaultSettingsTest, EverySettingHasAHelpTextEndingWithItsDefault) {
    size_t settings = 0;
    for (const auto& top : tree.Children()) {
        if (!top->IsGroup() || top->Name() == u"Strings") continue;
        Walk(static_cast<const KRGroup&>(*top), top->Name() + u"\\",
             [&](const KString& key, const KRNode& node) {
                 ++settings;
                 // A group's help text is a String of the group's own name beside the group.
                 const KString commentKey =
                     KString(kComments) + (node.IsGroup() ? key.substr(0, key.size() - 1) : key);
                 const KRString* comment = tree.FindString(commentKey);
                 ASSERT_NE(comment, nullptr) << ToUtf8(key);
                 if (node.IsGroup()) return;
                 const KString value = static_cast<const KRValue&>(node).ValueText();
                 const KString ending = u"\\n\\nDefault: " + (value.empty() ? KString(u"(empty)") : value);
                 EXPECT_TRUE(comment->Value().ends_with(ending))
                     << ToUtf8(key) << ": " << ToUtf8(comment->Value());
             });
    }
    EXPECT_EQ(settings, 93u);
}

TEST_F(DefaultSettingsTest, AGroupAndItsHelpTextAreToldApart) {
    const KString mainWindow = KString(kComments) + u"General\\MainWindow";
    ASSERT_NE(tree.FindString(mainWindow), nullptr);
    ASSERT_NE(tree.FindGroup(mainWindow + u"\\"), nullptr);
    EXPECT_EQ(tree.GetText(mainWindow + u"\\Left"),
              u"Refers to the distance from the left of the screen that the main window will appear if not "
              u"'Maximized'.\\n\\nDefault: 10");
}

}  // namespace
