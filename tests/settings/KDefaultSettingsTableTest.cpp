#include "settings/KDefaultSettings.h"

#include <gtest/gtest.h>

TEST(KDefaultSettingsTable, SplitsLinesSkippingCommentsAndBlankLines) {
    const std::vector<KString> lines = SplitDefaultTable(
        "\xEF\xBB\xBF# comment\nGeneral\\:=\r\n\r\n   \n#General\\X:Int=1\nGeneral\\N:String=Z\xC3\xBCrich "
        "#1\n"
        "General\\Last:Int=2");
    const std::vector<KString> expected = {u"General\\:=", u"General\\N:String=Z\u00FCrich #1",
                                           u"General\\Last:Int=2"};
    EXPECT_EQ(lines, expected);
}

TEST(KDefaultSettingsTable, LoadDefaultsMergesTheBuiltInTableInOrder) {
    extern const char kDefaultSettingsText[];
    KRegistry expected;
    expected.AddTable(SplitDefaultTable(kDefaultSettingsText));
    KRegistry loaded;
    LoadDefaults(loaded);
    LoadFirstRunDefaults(loaded);  // holds nothing
    std::vector<KString> a, b;
    expected.WriteTree([&a](KStringView line) { a.emplace_back(line); });
    loaded.WriteTree([&b](KStringView line) { b.emplace_back(line); });
    EXPECT_EQ(a, b);
}
