#include "script/TSourceScript.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/KRegistry.h"
#include "support/KTempFolder.h"

namespace {

// Each delivered message as "definition: name=value name=value?" (? marks a field that did not match).
class Receiver {
public:
    explicit Receiver(size_t capacity = 32768)
        : script(registers, capacity, [this](const TMessageDefinition& d) { Record(d); }) {}

    void Feed(std::string_view bytes) {
        for (const char c : bytes) script.Feed(static_cast<KChar>(static_cast<unsigned char>(c)));
    }

    VRegisters registers{};
    TSourceScript script;
    std::vector<std::string> messages;

private:
    void Record(const TMessageDefinition& definition) {
        std::string text = ToUtf8(definition.Name()) + ":";
        for (const TFieldSpec& field : definition.Fields())
            text += " " + ToUtf8(field.text) + "=" + ToUtf8(field.value) + (field.matched ? "" : "?");
        messages.push_back(text);
    }
};

std::string Lines(std::string_view head, int count, std::string_view line) {
    std::string text(head);
    for (int i = 0; i < count; ++i) text += std::string(line) + std::to_string(i) + ";";
    return text;
}

}  // namespace

TEST(TSourceScript, DefinitionsCutTheStreamIntoMessagesOfFields) {
    struct Case {
        const char* name;
        std::string script;
        std::string input;
        std::vector<std::string> messages;
        size_t capacity = 32768;
    };
    const std::string stxCr = ";;M\nheader=\\02,length=1\ntrailer=\\0d,length=1\n";
    const std::string list =
        ";;L\nheader=\\02,length=1\ntrailer=\\03,length=1\ntextfield=E1,stop=;\n"
        "textfield=E2,stop=;\ntextfield=E3,stop=;\ntextfieldrepeat=Place,stop=;\n"
        "textfieldrepeat=Laps,stop=;\n";
    const Case cases[] = {
        {"STX, body, CR",
         stxCr + "textfield=Body,length=2\n",
         "\x02"
         "AB\r",
         {"M: Body=AB"}},
        // What is left after the last field does not stop the delivery.
        {"noise before the header and a header inside another message's body",
         stxCr + "textfield=Body,stop=.\n;;Hash\nheader=##,length=2\nbodylength=2\ntextfield=H,length=2\n",
         "x#\x02"
         "a.##CD.\r",
         {"Hash: H=CD", "M: Body=a"}},
        {"a header found across a false start",
         ";;A\nheader=AAB,length=3\nbodylength=1\ntextfield=X,length=1\n",
         "AAAABz",
         {"A: X=z"}},
        {"fixed body length takes anything",
         ";;F\nheader=\\02,length=1\nbodylength=10\ntextfield=All,length=10\n",
         "\x02\r\n\x02"
         "abcdefgZZ",
         {"F: All=\r\n\x02"
          "abcdefg"}},
        {"an unmatched stop takes the rest, and the trim drops it",
         stxCr + "textfield=A,stop=;\ntextfield=B,stop=;\n",
         "\x02one;two\r",
         {"M: A=one"}},
        {"capital keywords",
         ";;C\nHEADER=\\02,LENGTH=1\nTrailer=\\0d,Length=1\nTEXTFIELD=A,STOP=;\n",
         "\x02x;\r",
         {"C: A=x"}},
        {"no fields never delivers",
         ";;Empty\nheader=\\02,length=1\ntrailer=\\0d,length=1\n" + stxCr + "textfield=A,length=1\n",
         "\x02q\r",
         {"M: A=q"}},
        {"process formats",
         stxCr + "textfield=A,length=5,process=%3.3s\ntextfield=B,length=2,process=%-4s|\n"
                 "textfield=C,length=2,process=\\3c%s\\3e%% %d\n",
         "\x02"
         "abcdeXYpq\r",
         {"M: A=abc B=XY  | C=<pq>% "}},
        {"quoted item with a comma", stxCr + "textfield=A,\"stop=,\"\n", "\x02x,y\r", {"M: A=x"}},
        {"comments, and an unreadable length keeps the old one",
         "before\n" + stxCr + "a comment\n\ntextfield=A,length=2,length=x\n",
         "\x02"
         "ab\r",
         {"M: A=ab"}},
        {"an overflowing buffer restarts the header search",
         stxCr + "textfield=A,length=2\n",
         "\x02"
         "0123456789\r\x02"
         "ab\r",
         {"M: A=ab"},
         8},
        {"registers persist across expansions, without H",
         stxCr + "textfield=A,length=1,process=%s\\+0\\O0\\He0\n",
         "\x02"
         "a\r\x02"
         "b\r",
         {"M: A=a\x01", "M: A=b\x02"}},
        {"repeated lines grow and are trimmed",
         list,
         Lines("\x02"
               "a;b;c;",
               4, "x;") +
             "\x03" +
             Lines("\x02"
                   "a;b;c;",
                   2, "y;") +
             "\x03",
         {"L: E1=a E2=b E3=c Place=x Laps=0 Place=x Laps=1 Place=x Laps=2 Place=x Laps=3",
          "L: E1=a E2=b E3=c Place=y Laps=0 Place=y Laps=1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KTempFolder folder;
        WriteBytes(folder / "a.kss", c.script);
        Receiver receiver(c.capacity);
        ASSERT_TRUE(receiver.script.Load(folder / "a.kss"));
        receiver.Feed(c.input);
        EXPECT_EQ(receiver.messages, c.messages);
    }
}

TEST(TSourceScript, UnicodeFileIsReadAndAMissingOneKeepsTheDefinitions) {
    KTempFolder folder;
    WriteBytes(folder / "u.kss", Utf16Bytes(u";;Gate \x00e9\r\nheader=\x263a,length=1\r\nbodylength=1\r\n"
                                            u"textfield=A,length=1\r\n"));
    Receiver receiver;
    ASSERT_TRUE(receiver.script.Load(folder / "u.kss"));
    EXPECT_FALSE(receiver.script.Load(folder / "missing.kss"));
    receiver.script.Feed(u'\x263a');
    receiver.script.Feed(u'\x1234');
    ASSERT_EQ(receiver.messages.size(), 1u);
    EXPECT_EQ(receiver.messages[0], ToUtf8(u"Gate \x00e9: A=\x1234"));
}

TEST(TSourceScript, BufferSizeComesFromTheSettings) {
    KRegistry settings;
    EXPECT_EQ(ReadFieldsBufferSize(settings), 32768u);
    settings.AddTable({u"Sources\\:=", u"Sources\\Fields\\:=", u"Sources\\Fields\\BufferSize:Int=100"});
    EXPECT_EQ(ReadFieldsBufferSize(settings), 100u);
}
