#include "app/TInstanceCounter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <vector>

#include "app/TestFolder.h"

TEST(TInstanceCounter, FirstCopyCountsOneAndEachCopyStartedWhileOthersRunCountsOnMore) {
    TestFolder folder;
    std::vector<std::unique_ptr<TInstanceCounter>> copies;
    for (int expected = 1; expected <= 4; ++expected) {
        copies.push_back(std::make_unique<TInstanceCounter>(folder.Path()));
        EXPECT_TRUE(copies.back()->IsRegistered());
        EXPECT_EQ(copies.back()->Count(), expected);
    }
    // The count is not decremented at exit: a newcomer after some copies ended still counts on.
    copies.erase(copies.begin() + 1, copies.end());
    EXPECT_EQ(TInstanceCounter(folder.Path()).Count(), 5);
}

TEST(TInstanceCounter, CountStartsAgainWhenNoCopyRuns) {
    TestFolder folder;
    {
        TInstanceCounter first(folder.Path());
        TInstanceCounter second(folder.Path());
        EXPECT_EQ(second.Count(), 2);
    }
    EXPECT_EQ(TInstanceCounter(folder.Path()).Count(), 1);
}

TEST(TInstanceCounter, CopyThatCrashedLeavesNoFalseCount) {
    TestFolder folder;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    // The other copy is this test program started again (see AppTestMain.cpp), so the child
    // only execs after fork.
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string option = "--hold-instance";
    std::string where = folder.Path().string();
    char* argv[] = {self.data(), option.data(), where.data(), nullptr};
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(ready[1], STDOUT_FILENO);
        ::execv(argv[0], argv);
        ::_exit(127);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 1);
    EXPECT_EQ(TInstanceCounter(folder.Path()).Count(), 2);  // while the child runs

    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(TInstanceCounter(folder.Path()).Count(), 1);
}

TEST(TInstanceCounter, DamagedCountFileStillCountsASecondCopy) {
    TestFolder folder;
    TInstanceCounter first(folder.Path());
    std::ofstream(folder.Path() / "Kestrun.lock", std::ios::trunc) << "garbage";
    EXPECT_EQ(TInstanceCounter(folder.Path()).Count(), 2);
    std::ofstream(folder.Path() / "Kestrun.lock", std::ios::trunc) << "99999999999999999999";
    EXPECT_EQ(TInstanceCounter(folder.Path()).Count(), 2147483647);
}

TEST(TInstanceCounter, UnusableFolderCountsOneAndHoldsNothing) {
    TInstanceCounter copy("/nonexistent/kestrun/folder");
    EXPECT_EQ(copy.Count(), 1);
    EXPECT_FALSE(copy.IsRegistered());
}

TEST(TInstanceCounter, LockFilesAreTheUsersOnly) {
    TestFolder folder;
    TInstanceCounter copy(folder.Path());
    struct stat info {};
    ASSERT_EQ(::stat((folder.Path() / "Kestrun.lock").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u);
}

TEST(TInstanceCounter, NewcomerStuckWhileCountingDoesNotHoldUpTheStart) {
    TestFolder folder;
    TInstanceCounter first(folder.Path());
    // Another newcomer that took the guard and never let go.
    const int stuck = ::open((folder.Path() / "Kestrun.guard").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(stuck, 0);
    ASSERT_EQ(::flock(stuck, LOCK_EX), 0);
    TInstanceCounter second(folder.Path(), "Kestrun", std::chrono::milliseconds(20));
    EXPECT_EQ(second.Count(), 2);
    EXPECT_TRUE(second.IsRegistered());
    ::close(stuck);
}
