#include "foundation/KBinaryData.h"

#include <gtest/gtest.h>

#include "support/KTempFolder.h"

// The event file's encoding: little-endian words, UTF-16 texts after their length, 48-bit ticks.
TEST(KBinaryData, LittleEndianWordsTextsAndTicksKeepTheirValue) {
    const int64_t ticks[] = {-2, (int64_t{1} << 47) - 1, -(int64_t{1} << 47), 6912000000};
    KBinaryWriter out;
    out.WriteWord(0x20007);
    out.WriteText(u"A\u00E9");
    for (int64_t value : ticks) out.WriteTicks(value);
    EXPECT_EQ(std::vector<uint8_t>(out.Bytes().begin(), out.Bytes().begin() + 18),
              (std::vector<uint8_t>{0x07, 0x00, 0x02, 0x00, 2, 0, 0, 0, 'A', 0, 0xE9, 0, 0xFE, 0xFF, 0xFF,
                                    0xFF, 0xFF, 0xFF}));
    KBinaryReader in(out.Bytes());
    EXPECT_EQ(in.ReadWord(), 0x20007u);
    EXPECT_EQ(in.ReadText(), u"A\u00E9");
    for (int64_t value : ticks) EXPECT_EQ(in.ReadTicks(), value);
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(CaughtError([&] { in.ReadWord(); }).first, 3010);
}
