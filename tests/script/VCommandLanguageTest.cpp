#include "script/VCommandLanguage.h"

#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <map>
#include <tuple>

#include "script/ScriptTestSupport.h"

namespace {

struct Case {
    const char* name;
    KStringView text;
    KString expected;
    std::map<int, int32_t> registers = {};  // before the expansion
    std::map<int, int32_t> after = {};      // registers checked after it
    bool completes = true;                  // false: an H command stopped it
};

void Check(std::initializer_list<Case> cases, VCommandDialect dialect = VCommandDialect::Scoreboard) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VRegisters registers{};
        for (const auto& [index, value] : c.registers) registers[static_cast<size_t>(index)] = value;
        KString out = u"old";
        EXPECT_EQ(ExpandCommands(c.text, out, registers, dialect), c.completes);
        EXPECT_EQ(out, c.expected);
        for (const auto& [index, value] : c.after)
            EXPECT_EQ(registers[static_cast<size_t>(index)], value) << "R" << index;
    }
}

}  // namespace

TEST(VCommandLanguage, EscapesAndCursorCommandsEditTheOutputText) {
    const KString full = u"A" + KString(10 + kMaxExpansionGrowth, u' ');
    Check({
        {"lower-case escapes", uR"(\0d\0aX\1b\ff)", Chars({13, 10, 'X', 27, 255})},
        {"upper-case hex is a command without number", uR"(\0D)", u"D"},
        {"backslash at the end", uR"(AB\)", u"AB"},
        {"insert leaves the cursor in front", uR"(ABC\L2\I1x)", u"Ax BC"},
        {"backspace 0 deletes all before", uR"(ABC\B0)", u""},
        {"backspace with X keeps X characters", uR"(ABCDEFG\X4\B0)", u"ABCD"},
        {"backspace by register", uR"(ABCDE\U1\B9)", u"ABC", {{1, 2}}},
        {"delete forward", uR"(ABCDE\L3\D2)", u"ABE"},
        {"delete 0 deletes all after", uR"(ABCDE\L3\D0)", u"AB"},
        {"left clips at the start", uR"(ABC\L9x)", u"xABC"},
        {"right 0 goes to the end", uR"(ABC\L0\R0x)", u"ABCx"},
        {"right by one", uR"(ABC\L0\R1x)", u"AxBC"},
        {"pad to X characters", uR"(AB\X8\I0)", u"AB      "},
        {"pad of a longer text adds nothing", uR"(ABCDEFGHIJ\X8\I0)", u"ABCDEFGHIJ"},
        {"fill character from X", uR"(AB\X\2a\Ic3)", u"AB***"},
        {"no number token keeps X", uR"(\X3\Lzz\+1)", u"z", {}, {{1, 3}}},
        {"unknown command resets X", uR"(\X3\Q1\+1)", u"", {}, {{1, 1}}},
        // Once full, further characters are dropped and the cursor stays inside the text.
        {"insertions stop at the growth limit", uR"(AB\U1\I0x\B1)", full, {{1, INT32_MAX}}},
    });
}

TEST(VCommandLanguage, OperatorsActOnRegistersWithUXOrOne) {
    Check({
        {"set from X", uR"(\X5\=1)", u"", {}, {{1, 5}}},
        {"X applies only to the next command", uR"(\X2\+1\+1)", u"", {}, {{1, 3}}},
        {"operand from register U", uR"(\U2\-1)", u"", {{1, 10}, {2, 3}}, {{1, 7}}},
        {"indirect X", uR"(\Xi2\=1)", u"", {{2, 9}}, {{1, 9}}},
        {"indirect U", uR"(\Ui4\*1)", u"", {{1, 5}, {4, 2}, {2, 7}}, {{1, 35}}},
        {"remainder truncates", uR"(\X3\#1)", u"", {{1, -7}}, {{1, -1}}},
        {"division truncates", uR"(\X2\/1)", u"", {{1, -7}}, {{1, -3}}},
        {"division by zero", uR"(\X0\/1)", u"", {{1, 9}}, {{1, 0}}},
        {"overflowing division wraps", uR"(\U2\/1)", u"", {{1, INT32_MIN}, {2, -1}}, {{1, INT32_MIN}}},
        {"shift count uses 5 bits", uR"(\X\21\<1)", u"", {{1, 1}}, {{1, 2}}},
        {"arithmetic shift right", uR"(\X1\>1)", u"", {{1, -4}}, {{1, -2}}},
        {"and or xor", uR"(\X6\&1\X6\|2\X6\^3)", u"", {{1, 5}, {2, 5}, {3, 5}}, {{1, 4}, {2, 7}, {3, 3}}},
        {"not and logical not", uR"(\~1\!2\!3)", u"", {{2, 5}}, {{1, -1}, {2, 0}, {3, 1}}},
        {"multiply wraps", uR"(\X2\*1)", u"", {{1, INT32_MAX}}, {{1, -2}}},
        {"R10 and up read 0, write nowhere", uR"(\X5\=\ff\X2\U1\O\0a)", Chars({0, 0}), {}, {{0, 0}, {9, 0}}},
        {"U outside 0..9 is not a register", uR"(\U\0a\=2)", u"", {}, {{2, 1}}},
    });
}

