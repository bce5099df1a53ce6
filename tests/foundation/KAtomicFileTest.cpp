#include "foundation/KAtomicFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include "TempFolder.h"
#include "foundation/KError.h"

TEST(KAtomicFile, CommitReplacesTheTargetWithExactlyTheBytesWritten) {
    TempFolder folder;
    WriteBytes(folder / "data.bin", "old");
    ::chmod((folder / "data.bin").c_str(), 0640);
    {
        KAtomicFile file(folder / "data.bin");
        const char bytes[] = {'\0', '\x01', '\xFF', 'z'};
        file.Write(bytes, sizeof bytes);
        file.Write("tail", 4);
        EXPECT_EQ(ReadBytes(folder / "data.bin"), "old");  // nothing visible before Commit
        file.Commit();
    }
    EXPECT_EQ(ReadBytes(folder / "data.bin"), std::string("\0\x01\xFFztail", 8));
    EXPECT_EQ(CountEntries(folder.Path()), 1u);
    struct stat info {};
    ASSERT_EQ(::stat((folder / "data.bin").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);  // the replacement keeps the old permissions
}

TEST(KAtomicFile, CreatesMissingFoldersAndNewFiles) {
    TempFolder folder;
    KAtomicFile file(folder / "a" / "b" / "new.bin");
    file.Write("x", 1);
    file.Commit();
    EXPECT_EQ(ReadBytes(folder / "a" / "b" / "new.bin"), "x");
}

TEST(KAtomicFile, AbandonedFileLeavesTargetAndFolderAsTheyWere) {
    TempFolder folder;
    WriteBytes(folder / "data.bin", "old");
    {
        KAtomicFile file(folder / "data.bin");
        file.Write("new", 3);
    }
    EXPECT_EQ(ReadBytes(folder / "data.bin"), "old");
    EXPECT_EQ(CountEntries(folder.Path()), 1u);
}

TEST(KAtomicFile, FailedWriteKeepsTheOldFileAndRefusesCommit) {
    TempFolder folder;
    WriteBytes(folder / "data.bin", "old");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    KAtomicFile file(folder / "data.bin");
    int code = 0;
    int subcode = 0;
    try {
        file.Write(std::string(100, 'n').data(), 100);
    } catch (const KError& e) {
        code = e.Code();
        subcode = e.Subcode();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(code, KErrorCode::kFileWrite);
    EXPECT_EQ(subcode, EFBIG);
    EXPECT_THROW(file.Commit(), KError);
    EXPECT_EQ(ReadBytes(folder / "data.bin"), "old");
    EXPECT_EQ(CountEntries(folder.Path()), 1u);
}

TEST(KAtomicFile, MovedFileCommitsOnce) {
    TempFolder folder;
    KAtomicFile first(folder / "data.bin");
    first.Write("abc", 3);
    KAtomicFile second(std::move(first));
    second.Commit();
    EXPECT_EQ(ReadBytes(folder / "data.bin"), "abc");
    EXPECT_EQ(CountEntries(folder.Path()), 1u);
}
