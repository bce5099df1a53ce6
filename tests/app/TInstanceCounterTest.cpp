#include "app/TInstanceCounter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <vector>

#include "support/KTempFolder.h"

TEST(TInstanceCounter, EachCopyStartedWhileOthersRunCountsOnAndTheCountStartsAgainWhenNoneRuns) {
    KTempFolder folder;
    std::vector<std::unique_ptr<TInstanceCounter>> copies;
    for (int expected = 1; expected <= 4; ++expected) {
        copies.push_back(std::make_unique<TInstanceCounter>(folder.Path()));
        EXPECT_TRUE(copies.back()->IsRegistered());
        EXPECT_EQ(copies.back()->Count(), expected);
    }
    struct stat info {};
    ASSERT_EQ(::stat((folder / "Kestrun.lock").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u) << "lock files are the user's only";
    // The count is not decremented at exit: a newcomer after some copies ended still counts on.
    copies.erase(copies.begin() + 1, copies.end());
    EXPECT_EQ(TInstanceCounter(folder.Path()).Count(), 5);
    copies.clear();
    EXPECT_EQ(TInstanceCounter(folder.Path()).Count(), 1);
}

namespace {

// Starts this test program again as a copy that registers and waits to be killed (see
// AppTestMain.cpp); its count arrives as one byte on `output`. Only exec runs after fork.
pid_t StartHoldingCopy(const std::filesystem::path& folder, int output) {
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string option = "--hold-instance";
    std::string where = folder.string();
    char* argv[] = {self.data(), option.data(), where.data(), nullptr};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(output, STDOUT_FILENO);
        ::execv(argv[0], argv);
        ::_exit(127);
    }
    return child;
}

}  // namespace

TEST(TInstanceCounter, CopiesStartedAtOnceEachCountDifferentlyAndKilledOnesLeaveNoFalseCount) {
    KTempFolder folder;
    constexpr int kCopies = 6;
    std::vector<pid_t> children;
    std::vector<int> readers;
    for (int i = 0; i < kCopies; ++i) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        children.push_back(StartHoldingCopy(folder.Path(), ready[1]));
        ::close(ready[1]);
        readers.push_back(ready[0]);
    }
    std::vector<int> counts;
    for (const int reader : readers) {
        char byte = 0;
        EXPECT_EQ(::read(reader, &byte, 1), 1);
        counts.push_back(byte);
        ::close(reader);
    }
    EXPECT_EQ(TInstanceCounter(folder.Path()).Count(), kCopies + 1);  // while they run
    for (const pid_t child : children) ::kill(child, SIGKILL), ::waitpid(child, nullptr, 0);
    std::sort(counts.begin(), counts.end());
    EXPECT_EQ(counts, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(TInstanceCounter(folder.Path()).Count(), 1);
}

TEST(TInstanceCounter, DamagedCountFileOrUnusableFolderNeverStopsAStart) {
    KTempFolder folder;
    TInstanceCounter first(folder.Path());
    std::ofstream(folder / "Kestrun.lock", std::ios::trunc) << "garbage";
    EXPECT_EQ(TInstanceCounter(folder.Path()).Count(), 2);
    std::ofstream(folder / "Kestrun.lock", std::ios::trunc) << "99999999999999999999";
    EXPECT_EQ(TInstanceCounter(folder.Path()).Count(), 2147483647);
    TInstanceCounter nowhere("/nonexistent/kestrun/folder");
    EXPECT_EQ(nowhere.Count(), 1);
    EXPECT_FALSE(nowhere.IsRegistered());
}

TEST(TInstanceCounter, NewcomerStuckWhileCountingDoesNotHoldUpTheStart) {
    KTempFolder folder;
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
