#include "ports/KPortSpec.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "ports/KSerialPortList.h"
#include "ports/KSerialPortPanel.h"
#include "settings/KRegistry.h"

TEST(KPortSpec, SerialAndNetworkSpecificationsReadEachFieldOrItsDefaultAndWriteBackCanonically) {
    // The text, the fields read, whether all were readable, the text written back.
    const std::tuple<KStringView, KSerialSpec, bool, KStringView> serial[] = {
        {u"1,19200,7,E,2.0,250", {1, 19200, 1, 2, 2, 250}, true, u"1,19200,7,E,2.0,250"},
        {u"1", {1, 9600, 0, 0, 0, 0}, false, u"1,9600,8,N,1.0"},
        {u"1,9600,9,N,1.0", {1, 9600, 0, 0, 0, 0}, false, u"1,9600,8,N,1.0"},
        {u"1,9600,8,N,1.2", {1, 9600, 0, 0, 0, 0}, false, u"1,9600,8,N,1.0"},
        {u"1,9600,8,n,1", {1, 9600, 0, 0, 0, 0}, true, u"1,9600,8,N,1.0"},
        {u"1,9600,8, even ,2", {1, 9600, 0, 2, 2, 0}, true, u"1,9600,8,E,2.0"},
        {u"0x10,0300,5,s,1.50,500ms", {16, 192, 3, 4, 1, 500}, true, u"16,192,5,S,1.5,500"},
        {u"abc,,4,X,.5,z", {0, 9600, 4, 0, 0, 0}, false, u"0,9600,4,N,1.0"},
        {u"99999999999,-5", {0, 9600, 0, 0, 0, 0}, false, u"0,9600,8,N,1.0"},
    };
    for (const auto& [spec, expected, allRead, written] : serial) {
        KSerialSpec read;
        EXPECT_EQ(ReadSerialSpec(spec, read), allRead) << ToUtf8(spec);
        EXPECT_EQ(read, expected) << ToUtf8(spec);
        EXPECT_EQ(WriteSerialSpec(read), written) << ToUtf8(spec);
    }

    // The text, its port code, address and port.
    const std::tuple<KStringView, int, std::optional<uint32_t>, std::optional<uint16_t>> network[] = {
        {u"-1,127.0.0.1,1024", -1, 0x7F000001, 1024},
        {u"-2,0.0.0.0,1025", -2, 0, 1025},
        {u"-3,10.1,0x50", -3, 0x0A000001, 80},
        {u"-1,127.0.0.1", -1, 0x7F000001, std::nullopt},
        {u"-1,localhost,70000", -1, std::nullopt, std::nullopt},
        {u"-1,1.2.3.4.5.6.7.8.9.10.11.12.13.14.15,1", -1, std::nullopt, 1},
    };
    for (const auto& [spec, code, address, port] : network) {
        EXPECT_EQ(ReadPortCode(spec), code) << ToUtf8(spec);
        EXPECT_EQ(ReadIPAddress(spec), address) << ToUtf8(spec);
        EXPECT_EQ(ReadIPPort(spec), port) << ToUtf8(spec);
    }
    EXPECT_EQ(WriteNetworkSpec(-1, 0x7F000001, 1024), u"-1,127.0.0.1,1024");
}

