#include "settings/KErrorText.h"

#include <gtest/gtest.h>

TEST(ComposeErrorText, OwnTextThenThousandThenOperationFailedWithTheNumbers) {
    KRegistry tree;
    tree.AddTable({u"Strings\\:=", u"Strings\\Alerts\\:=",
                   u"Strings\\Alerts\\OperationFailed:String=Vorgang fehlgeschlagen", u"Strings\\Errors\\:=",
                   u"Strings\\Errors\\3000:String=File error",
                   u"Strings\\Errors\\3002:String=Error opening a file",
                   u"Strings\\Errors\\6002:String=Error saving the configuration file"});
    const KRegistry empty;
    EXPECT_EQ(ComposeErrorText(&tree, 3002, -1), u"Error opening a file (3002).");
    EXPECT_EQ(ComposeErrorText(&tree, 3099, -1), u"File error (3099).");
    EXPECT_EQ(ComposeErrorText(&tree, 7000, -1), u"Vorgang fehlgeschlagen (7000).");
    EXPECT_EQ(ComposeErrorText(&tree, 3002, 0), u"Error opening a file (3002,0).");
    EXPECT_EQ(ComposeErrorText(&tree, 6002, -5), u"Error saving the configuration file (6002).");
    EXPECT_EQ(ComposeErrorText(&tree, -3, -1), u"Vorgang fehlgeschlagen (-3).");
    EXPECT_EQ(ComposeErrorText(nullptr, 3002, 13), u"Operation failed (3002,13).");
    EXPECT_EQ(ComposeErrorText(&empty, 1001, -1), u"Operation failed (1001).");
    EXPECT_EQ(tree.FindGroup(u"Strings\\Errors\\")->ChildCount(), 3u) << "looking up created a text";
}