TEST(VCommandLanguage, NumbersAreWrittenAndScannedInEveryForm) {
    // A binary character keeps 16 bits of the shifted value; a single-byte port sends its low byte.
    Check({
        {"3 bytes, high first", uR"(\X3\U1\O5)", Chars({0x01, 0x0102, 0x010203 & 0xFFFF}), {{5, 0x010203}}},
        {"two bytes least significant first", uR"(\X2\O5)", Chars({0x1234, 0x12}), {{5, 0x1234}}},
        {"width 1 by default", uR"(\O5)", u"A", {{5, 0x41}}},
        {"binary keeps 16 bits", uR"(\X1\U1\O5)", Chars({0xFFFF}), {{5, -1}}},
        {"wide binary repeats the sign", uR"(\X6\O5)", Chars({0xFFFE}) + KString(5, 0xFFFF), {{5, -2}}},
        {"zero-filled negative", uR"(\X4\U3\O5)", u"-005", {{5, -5}}},
        {"right-justified", uR"(\X4\U2\O5)", u"  42", {{5, 42}}},
        {"left-justified", uR"(\X4\U4\O5)", u"42  ", {{5, 42}}},
        {"minus wins over zero", uR"(\X4\U5\O5)", u"42  ", {{5, 42}}},
        {"only the first n characters", uR"(\U2\O5)", u"4", {{5, 42}}},
        {"output moves the cursor", uR"(AB\L1\X2\U3\O5)", u"A07B", {{5, 7}}},
        {"scan least significant first", uR"(AB\L0\X2\U1\S3)", u"AB", {}, {{3, 0x4241}}},
        {"scan most significant first", uR"(AB\L0\X2\U2\S3)", u"AB", {}, {{3, 0x4142}}},
        {"scan decimal", uR"( -123x\L0\X5\S3)", u" -123x", {}, {{3, -123}}},
        {"scan without digits keeps the register", uR"(xy\L0\X2\S3)", u"xy", {{3, 9}}, {{3, 9}}},
        {"seven-segment codes", uR"(1A9\L0\P2)", Chars({0x79, 0xFF, 0x18})},
        {"reverse X characters", uR"(ABCD\L0\X3\P7)", u"CBAD"},
        {"digit codes with R1", uR"(1A\L0\P1)", Chars({32 | 14, 48}), {{1, 2}}, {{1, 4}}},
    });
}

TEST(VCommandLanguage, ChecksumsMatchTheirPublishedCheckValues) {
    // Each over "123456789" after the cursor; the check values are the catalogue's.
    const KString digits = u"123456789";
    const int32_t crc32 = static_cast<int32_t>(0xEDB88320u), crc32Check = static_cast<int32_t>(0xCBF43926u);
    Check({
        {"xor", uR"(123456789\L0\U1\F5)", digits, {}, {{5, 0x31}}},
        {"sum", uR"(123456789\L0\U2\F5)", digits, {}, {{5, 0x1DD}}},
        {"CRC-16/MODBUS", uR"(123456789\L0\U3\F5)", digits, {{5, 0xFFFF}, {6, 0xA001}}, {{5, 0x4B37}}},
        {"CRC-32, inverted", uR"(123456789\L0\U4\F5\~5)", digits, {{5, -1}, {6, crc32}}, {{5, crc32Check}}},
        {"XMODEM over X characters", uR"(12345678999\L0\X9\F5)", u"12345678999", {{5, 77}}, {{5, 0x31C3}}},
        {"only the low byte counts", uR"(\X1\U1\O6\L1\U1\F5)", Chars({0x131}), {{6, 0x131}}, {{5, 0x31}}},
        // The XMODEM CRC of DATA is 0x146E (Python's binascii.crc_hqx agrees).
        {"CRC framing", uR"(\02DATA\L4\F5\R0\X2\O5)", Chars({2}) + u"DATA" + Chars({0x146E, 0x14})},
    });
}

TEST(VCommandLanguage, StopTestEndsTheLineOnlyInScoreboardScripts) {
    Check({
        {"equal with nothing set", uR"(AB\He3CD)", u"AB", {}, {}, false},
        {"not equal to X", uR"(AB\X1\He3CD)", u"ABCD"},
        {"not equal", uR"(AB\X1\Hn3CD)", u"AB", {}, {}, false},
        {"greater", uR"(AB\X1\Hg3CD)", u"AB", {{3, 2}}, {}, false},
        {"greater or equal", uR"(AB\U4\Hh3CD)", u"AB", {{3, 2}, {4, 2}}, {}, false},
        {"less", uR"(AB\X1\Hl3CD)", u"AB", {}, {}, false},
        {"less or equal is false", uR"(AB\Hm3CD)", u"ABCD", {{3, 1}}},
        {"no modifier does nothing", uR"(AB\H3CD)", u"ABCD"},
    });

    // Source scripts: no H and no "!", which are read and do nothing.
    Check({{"source H", uR"(AB\He3CD\!1)", u"ABCD", {{1, 5}}, {{1, 5}}}}, VCommandDialect::Source);
}

TEST(VCommandLanguage, NumberTokensAreOneDigitOrThreeCharacters) {
    // The text, the number read and where reading ended.
    const std::tuple<KStringView, std::optional<int>, size_t> tokens[] = {
        {u"7x", 7, 1},     {uR"(\1f)", 31, 3}, {uR"(\1F)", 31, 3},      {uR"(\zz)", -1, 3},
        {uR"(\1z)", 1, 3}, {uR"(\1)", 1, 2},   {u"x", std::nullopt, 0}, {u"", std::nullopt, 0},
    };
    for (const auto& [text, value, end] : tokens) {
        size_t pos = 0;
        EXPECT_EQ(ReadNumberToken(text, pos), value) << ToUtf8(text);
        EXPECT_EQ(pos, end) << ToUtf8(text);
    }
}
