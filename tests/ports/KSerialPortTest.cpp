#include "ports/KSerialPort.h"

#include <gtest/gtest.h>

#include <thread>
#include <tuple>

#include "KPty.h"
#include "KSocketTestSupport.h"
#include "ports/KSerialBaud.h"
#include "ports/KSerialDevice.h"
#include "ports/KSerialPortList.h"
#include "ports/KStreamFactory.h"
#include "ports/VSerialPort.h"
#include "settings/KRegistry.h"
#include "support/KTempFolder.h"

namespace {

using namespace KSerialUserMode;

class SerialPortTest : public ::testing::Test {
protected:
    SerialPortTest() { ports.Add(1, pty.Path()); }
    KPty pty;
    KSerialPortList ports;
};

}  // namespace

TEST_F(SerialPortTest, OpeningConfiguresTheTtyAsAskedOrFailsForWhatItCannotDo) {
    // The text, whether it opens, the baud and the flags of CSTOPB, PARODD, CMSPAR the device has then
    // (a pseudo-terminal keeps 8 bits, no parity enable).
    const std::tuple<KStringView, bool, uint32_t, tcflag_t> cases[] = {
        {u"1,19200,8,O,2.0", true, 19200, CSTOPB | PARODD},
        {u"1,4800,5,M,1.5", true, 4800, CSTOPB | PARODD | CMSPAR},
        {u"1,56000,7,S,1.0", true, 56000, CMSPAR},
        {u"1", true, 9600, 0},
        {u"1,9600,8,N,1.5", false, 9600, 0},
        {u"1,9600,4,N,1.0", false, 9600, 0},
    };
    KSerialPort port(ports, kRead, 2048, 0);
    for (const auto& [spec, opens, baud, flags] : cases) {
        EXPECT_EQ(port.Open(spec), opens) << ToUtf8(spec);
        EXPECT_TRUE(port.IsOpen());  // a refused configuration leaves the port open, as it was
        EXPECT_EQ(ReadDeviceBaud(port.PollDescriptor()), baud) << ToUtf8(spec);
        EXPECT_EQ(pty.Settings().c_cflag & (CSTOPB | PARODD | CMSPAR), flags) << ToUtf8(spec);
    }
    // What a real UART gets, which a pseudo-terminal does not keep.
    const std::pair<KSerialSpec, tcflag_t> bits[] = {{{1, 9600, 1, 2, 0, 0}, CS7 | PARENB},
                                                     {{1, 9600, 3, 0, 1, 0}, CS5 | CSTOPB},
                                                     {{1, 9600, 0, 1, 2, 0}, CS8 | PARENB | PARODD | CSTOPB}};
    for (const auto& [spec, flags] : bits)
        EXPECT_EQ(SerialTermios(pty.Settings(), spec)->c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB),
                  flags);
    EXPECT_FALSE(SerialTermios(pty.Settings(), {1, 9600, 3, 0, 2, 0}));  // 2 stop bits with 5 data bits
}

