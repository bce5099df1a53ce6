#include "settings/KDefaultSettings.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "SettingsTestTree.h"

extern const char kDefaultSettingsText[];

namespace {

constexpr KStringView kComments = u"Strings\\Registry\\Comments\\";

/// Keys that only come to exist at run time (created by their owners, or by the user) and are
/// documented all the same.
const std::set<KString> kOptionalKeys(
    {u"Event\\Results\\Fields\\Defaults", u"Event\\Standings\\Fields\\Defaults", u"Sources\\Scripts",
     u"Scoreboards\\Period", u"Scoreboards\\KeepAlive", u"Scoreboards\\Scripts",
     u"Scoreboards\\1\\AlwaysPage", u"Scoreboards\\1\\Official", u"Scoreboards\\1\\Unofficial",
     u"Scoreboards\\1\\NoWind", u"Scoreboards\\1\\AutomaticStart", u"Scoreboards\\1\\ManualStart",
     u"Scoreboards\\1\\ClockArmed", u"Scoreboards\\1\\ClockRunning"});

TEST(DefaultTable, CommentsAndBlankLinesAreSkippedAndTheRestMergesAsTheDefaults) {
    EXPECT_EQ(
        SplitDefaultTable("\xEF\xBB\xBF# comment\nGeneral\\:=\r\n\r\n   \n#General\\X:Int=1\n"
                          "General\\N:String=Z\xC3\xBCrich #1\nGeneral\\Last:Int=2"),
        (std::vector<KString>{u"General\\:=", u"General\\N:String=Z\u00FCrich #1", u"General\\Last:Int=2"}));
    KRegistry tree;
    const std::vector<KString> lines = SplitDefaultTable(kDefaultSettingsText);
    ASSERT_GT(lines.size(), 500u);
    std::set<KString> seen;
    for (const KString& line : lines) {
        EXPECT_NE(tree.Define(line), nullptr) << ToUtf8(line);
        KString key = line.substr(0, line.find(u':'));
        for (KChar& c : key) c = FoldCase(c);
        EXPECT_TRUE(seen.insert(key).second) << "defined twice: " << ToUtf8(line);
    }
    KRegistry loaded;
    LoadDefaults(loaded);
    LoadFirstRunDefaults(loaded);  // holds nothing
    EXPECT_EQ(Lines(tree), Lines(loaded));
}

TEST(DefaultTable, EverySettingHasAHelpTextEndingWithItsDefaultAndEveryHelpTextAKey) {
    KRegistry tree;
    LoadDefaults(tree);
    size_t settings = 0;
    Walk(tree, KString(), [&](const KString& key, const KRNode& node) {
        if (key.starts_with(u"Strings\\")) return;
        ++settings;
        // A group's help text is a String of the group's own name beside the group.
        const KString commentKey =
            KString(kComments) + (node.IsGroup() ? key.substr(0, key.size() - 1) : key);
        const KRString* comment = tree.FindString(commentKey);
        ASSERT_NE(comment, nullptr) << ToUtf8(key);
        if (node.IsGroup()) return;
        const KString value = static_cast<const KRValue&>(node).ValueText();
        const KString ending = u"\\n\\nDefault: " + (value.empty() ? KString(u"(empty)") : value);
        EXPECT_TRUE(comment->Value().ends_with(ending)) << ToUtf8(key) << ": " << ToUtf8(comment->Value());
    });
    EXPECT_GT(settings, 90u);
    Walk(*tree.FindGroup(kComments), KString(), [&](const KString& key, const KRNode& node) {
        if (node.IsGroup()) return;
        const bool exists = tree.Find(key) != nullptr || tree.FindGroup(key + u"\\") != nullptr;
        EXPECT_TRUE(exists || kOptionalKeys.contains(key)) << ToUtf8(key);
        EXPECT_FALSE(static_cast<const KRString&>(node).Value().empty()) << ToUtf8(key);
    });
}

}  // namespace
