#include "ports/KStream.h"

#include <gtest/gtest.h>

#include <tuple>

#include "KPty.h"
#include "ports/KSerialPort.h"
#include "ports/KSerialPortList.h"

namespace {

/// A serial port on a pseudo-terminal, read or written through the character modes.
class StreamOnPty : public ::testing::Test {
protected:
    StreamOnPty() { ports.Add(1, pty.Path()); }

    KPty pty;
    KSerialPortList ports;
};

using C = KCharMode;
using L = KLineMode;

// The modes a port is set to, the bytes on the wire, the text of the program and the modes of
// the port's other direction (read: as they end up; write: as set).
using Case = std::tuple<C, L, std::string, KString, C, L>;

}  // namespace

TEST_F(StreamOnPty, EachCharacterAndLineModeReadsAndWritesItsBytes) {
    const Case reads[] = {
        {C::SingleByte, L::None, "a\r\nb\xFF", u"a\r\nb\u00FF", C::SingleByte, L::None},
        {C::SingleByte, L::Auto, "a\r\nb\r\n", u"a\nb\n", C::SingleByte, L::CrLf},
        {C::SingleByte, L::Auto, "a\n\rb\nc", u"a\nb\nc", C::SingleByte, L::LfCr},
        {C::SingleByte, L::Cr, "a\r\rb\n", u"a\n\nb\n", C::SingleByte, L::Cr},
        {C::SingleByte, L::Lf, "a\rb\n", u"a\rb\n", C::SingleByte, L::Lf},
        {C::Unicode, L::None, std::string("a\0\x01\x04", 4), u"a\u0401", C::Unicode, L::None},
        {C::Detect, L::None, std::string("\xFE\xFF\0a\x04\x01", 6), u"a\u0401", C::Unicode, L::None},
        {C::Detect, L::None, std::string("\xFF\xFE\x61\0", 4), u"a", C::Unicode, L::None},
        {C::Detect, L::None, "\xFF\x61\x62", u"\u00FFab", C::SingleByte, L::None},
        {C::Native, L::None, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xC3(\x80",
         u"a\u00E9\u20AC\U0001F600\uFFFD(\uFFFD", C::Native, L::None},
    };
    for (const auto& [charMode, lineMode, bytes, text, charModeAfter, lineModeAfter] : reads) {
        KSerialPort port(ports, KSerialUserMode::kRead, 2048, 0);
        port.SetModes(charMode, lineMode);
        port.SetReadTimeout(2000);
        ASSERT_TRUE(port.Open(u"1,9600,8,N,1.0"));
        pty.Send(bytes);
        KString read;
        while (read.size() < text.size()) read += port.ReadChar();
        EXPECT_EQ(read, text) << bytes;
        port.SetReadTimeout(0);
        EXPECT_FALSE(port.IsDataAvailable()) << bytes;
        EXPECT_EQ(port.ReadCharMode(), charModeAfter) << bytes;
        EXPECT_EQ(port.ReadLineMode(), lineModeAfter) << bytes;
    }

    // Writing: a Detect or Auto write mode follows the read side's modes (the last two columns).
    const Case writes[] = {
        {C::SingleByte, L::None, "a\nA", u"a\n\u0141", C::Detect, L::Auto},
        {C::SingleByte, L::Auto, "a\r\n", u"a\n", C::Detect, L::Auto},
        {C::SingleByte, L::Auto, "a\n", u"a\n", C::Detect, L::Lf},
        {C::SingleByte, L::Cr, "a\r", u"a\n", C::Detect, L::Auto},
        {C::SingleByte, L::LfCr, "a\n\r", u"a\n", C::Detect, L::Auto},
        {C::Unicode, L::CrLf, std::string("\x01\x04\r\0\n\0", 6), u"\u0401\n", C::Detect, L::Auto},
        {C::Detect, L::None, "ab", u"ab", C::SingleByte, L::None},
        {C::Detect, L::None, std::string("a\0", 2), u"a", C::Detect, L::None},
        {C::Native, L::None, "\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBD!",
         KString(u"\u00E9\U0001F600") + KChar(0xDC00) + u"!", C::Detect, L::None},
    };
    for (const auto& [charMode, lineMode, bytes, text, readCharMode, readLineMode] : writes) {
        KSerialPort port(ports, KSerialUserMode::kWrite, 0, 64);
        port.SetReadModes(readCharMode, readLineMode);
        port.SetWriteModes(charMode, lineMode);
        ASSERT_TRUE(port.Open(u"1,9600,8,N,1.0"));
        for (KChar ch : text) port.WriteChar(ch);
        port.Flush();
        EXPECT_EQ(pty.Receive(bytes.size()), bytes) << ToUtf8(text);
    }
}

TEST_F(StreamOnPty, ACharacterOrLineEndThatArrivesInPartsIsDeliveredWhole) {
    KSerialPort port(ports, KSerialUserMode::kRead, 2048, 0);
    port.SetModes(KCharMode::Native, KLineMode::Auto);
    port.SetReadTimeout(100);
    ASSERT_TRUE(port.Open(u"1,9600,8,N,1.0"));
    pty.Send("\xE2\x82");
    EXPECT_FALSE(port.IsDataAvailable());  // two bytes of three
    pty.Send("\xAC\x78\r");                // the last byte of the euro sign, x, CR
    KString read;
    for (int i = 0; i < 3; ++i) read += port.ReadChar();
    EXPECT_FALSE(port.IsDataAvailable());
    pty.Send("\nab;cd");
    read += port.ReadChar();
    EXPECT_EQ(read, u"\u20ACx\na");
    EXPECT_EQ(port.ReadLineMode(), KLineMode::CrLf);
    KString line;
    EXPECT_TRUE(port.ReadLine(line, u";", 100));
    EXPECT_EQ(line, u"b");
    line.clear();
    EXPECT_FALSE(port.ReadLine(line, u";", 100));
    EXPECT_EQ(line, u"cd");
}
