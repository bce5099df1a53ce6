#include "foundation/KLog.h"

#include <gtest/gtest.h>

#include <clocale>
#include <ctime>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "TempFolder.h"
#include "foundation/KError.h"

namespace {

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "the file ends in the middle of a line";
    return lines;
}

class KLogTest : public ::testing::Test {
protected:
    void SetUp() override { std::setlocale(LC_TIME, "C"); }
    TempFolder m_folder;
};

}  // namespace

TEST_F(KLogTest, LinesCarryCategoryDateTimeAndText) {
    struct Case {
        KLogCategory category;
        const char* prefix;
    };
    const Case cases[] = {{KLogCategory::Main, "M: "},
                          {KLogCategory::Error, "E: "},
                          {KLogCategory::Warning, "W: "},
                          {KLogCategory::None, ""}};
    KLog log(m_folder.Path());
    for (const auto& c : cases) log.Write(u"Kestrun Application Start", c.category);
    log.LogMain(u"main");
    log.LogError(u"error");
    log.LogWarning(u"Z\u00FCrich \u20AC");

    const std::vector<std::string> lines = SplitCrLf(ReadBytes(m_folder / "Kestrun.log"));
    ASSERT_EQ(lines.size(), 7u);
    // The C locale's %x and %X: 12/06/26 08:57:49.
    const std::string stamp = R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d: )";
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(std::regex_match(
            lines[i], std::regex(std::string(cases[i].prefix) + stamp + "Kestrun Application Start")))
            << lines[i];
    }
    EXPECT_TRUE(std::regex_match(lines[4], std::regex("M: " + stamp + "main"))) << lines[4];
    EXPECT_TRUE(std::regex_match(lines[5], std::regex("E: " + stamp + "error"))) << lines[5];
    // One byte per character; what Latin-1 cannot hold becomes '?'.
    EXPECT_EQ(lines[6].substr(lines[6].size() - 8), "Z\xFCrich ?");
}

TEST_F(KLogTest, DateAndTimeAreTheLocalTimeOfWriting) {
    KLog log(m_folder.Path());
    const std::time_t before = std::time(nullptr);
    log.LogMain(u"x");
    const std::time_t after = std::time(nullptr);
    const std::string line = SplitCrLf(ReadBytes(m_folder / "Kestrun.log")).at(0);
    bool matched = false;
    for (std::time_t t = before; t <= after; ++t) {
        std::tm local{};
        localtime_r(&t, &local);
        char stamp[64];
        std::strftime(stamp, sizeof stamp, "M: %x %X: x", &local);
        matched = matched || line == stamp;
    }
    EXPECT_TRUE(matched) << line;
}

TEST_F(KLogTest, OpeningAppendsAndResetEmptiesTheFile) {
    std::filesystem::path folder = m_folder / "Velmar" / "Kestrun";
    {
        KLog log(folder);  // creates the folders
        log.LogMain(u"first run");
    }
    {
        KLog log(folder);
        log.LogMain(u"appended");
        EXPECT_EQ(SplitCrLf(ReadBytes(folder / "Kestrun.log")).size(), 2u);
        log.Reset();
        EXPECT_EQ(ReadBytes(folder / "Kestrun.log"), "");
        log.LogMain(u"second run");
    }
    const std::vector<std::string> lines = SplitCrLf(ReadBytes(folder / "Kestrun.log"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("second run"), std::string::npos);
    EXPECT_EQ(lines[0].rfind("M: ", 0), 0u);  // no hole of zero bytes before the line
}

TEST_F(KLogTest, ClosedLogWritesNothing) {
    KLog log(m_folder.Path());
    log.LogMain(u"kept");
    log.Close();
    EXPECT_FALSE(log.IsOpen());
    log.LogError(u"dropped");
    log.Reset();
    EXPECT_EQ(SplitCrLf(ReadBytes(m_folder / "Kestrun.log")).size(), 1u);
}

TEST_F(KLogTest, UncreatableFolderRaisesOpenError) {
    WriteBytes(m_folder / "file", "x");
    try {
        KLog log(m_folder / "file" / "sub");
        FAIL() << "opened a log inside a file";
    } catch (const KError& e) {
        EXPECT_EQ(e.Code(), KErrorCode::kFileOpen);
    }
}

TEST_F(KLogTest, LinesFromConcurrentWritersStayWholeAndNoneIsLost) {
    constexpr int kThreads = 4;
    constexpr int kLines = 500;
    KLog log(m_folder.Path());
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&log, t] {
            for (int i = 0; i < kLines; ++i) {
                // Long enough that a torn write would show.
                const std::string text = "thread " + std::to_string(t) + " line " + std::to_string(i) + " " +
                                         std::string(200, static_cast<char>('a' + t));
                log.Write(FromLatin1(text), t % 2 ? KLogCategory::Main : KLogCategory::Warning);
            }
        });
    }
    for (auto& writer : writers) writer.join();

    const std::vector<std::string> lines = SplitCrLf(ReadBytes(m_folder / "Kestrun.log"));
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
    const std::regex whole(R"([MW]: \d\d/\d\d/\d\d \d\d:\d\d:\d\d: thread (\d) line (\d+) ([a-d]{200}))");
    std::vector<int> next(kThreads, 0);
    for (const auto& line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, whole)) << line;
        const int thread = std::stoi(match[1]);
        EXPECT_EQ(match[3].str(), std::string(200, static_cast<char>('a' + thread)));
        // Each writer's lines keep their order.
        EXPECT_EQ(std::stoi(match[2]), next[thread]++);
    }
}
