// The save-then-rename guarantee of both whole-file writers: the bytes of KAtomicFile and the
// text of KTextWriter, which is built on it.

#include "foundation/KAtomicFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "foundation/KTextFile.h"
#include "support/KTempFolder.h"

namespace {

using Save = void (*)(const std::filesystem::path&, const std::string& bytes, bool commit);

void SaveBytes(const std::filesystem::path& path, const std::string& bytes, bool commit) {
    KAtomicFile file(path);
    try {
        file.Write(bytes.data(), bytes.size());
    } catch (const KError&) {
        EXPECT_THROW(file.Commit(), KError) << "a failed write must never be committed";
        throw;
    }
    if (commit) file.Commit();
}

void SaveText(const std::filesystem::path& path, const std::string& bytes, bool commit) {
    KTextWriter writer(path, KCharMode::SingleByte);
    writer.Write(FromLatin1(bytes));
    if (commit) writer.Commit();
}

class SaveThenRename : public ::testing::TestWithParam<Save> {
protected:
    const Save save = GetParam();
    KTempFolder folder;
};

INSTANTIATE_TEST_SUITE_P(BytesAndText, SaveThenRename, ::testing::Values(SaveBytes, SaveText));

}  // namespace

TEST_P(SaveThenRename, CommitReplacesTheTargetExactlyAndKeepsItsPermissions) {
    const std::string bytes("\0\x01\xFFztail", 8);
    WriteBytes(folder / "data.bin", "old");
    const auto permissions = std::filesystem::perms(0640);
    std::filesystem::permissions(folder / "data.bin", permissions);
    save(folder / "data.bin", bytes, true);
    EXPECT_EQ(ReadBytes(folder / "data.bin"), bytes);
    EXPECT_EQ(CountEntries(folder.Path()), 1u);
    EXPECT_EQ(std::filesystem::status(folder / "data.bin").permissions(), permissions);
    save(folder / "a" / "b" / "new.bin", "x", true);  // missing folders are created
    EXPECT_EQ(ReadBytes(folder / "a" / "b" / "new.bin"), "x");
}

TEST_P(SaveThenRename, AbandonedOrFailedSaveOrAFolderInTheWayKeepsWhatWasThereAndLeavesNoTemporary) {
    WriteBytes(folder / "data.bin", "old");
    save(folder / "data.bin", std::string(10000, 'n'), false);
    EXPECT_EQ(ReadBytes(folder / "data.bin"), "old");
    EXPECT_EQ(CountEntries(folder.Path()), 1u);

    // The size limit makes writing fail the way a full disk does, even for root.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto error = CaughtError([&] { save(folder / "data.bin", std::string(10000, 'n'), true); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(error, std::make_pair(KErrorCode::kFileWrite, EFBIG));
    EXPECT_EQ(ReadBytes(folder / "data.bin"), "old");
    EXPECT_EQ(CountEntries(folder.Path()), 1u);

    WriteBytes(folder / "file", "x");
    EXPECT_EQ(CaughtError([&] { save(folder / "file" / "sub" / "out.txt", "x", true); }).first,
              KErrorCode::kFileOpen);
    std::filesystem::create_directories(folder / "target" / "inside");
    EXPECT_EQ(CaughtError([&] { save(folder / "target", "x", true); }).first, KErrorCode::kFileClose);
    EXPECT_TRUE(std::filesystem::is_directory(folder / "target" / "inside"));
    EXPECT_EQ(CountEntries(folder.Path()), 3u);
}
