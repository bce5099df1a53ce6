#include "foundation/KString.h"

#include <gtest/gtest.h>

TEST(KString, ConversionsKeepEveryCharacterTheTargetCanHold) {
    const std::string utf8 = "Z\xC3\xBCrich \xF0\x9F\x8F\x83 \xC3\x91";
    EXPECT_EQ(FromUtf8(utf8), u"Z\u00FCrich \U0001F3C3 \u00D1");
    EXPECT_EQ(ToUtf8(FromUtf8(utf8)), utf8);
    // Malformed UTF-8, an encoded surrogate included, becomes replacement characters.
    EXPECT_EQ(FromUtf8("a\xC3|\xFF|\xED\xA0\x80"), u"a\uFFFD|\uFFFD|\uFFFD");
    EXPECT_EQ(FromLatin1("\xE9t\xE9"), u"\u00E9t\u00E9");
    EXPECT_EQ(ToLatin1(u"\u00E9\u20AC"), "\xE9?");
}

TEST(KString, NamesCompareWithoutRegardToCase) {
    EXPECT_TRUE(EqualsNoCase(u"general\\activitylog", u"General\\ActivityLog"));
    EXPECT_TRUE(EqualsNoCase(u"\u00C9T\u00C9", u"\u00E9t\u00E9"));
    EXPECT_FALSE(EqualsNoCase(u"\u00D7", u"\u00F7"));
    EXPECT_TRUE(StartsWithNoCase(u"de_AT", u"DE"));
}

TEST(KString, IntegerSyntax) {
    using Case = std::tuple<const char16_t*, std::optional<long long>, size_t>;  // text, value, where it ends
    for (const auto& [text, value, end] : {Case{u"-7x", -7, 2},
                                           {u"+3", 3, 2},
                                           {u"0x1F", 31, 4},
                                           {u"0X1f", 31, 4},
                                           {u"017", 15, 3},
                                           {u"09", 0, 1},
                                           {u"-", std::nullopt, 0},
                                           {u"abc", std::nullopt, 0}}) {
        size_t pos = 0;
        EXPECT_EQ(ParseInteger(text, pos), value) << ToUtf8(text);
        EXPECT_EQ(pos, end) << ToUtf8(text);
    }
    size_t pos = 0;  // outside input may carry any number of digits
    EXPECT_GT(ParseInteger(u"99999999999999999999999999999", pos).value_or(-1), 0);
}
