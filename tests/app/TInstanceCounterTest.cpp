#include "app/TInstanceCounter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

#include "support/KTempFolder.h"

TEST(TInstanceCounter, EachCopyCountsOnWhileOthersRunTheCountStartsAgainWhenNoneRunsAndNothingStopsAStart) {
    KTempFolder folder;
    std::vector<std::unique_ptr<TInstanceCounter>> copies;
    for (int expected = 1; expected <= 4; ++expected) {
        copies.push_back(std::make_unique<TInstanceCounter>(folder.Path()));
        EXPECT_TRUE(copies.back()->IsRegistered());
        EXPECT_EQ(copies.back()->Count(), expected);
    }
    EXPECT_EQ(static_cast<int>(std::filesystem::status(folder / "Kestrun.lock").permissions()) & 077, 0)
        << "lock files are the user's only";
    // The count is not decremented at exit: a newcomer after some copies ended still counts on.
    copies.erase(copies.begin() + 1, copies.end());
    EXPECT_EQ(TInstanceCounter(folder.Path()).Count(), 5);
    copies.clear();
    // A newcomer stuck while counting, a damaged count file or an unusable folder never stops a start.
    TInstanceCounter first(folder.Path());
    // Another newcomer that took the guard and never let go.
    const int stuck = ::open((folder.Path() / "Kestrun.guard").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(stuck, LOCK_EX), 0);
    TInstanceCounter second(folder.Path(), "Kestrun", std::chrono::milliseconds(20));
    EXPECT_EQ(second.Count(), 2);
    EXPECT_TRUE(second.IsRegistered());
    ::close(stuck);
    std::ofstream(folder / "Kestrun.lock", std::ios::trunc) << "garbage";
    EXPECT_EQ(TInstanceCounter(folder.Path()).Count(), 2);
    std::ofstream(folder / "Kestrun.lock", std::ios::trunc) << "99999999999999999999";
    EXPECT_EQ(TInstanceCounter(folder.Path()).Count(), 2147483647);
    TInstanceCounter nowhere("/nonexistent/kestrun/folder");
    EXPECT_EQ(nowhere.Count(), 1);
    EXPECT_FALSE(nowhere.IsRegistered());
}

TEST(TInstanceCounter, CopiesStartedAtOnceEachCountDifferentlyAndKilledOnesLeaveNoFalseCount) {
    KTempFolder folder;
    // Copies of this test program that register, write their count as one byte to `ready` and
    // wait to be killed (see AppTestMain.cpp). Only exec runs after fork; a copy that fails
    // ends the reading early rather than holding it up.
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string where = folder.Path().string();
    char* argv[] = {self.data(), const_cast<char*>("--hold-instance"), where.data(), nullptr};
    int ready[2];
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < 6; ++i) {
        children.push_back(::fork());
        if (children.back() == 0) {
            ::dup2(ready[1], STDOUT_FILENO);
            ::execv(argv[0], argv);
            ::_exit(127);
        }
    }
    ::close(ready[1]);
    std::string counts(6, '\0');
    FILE* in = ::fdopen(ready[0], "r");
    EXPECT_EQ(std::fread(counts.data(), 1, counts.size(), in), counts.size());
    std::fclose(in);
    EXPECT_EQ(TInstanceCounter(folder.Path()).Count(), 7);  // while they run
    for (const pid_t child : children)
        if (child > 0) ::kill(child, SIGKILL), ::waitpid(child, nullptr, 0);
    std::sort(counts.begin(), counts.end());
    EXPECT_EQ(counts, "\1\2\3\4\5\6");
    EXPECT_EQ(TInstanceCounter(folder.Path()).Count(), 1);
}
