#include "foundation/KFindFile.h"

#include <gtest/gtest.h>

#include "support/KTempFolder.h"

TEST(KFindFile, ExactNameWinsThenFirstCaseInsensitiveMatchInSortedOrderAndNothingFoundIsEmpty) {
    KTempFolder folder;
    WriteBytes(folder / "gatemark.kss", "a");
    EXPECT_EQ(KFindFile(folder.Path(), u"Gatemark.kss"), folder / "gatemark.kss");
    WriteBytes(folder / "GATEMARK.kss", "b");
    EXPECT_EQ(KFindFile(folder.Path(), u"Gatemark.kss"), folder / "GATEMARK.kss");  // 'G' sorts before 'g'
    WriteBytes(folder / "Gatemark.kss", "c");
    EXPECT_EQ(KFindFile(folder.Path(), u"Gatemark.kss"), folder / "Gatemark.kss");

    std::filesystem::create_directories(folder / "Sub.kss");
    EXPECT_TRUE(KFindFile(folder.Path(), u"sub.kss").empty());  // folders are not files
    EXPECT_TRUE(KFindFile(folder.Path(), u"missing.kss").empty());
    EXPECT_TRUE(KFindFile(folder / "nowhere", u"gatemark.kss").empty());
    EXPECT_TRUE(
        KFindFile(folder.Path(), u"../" + FromPath(folder.Path().filename()) + u"/gatemark.kss").empty());
    EXPECT_TRUE(KFindFile(folder.Path(), u"").empty());
}
