#include "app/TCommandLine.h"

#include <gtest/gtest.h>

TEST(TCommandLine, SplitsAtBlanksAndTabsAndKeepsQuotedTextWhole) {
    struct Case {
        const char* line;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"", {}},
        {"  a   \t b  ", {"a", "b"}},
        {"\"my file.cfg\" x", {"my file.cfg", "x"}},
        {"\"\" x", {"", "x"}},
        {"\"unterminated quote", {"unterminated quote"}},
        {"\"ab\"cd", {"ab", "cd"}},
        {"ab\"cd", {"ab\"cd"}},  // a quote inside an argument is part of it
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TCommandLine::Split(c.line), c.expected) << c.line;
    }
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