TEST_F(SerialPortTest, AReaderAndAWriterShareTheDeviceUntilBothCloseAndAShortReadRaisesTimeout) {
    KSerialPort reader(ports, kRead, 2048, 0);
    KSerialPort writer(ports, kWrite, 0, 64);
    KSerialPort secondWriter(ports, kWrite, 0, 64);
    for (KSerialPort* port : {&reader, &writer}) ASSERT_TRUE(port->Open(u"1,9600,8,N,1.0"));
    EXPECT_FALSE(secondWriter.Open(u"1,9600,8,N,1.0"));
    EXPECT_FALSE(secondWriter.IsOpen());
    const auto info = ports.Find(1);
    EXPECT_EQ(info->UsersModes(), kRead | kWrite);

    const int device = reader.PollDescriptor();
    ASSERT_TRUE(reader.Open(u"1,19200,8,N,1.0"));  // new parameters, same device
    EXPECT_EQ(reader.PollDescriptor(), device);

    std::string observed;
    reader.SetReadObserver(
        [&](const uint8_t* bytes, size_t count) { observed.append(bytes, bytes + count); });
    pty.Send("abcd");
    pollfd readable{device, POLLIN, 0};
    ASSERT_EQ(::poll(&readable, 1, 5000), 1);
    uint8_t buffer[10];
    EXPECT_EQ(CaughtError([&] { reader.Read(buffer, 10); }), std::make_pair(5002, 4));
    EXPECT_EQ(observed, "abcd");
    // A reader does not write.
    EXPECT_EQ(CaughtError([&] { WriteText(reader, "x"); }), std::make_pair(5003, -1));
    reader.Close();
    EXPECT_TRUE(info->IsDeviceOpen());
    WriteText(writer, "out");
    writer.Flush();
    EXPECT_EQ(pty.Receive(3), "out");
    writer.Close();
    EXPECT_FALSE(info->IsDeviceOpen());
    EXPECT_FALSE(writer.Open(u"12,9600,8,N,1.0"));  // not a listed port
    EXPECT_EQ(writer.PortNumber(), 0);
}

TEST_F(SerialPortTest, PortsAreFoundThroughTheirDevicePathsOneToTenAlwaysHigherWhileTheyOpen) {
    KPty tenth, eleventh, thirteenth;
    KTempFolder folder;
    WriteBytes(folder / "plain", "not a tty");
    KRegistry tree;
    tree.AddTable({u"General\\:=", u"General\\SerialPorts\\:="});
    const std::pair<int, std::string> devices[] = {{1, pty.Path()},
                                                   {2, (folder / "missing").string()},
                                                   {3, (folder / "plain").string()},
                                                   {10, tenth.Path()},
                                                   {11, eleventh.Path()},
                                                   {13, thirteenth.Path()}};
    for (const auto& [number, path] : devices)
        tree.Define(u"General\\SerialPorts\\COM" + ToKString(number) + u":String=" + FromUtf8(path));
    KSerialPortList found;
    found.Enumerate(tree);
    EXPECT_EQ(found.PortCount(), 3u);
    EXPECT_EQ(found.IndexOfPort(11), 2);
    EXPECT_EQ(found.IndexOfPort(13), -1);
    EXPECT_EQ(found.PortNumberAt(3), 0);
    EXPECT_EQ(found.Describe(), u"Serial ports: COM1 " + FromUtf8(pty.Path()) + u", COM10 " +
                                    FromUtf8(tenth.Path()) + u", COM11 " + FromUtf8(eleventh.Path()));
}

TEST_F(SerialPortTest, FullBuffersGoOutARepeatPeriodResendsTheLastBlockAndAnUntakenFlushMakesWritesBusy) {
    KSerialPort port(ports, kWrite, 0, 16);
    port.SetWriteTimeout(5000);
    ASSERT_TRUE(port.Open(u"1,115200,8,N,1.0"));
    const std::string block = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
    WriteText(port, block);
    EXPECT_EQ(pty.Receive(32), block.substr(0, 32));
    EXPECT_EQ(pty.Drain(), "");
    port.Flush();
    EXPECT_EQ(pty.Receive(8), block.substr(32));

    ASSERT_TRUE(port.Open(u"1,9600,8,N,1.0,10"));
    WriteText(port, "A");
    port.Flush();
    EXPECT_EQ(pty.Receive(3), "AAA");
    WriteText(port, "B");  // waits until the thread has taken the previous block
    port.Flush();
    std::string seen = pty.Receive(1);
    while (seen.back() != 'B' && seen.size() < 1000) seen += pty.Receive(1);
    EXPECT_EQ(pty.Receive(3), "BBB");
    port.Close();
    pty.Drain();
    EXPECT_EQ(pty.Drain(30), "");  // closing stops the repetition

    // Without a write timeout, a write after a flush that the thread has not taken is refused.
    port.SetWriteTimeout(0);
    ASSERT_TRUE(port.Open(u"1,9600,8,N,1.0,60000"));
    WriteText(port, "A");
    port.Flush();
    EXPECT_FALSE(port.IsWriteReady());
    EXPECT_EQ(CaughtError([&] { WriteText(port, "B"); }), std::make_pair(5004, -1));
    port.ResetOutput();
    EXPECT_TRUE(port.IsWriteReady());
    port.Close();

    // More than the tty takes at once, then closed at once: the rest still goes out.
    KSerialPort whole(ports, kWrite, 0, 0);
    whole.SetWriteTimeout(5000);
    ASSERT_TRUE(whole.Open(u"1,115200,8,N,1.0"));
    const std::string large(256 * 1024, 'x');
    WriteText(whole, large);
    std::thread closer([&whole] { whole.Close(); });
    EXPECT_EQ(pty.Receive(large.size()).size(), large.size());
    closer.join();
}

