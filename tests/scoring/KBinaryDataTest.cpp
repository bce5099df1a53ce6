#include "foundation/KBinaryData.h"

#include <gtest/gtest.h>

#include "foundation/KError.h"

TEST(KBinaryData, LittleEndianWordsTextsAndTicks) {
    KBinaryWriter out;
    out.WriteWord(0x20007);
    out.WriteText(u"A\u00E9");
    out.WriteTicks(-2);
    EXPECT_EQ(out.Bytes(), (std::vector<uint8_t>{0x07, 0x00, 0x02, 0x00, 2, 0, 0, 0, 'A', 0, 0xE9, 0, 0xFE,
                                                 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    KBinaryReader in(out.Bytes());
    EXPECT_EQ(in.ReadWord(), 0x20007u);
    EXPECT_EQ(in.ReadText(), u"A\u00E9");
    EXPECT_EQ(in.ReadTicks(), -2);
    EXPECT_TRUE(in.AtEnd());
}

TEST(KBinaryData, TicksKeep48BitsWithSign) {
    for (int64_t value : {int64_t{0}, (int64_t{1} << 47) - 1, -(int64_t{1} << 47), int64_t{6912000000}}) {
        KBinaryWriter out;
        out.WriteTicks(value);
        KBinaryReader in(out.Bytes());
        EXPECT_EQ(in.ReadTicks(), value);
    }
}

TEST(KBinaryData, ReadsPastTheEndThrowWithoutAllocating) {
    KBinaryWriter out;
    out.WriteWord(0xFFFFFFFF);  // a text length far beyond the data
    out.WriteWord(0);
    for (int read = 0; read < 4; ++read) {
        KBinaryReader in(out.Bytes());
        try {
            switch (read) {
                case 0:
                    in.ReadText();
                    break;
                case 1:
                    in.ReadBytes(9);
                    break;
                case 2:
                    in.Skip(4), in.ReadTicks();
                    break;
                default:
                    in.Skip(8), in.ReadWord();
            }
            FAIL() << read;
        } catch (const KError& e) {
            EXPECT_EQ(e.Code(), 3010);
        }
    }
}
