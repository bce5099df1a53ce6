#include "script/TSourceScript.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "script/ScriptTestSupport.h"
#include "settings/KRegistry.h"
#include "support/KTempFolder.h"

TEST(TSourceScript, DefinitionsCutTheStreamIntoMessagesOfFields) {
    // What a script shows, its text, the input and the messages delivered in order, separated by " / ".
    const std::string stxCr = ";;M\nheader=\\02,length=1\ntrailer=\\0d,length=1\n";
    const std::string list =
        ";;L\nheader=\\02,length=1\ntrailer=\\03,length=1\ntextfield=E1,stop=;\n"
        "textfield=E2,stop=;\ntextfield=E3,stop=;\ntextfieldrepeat=Place,stop=;\n"
        "textfieldrepeat=Laps,stop=;\n";
    const std::tuple<const char*, std::string, std::string, std::string> cases[] = {
        {"STX, body, CR", stxCr + "textfield=Body,length=2\n", "^AB\r", "M: Body=AB"},
        // What is left after the last field does not stop the delivery.
        {"noise before the header and a header inside another message's body",
         stxCr + "textfield=Body,stop=.\n;;Hash\nheader=##,length=2\nbodylength=2\ntextfield=H,length=2\n",
         "x#^a.##CD.\r", "Hash: H=CD / M: Body=a"},
        {"a header found across a false start",
         ";;A\nheader=AAB,length=3\nbodylength=1\ntextfield=X,length=1\n", "AAAABz", "A: X=z"},
        {"fixed body length takes anything",
         ";;F\nheader=\\02,length=1\nbodylength=10\ntextfield=All,length=10\n", "^\r\n^ghijklmZZ",
         "F: All=\r\n\x02ghijklm"},
        {"an unmatched stop takes the rest, and the trim drops it",
         stxCr + "textfield=A,stop=;\ntextfield=B,stop=;\n", "^one;two\r", "M: A=one"},
        {"capital keywords", ";;C\nHEADER=\\02,LENGTH=1\nTrailer=\\0d,Length=1\nTEXTFIELD=A,STOP=;\n",
         "^x;\r", "C: A=x"},
        {"no fields never delivers",
         ";;Empty\nheader=\\02,length=1\ntrailer=\\0d,length=1\n" + stxCr + "textfield=A,length=1\n", "^q\r",
         "M: A=q"},
        {"process formats",
         stxCr + "textfield=A,length=5,process=%3.3s\ntextfield=B,length=2,process=%-4s|\n"
                 "textfield=C,length=2,process=\\3c%s\\3e%% %d\n",
         "^abcdeXYpq\r", "M: A=abc B=XY  | C=<pq>% "},
        {"quoted item with a comma", stxCr + "textfield=A,\"stop=,\"\n", "^x,y\r", "M: A=x"},
        {"comments, and an unreadable length keeps the old one",
         "before\n" + stxCr + "a comment\n\ntextfield=A,length=2,length=x\n", "^ab\r", "M: A=ab"},
        {"an overflowing buffer restarts the header search", stxCr + "textfield=A,length=2\n",
         "^" + std::string(40000, '0') + "\r^ab\r", "M: A=ab"},
        {"registers persist across expansions, without H",
         stxCr + "textfield=A,length=1,process=%s\\+0\\O0\\He0\n", "^a\r^b\r", "M: A=a\x01 / M: A=b\x02"},
        {"repeated lines grow and are trimmed", list, "^a;b;c;x;0;x;1;x;2;x;3;$^a;b;c;y;0;y;1;$",
         "L: E1=a E2=b E3=c Place=x Laps=0 Place=x Laps=1 Place=x Laps=2 Place=x Laps=3 / L: E1=a E2=b E3=c "
         "Place=y Laps=0 Place=y Laps=1"},
        {"UTF-16 file with a name kept untrimmed",
         Utf16Bytes(u";;Gate \x00e9 \r\nheader=\x00e9,length=1\r\nbodylength=1\r\ntextfield=A,length=1\r\n"),
         "\xe9z", "Gate \xc3\xa9 : A=z"},
    };
    for (const auto& [name, script, input, messages] : cases) {
        SCOPED_TRACE(name);
        KTempFolder folder;
        WriteBytes(folder / "a.kss", script);
        Receiver receiver;
        ASSERT_TRUE(receiver.script.Load(folder / "a.kss"));
        EXPECT_FALSE(receiver.script.Load(folder / "missing.kss"));  // keeps the definitions
        receiver.Feed(input);
        EXPECT_EQ(receiver.Joined(), messages);
    }
}

TEST(TSourceScript, BufferSizeComesFromTheSettings) {
    KRegistry settings;
    EXPECT_EQ(ReadFieldsBufferSize(settings), 32768u);
    settings.AddTable({u"Sources\\:=", u"Sources\\Fields\\:=", u"Sources\\Fields\\BufferSize:Int=100"});
    EXPECT_EQ(ReadFieldsBufferSize(settings), 100u);
}

TEST(TSourceScript, ReloadingFromWithinADeliveryIsSafeAndTakesEffectAtOnce) {
    KTempFolder folder;
    WriteBytes(folder / "a.kss", ";;A\nheader=\\02,length=1\nbodylength=1\ntextfield=F,length=1\n");
    WriteBytes(folder / "b.kss", ";;B\nheader=\\02,length=1\nbodylength=2\ntextfield=F,length=2\n");
    Receiver receiver;
    receiver.onDelivery = [&] { receiver.script.Load(folder / "b.kss"); };
    ASSERT_TRUE(receiver.script.Load(folder / "a.kss"));
    receiver.Feed("^x^yz");
    EXPECT_EQ(receiver.Joined(), "A: F=x / B: F=yz");
}