TEST_F(SerialPortTest, ThePeerGoingAwayGivesErrorsAndReopeningAfterReplugWorks) {
    // The COM number names a link, as /dev/serial/by-id/ does for an adapter.
    KTempFolder folder;
    const std::filesystem::path link = folder / "adapter";
    std::filesystem::create_symlink(pty.Path(), link);
    ports.Add(2, link.string());
    KSerialPort reader(ports, kRead, 2048, 0);
    KSerialPort writer(ports, kWrite, 0, 0);
    for (KSerialPort* port : {&reader, &writer}) ASSERT_TRUE(port->Open(u"2,9600,8,N,1.0"));
    pty.Unplug();
    uint8_t byte;
    EXPECT_EQ(CaughtError([&] { reader.Read(&byte, 1); }).first, 5001);
    EXPECT_FALSE(reader.IsDataAvailable());
    EXPECT_EQ(CaughtError([&] { WriteText(writer, "x"); }).first, 5003);

    KPty replugged;
    std::filesystem::remove(link);
    std::filesystem::create_symlink(replugged.Path(), link);
    for (KSerialPort* port : {&reader, &writer}) ASSERT_TRUE(port->Open(u"2,9600,8,N,1.0"));
    replugged.Send("r");
    EXPECT_EQ(ReadUntil(reader, 1), "r");
    WriteText(writer, "w");
    EXPECT_EQ(replugged.Receive(1), "w");
}

TEST_F(SerialPortTest, TheFactoryKeepsAStreamThatServesTheCodeAndClonesAPrototypeOtherwise) {
    KStreamPrototypes scoreboards;
    auto prototype = std::make_unique<VSerialPort>(ports, kWrite, 0, 64);
    prototype->SetModes(KCharMode::SingleByte, KLineMode::None);
    scoreboards.Register(std::move(prototype));

    std::unique_ptr<KStream> stream = MakeStream(scoreboards, u"0,9600,8,N,1.0", nullptr);
    EXPECT_FALSE(stream->Open(u"0,9600,8,N,1.0"));
    EXPECT_EQ(CaughtError([&] { stream->WriteChar(u'a'); }).first, 5003);
    stream = MakeStream(scoreboards, u"1,9600,8,N,1.0", std::move(stream));
    KStream* serial = stream.get();
    ASSERT_NE(dynamic_cast<VSerialPort*>(serial), nullptr);
    EXPECT_EQ(serial->WriteLineMode(), KLineMode::None);
    ASSERT_TRUE(stream->Open(u"1,9600,8,N,1.0"));
    stream = MakeStream(scoreboards, u"2", std::move(stream));
    EXPECT_EQ(stream.get(), serial);
    // A pseudo-port releases the device it had and opens nothing.
    EXPECT_FALSE(stream->Open(u"65536,9600,8,N,1.0"));
    EXPECT_FALSE(stream->IsOpen());
    EXPECT_FALSE(ports.Find(1)->IsDeviceOpen());
    EXPECT_EQ(dynamic_cast<KSerialPort&>(*stream).GetCTS(), false);
    stream = MakeStream(scoreboards, u"-1,127.0.0.1,1024", std::move(stream));
    EXPECT_FALSE(stream->IsMine(1));
}
