#include "app/TCommandLine.h"

#include <gtest/gtest.h>

#include <utility>

TEST(TCommandLine, SplitsAtBlanksAndTabsAndKeepsQuotedTextWhole) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"", {}},
        {"  a   \t b  ", {"a", "b"}},
        {"\"my file.cfg\" x", {"my file.cfg", "x"}},
        {"\"\" x", {"", "x"}},
        {"\"unterminated quote", {"unterminated quote"}},
        {"\"ab\"cd", {"ab", "cd"}},
        {"ab\"cd", {"ab\"cd"}},  // a quote inside an argument is part of it
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(TCommandLine::Split(line), expected) << line;
}

TEST(TCommandLine, ArgumentZeroIsTheProgramFileAndOptionsAreArgumentsAfterItThatBeginWithThem) {
    EXPECT_EQ(TCommandLine("/opt/kestrun/Kestrun", "one \"two three\"").Arguments(),
              (std::vector<std::string>{"/opt/kestrun/Kestrun", "one", "two three"}));
    const char* argv[] = {"Kestrun", "-noserialport", "with blank"};
    const TCommandLine line("/usr/bin/Kestrun", 3, argv);
    EXPECT_EQ(line.Arguments(),
              (std::vector<std::string>{"/usr/bin/Kestrun", "-noserialport", "with blank"}));
    EXPECT_TRUE(line.HasOption(TCommandLine::kNoSerialPort));
    EXPECT_EQ(TCommandLine("", 1, argv).Arguments()[0], "Kestrun");
    // An option is present when an argument after the first begins with it.
    EXPECT_TRUE(TCommandLine("p", "x -noserialportsplease").HasOption(TCommandLine::kNoSerialPort));
    EXPECT_FALSE(TCommandLine("p", "x-noserialport").HasOption(TCommandLine::kNoSerialPort));
    EXPECT_FALSE(TCommandLine("p", "-noserial").HasOption(TCommandLine::kNoSerialPort));
    // Argument 0 never counts, even when the program file is named like the option.
    EXPECT_FALSE(TCommandLine("-noserialport", "").HasOption(TCommandLine::kNoSerialPort));
}
