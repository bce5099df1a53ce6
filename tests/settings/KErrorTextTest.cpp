#include "settings/KErrorText.h"

#include <gtest/gtest.h>

namespace {

void AddErrorTexts(KRegistry& tree) {
    tree.AddTable(
        {u"Strings\\:=", u"Strings\\Alerts\\:=", u"Strings\\Alerts\\OperationFailed:String=Operation failed",
         u"Strings\\Errors\\:=", u"Strings\\Errors\\1000:String=Operation failed",
         u"Strings\\Errors\\3000:String=File error", u"Strings\\Errors\\3002:String=Error opening a file",
         u"Strings\\Errors\\6002:String=Error saving the configuration file"});
}

TEST(ComposeErrorText, OwnTextThenThousandThenOperationFailed) {
    KRegistry tree;
    AddErrorTexts(tree);
    struct Case {
        int code;
        int subcode;
        const char16_t* text;
    };
    const Case cases[] = {
        {3002, -1, u"Error opening a file (3002)."},
        {3099, -1, u"File error (3099)."},
        {7000, -1, u"Operation failed (7000)."},
        {7123, -1, u"Operation failed (7123)."},
        {3002, 2, u"Error opening a file (3002,2)."},
        {3002, 0, u"Error opening a file (3002,0)."},
        {6002, -5, u"Error saving the configuration file (6002)."},
        {999, -1, u"Operation failed (999)."},
        {-3, -1, u"Operation failed (-3)."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ComposeErrorText(&tree, c.code, c.subcode), c.text) << c.code;
    }
}

TEST(ComposeErrorText, TranslatedFallbackTextIsUsed) {
    KRegistry tree;
    AddErrorTexts(tree);
    tree.Define(u"Strings\\Alerts\\OperationFailed:String=Vorgang fehlgeschlagen");
    EXPECT_EQ(ComposeErrorText(&tree, 7000), u"Vorgang fehlgeschlagen (7000).");
}

TEST(ComposeErrorText, WithoutTreeOrTextsTheBuiltInFallbackIsUsed) {
    EXPECT_EQ(ComposeErrorText(nullptr, 3002), u"Operation failed (3002).");
    EXPECT_EQ(ComposeErrorText(nullptr, 3002, 13), u"Operation failed (3002,13).");
    const KRegistry empty;
    EXPECT_EQ(ComposeErrorText(&empty, 1001), u"Operation failed (1001).");
}

TEST(ComposeErrorText, LookingUpCreatesNothing) {
    KRegistry tree;
    AddErrorTexts(tree);
    ComposeErrorText(&tree, 4001);
    EXPECT_EQ(tree.FindGroup(u"Strings\\Errors\\")->ChildCount(), 4u);
}

}  // namespace
