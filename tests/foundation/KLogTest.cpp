#include "foundation/KLog.h"

#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <thread>
#include <vector>

#include "support/KTempFolder.h"

namespace {

/// The lines of the log with the "<date> <time>: " of a moment from `start` until now, in the
/// user's formats, replaced by "<stamp>".
std::vector<KString> UnstampedLines(const std::filesystem::path& path, std::time_t start) {
    std::vector<KString> lines = FileLines(path);
    for (KString& line : lines) {
        for (std::time_t t = start; t <= std::time(nullptr); ++t) {
            std::tm local{};
            localtime_r(&t, &local);
            char stamp[64];
            const size_t length = std::strftime(stamp, sizeof stamp, "%x %X: ", &local);
            if (const size_t at = line.find(FromLatin1(stamp)); at != KString::npos)
                line.replace(at, length, u"<stamp>");
        }
    }
    return lines;
}

}  // namespace

TEST(KLog, LinesAreCategoryLocalStampAndLatin1TextAppendedUntilResetAndNoneAfterClose) {
    KTempFolder folder;
    const std::time_t start = std::time(nullptr);
    KLog log(folder.Path());
    log.Write(u"Kestrun Application Start", KLogCategory::None);
    log.LogMain(u"main");
    log.LogError(u"error");
    log.LogWarning(u"Z\u00FCrich \u20AC");  // what Latin-1 cannot hold becomes '?'
    EXPECT_TRUE(ReadBytes(log.Path()).ends_with("\r\n"));
    // The stamp goes after the category letter, if any.
    EXPECT_EQ(UnstampedLines(log.Path(), start),
              (std::vector<KString>{u"<stamp>Kestrun Application Start", u"M: <stamp>main",
                                    u"E: <stamp>error", u"W: <stamp>Z\u00FCrich ?"}));

    const std::filesystem::path data = folder / "Velmar" / "Kestrun";
    KLog(data).LogMain(u"first run");  // creates the folders
    KLog next(data);
    next.LogMain(u"appended");
    EXPECT_EQ(FileLines(next.Path()).size(), 2u);
    next.Reset();
    next.LogMain(u"second run");
    next.Close();
    next.LogError(u"dropped");
    next.Reset();
    // No hole of zero bytes before the line.
    EXPECT_EQ(UnstampedLines(data / "Kestrun.log", start), std::vector<KString>{u"M: <stamp>second run"});

    WriteBytes(folder / "file", "x");
    EXPECT_EQ(CaughtError([&] { KLog inside(folder / "file" / "sub"); }).first, KErrorCode::kFileOpen);
}

TEST(KLog, LinesFromConcurrentWritersStayWholeAndNoneIsLost) {
    constexpr int kThreads = 4;
    constexpr int kLines = 500;
    KTempFolder folder;
    KLog log(folder.Path());
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&log, t] {
            for (int i = 0; i < kLines; ++i) {
                // Long enough that a torn write would show.
                const std::string text =
                    std::string(200, static_cast<char>('a' + t)) + ' ' + std::to_string(i);
                log.Write(FromLatin1(text), t % 2 ? KLogCategory::Main : KLogCategory::Warning);
            }
        });
    }
    for (auto& writer : writers) writer.join();

    const std::vector<KString> lines = FileLines(log.Path());
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
    const std::regex whole(R"([MW]: .+: ([a-d])\1{199} (\d+))");
    std::vector<int> next(kThreads, 0);
    for (const auto& line : lines) {
        std::smatch match;
        const std::string text = ToUtf8(line);
        ASSERT_TRUE(std::regex_match(text, match, whole)) << text;
        const int thread = match[1].str()[0] - 'a';
        EXPECT_EQ(std::stoi(match[2]), next[thread]++) << "each writer's lines keep their order";
    }
}