TEST(KPortSpec, AssigningAComPortReleasesItFromTheOtherMembersOfTheSameGroupOnly) {
    KRegistry tree;
    tree.AddTable({u"Sources\\:=", u"Sources\\1\\:=", u"Sources\\1\\SerialPort:String=1,9600,8,N,1.0,300",
                   u"Sources\\2\\:=", u"Sources\\2\\SerialPort:String=0,9600,8,N,1.0", u"Scoreboards\\:=",
                   u"Scoreboards\\1\\:=", u"Scoreboards\\1\\SerialPort:String=1,9600,8,N,1.0",
                   u"Scoreboards\\2\\:=", u"Scoreboards\\2\\SerialPort:String=1,4800,7,E,2.0,500",
                   u"WindGauge\\:=", u"WindGauge\\SerialPort:String=-1,127.0.0.1,1024"});
    // Owners reopen their ports in their hooks: the member must come after the others let go.
    std::vector<KString> order;
    for (KStringView path :
         {u"Sources\\1\\SerialPort", u"Sources\\2\\SerialPort", u"Scoreboards\\1\\SerialPort",
          u"Scoreboards\\2\\SerialPort", u"WindGauge\\SerialPort"}) {
        tree.FindString(path)->SetSetter([&order, path](KRString& node, KString value) {
            order.emplace_back(path);
            node.StoreValue(std::move(value));
        });
    }
    AssignPortSpec(tree, *tree.FindString(u"Sources\\2\\SerialPort"), u"1,19200,8,N,1.0");
    EXPECT_EQ(tree.GetText(u"Sources\\1\\SerialPort"), u"0,9600,8,N,1.0");
    EXPECT_EQ(tree.GetText(u"Sources\\2\\SerialPort"), u"1,19200,8,N,1.0");
    EXPECT_EQ(tree.GetText(u"Scoreboards\\1\\SerialPort"), u"1,9600,8,N,1.0");
    EXPECT_EQ(order, (std::vector<KString>{u"Sources\\1\\SerialPort", u"Sources\\2\\SerialPort"}));

    AssignPortSpec(tree, *tree.FindString(u"WindGauge\\SerialPort"), u"1,2400,8,N,1.0");
    EXPECT_EQ(tree.GetText(u"Scoreboards\\1\\SerialPort"), u"0,9600,8,N,1.0");
    EXPECT_EQ(tree.GetText(u"Scoreboards\\2\\SerialPort"), u"0,4800,7,E,2.0,500");
    EXPECT_EQ(tree.GetText(u"Sources\\2\\SerialPort"), u"1,19200,8,N,1.0");
    EXPECT_EQ(order.back(), u"WindGauge\\SerialPort");
}

TEST(KSerialPortPanel, OffersThePortChoicesInOrderAndEnablesFieldsByPortCode) {
    KRegistry tree;
    tree.AddTable({u"Strings\\:=", u"Strings\\SerialPort\\:=", u"Strings\\SerialPort\\PortNone:String=<none>",
                   u"Strings\\SerialPort\\PortLocal:String=COM",
                   u"Strings\\SerialPort\\PortNetConnect:String=Network (connect)",
                   u"Strings\\SerialPort\\PortNetListen:String=Network (listen)",
                   u"Strings\\SerialPort\\PortNetUDP:String=Network (UDP)"});
    KSerialPortList ports;
    ports.Add(3, "/dev/null");
    ports.Add(1, "/dev/null");
    using F = KPortFeature;
    KSerialPortPanel panel(
        F::ComPorts | F::ExtraPorts | F::TcpPorts | F::UdpPort | F::Baud | F::IPAddress | F::IPPort,
        {{0x010000, u"Video"}});
    KString choices;
    for (const KPortChoice& c : panel.PortChoices(tree, ports))
        choices += ToKString(c.code) + u' ' + c.label + u';';
    EXPECT_EQ(choices,
              u"0 <none>;1 COM1;3 COM3;65536 Video;"
              u"-1 Network (connect);-2 Network (listen);-3 Network (UDP);");
    EXPECT_EQ(KSerialPortPanel(F::ComPorts).PortChoices(tree, ports, u"Off").front().label, u"Off");

    const KPortField fields[] = {KPortField::Baud, KPortField::StopBits, KPortField::IPAddress,
                                 KPortField::IPPort};
    // Which of baud, stop bits, IP address and IP port are enabled (x: not), by port code.
    for (const auto& [code, expected] :
         std::map<int, std::string>({{0, "BSxx"}, {2, "BSxx"}, {-1, "xxAP"}, {-2, "xxxP"}, {-3, "xxAP"}})) {
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(KSerialPortPanel::IsFieldEnabledFor(fields[i], code), expected[i] != 'x')
                << code << expected;
    }
    panel.Load(u"1,9600,8,n,1");
    EXPECT_FALSE(panel.IsFieldEnabled(KPortField::StopBits));  // not a feature of this use
    EXPECT_EQ(panel.Specification(), u"1,9600,8,N,1.0");
    panel.Load(u"-2,10.0.0.1,1025");
    panel.SetIPPort(1025);
    EXPECT_FALSE(panel.IsChanged());
    panel.SetIPPort(2000);
    EXPECT_TRUE(panel.IsChanged());
    EXPECT_EQ(panel.Specification(), u"-2,10.0.0.1,2000");
}
