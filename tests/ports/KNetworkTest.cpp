#include "ports/KNetwork.h"

#include <gtest/gtest.h>

#include "KSocketTestSupport.h"
#include "ports/KSocketPrototypes.h"
#include "ports/KTCPSocket.h"
#include "ports/KUDPSocket.h"

namespace {

TEST(KNetworkTest, HostNameThatDoesNotResolve_EveryNetworkOpenFails) {
    KNetwork network;
    EXPECT_TRUE(network.Start("localhost"));
    EXPECT_FALSE(network.Start("kestrun..unresolvable"));  // refused without asking a name server
    KTCPSocket tcp(network, 0);
    KUDPSocket udp(network, 2048, 536, 2048);
    for (KStringView spec : {u"-1,127.0.0.1,1024", u"-2,0.0.0.0,0", u"-3,127.0.0.1,2000"}) {
        KStream& stream = spec[1] == u'3' ? static_cast<KStream&>(udp) : tcp;
        EXPECT_FALSE(stream.Open(spec)) << ToUtf8(spec);
        EXPECT_EQ(stream.PollDescriptor(), -1);
        EXPECT_EQ(CaughtError([&] { stream.WriteChar(u'x'); }).first, KNetworkError::kSend);
    }
}

TEST(KNetworkTest, Prototypes_HaveTheSizesOfTheirUsers) {
    KLoopbackNetwork network;
    struct Case {
        bool scoreboards;
        int bufferSize, udpSize;
        size_t tcpBuffer, udpBuffer, packet, receive;
    };
    for (const Case& c : {Case{false, 100, 0, 0, 2048, 536, 2048}, Case{false, 4096, 0, 0, 4096, 536, 4096},
                          Case{true, 32768, 536, 32768, 32768, 536, 0},
                          Case{true, 2000000000, 1400, 1 << 20, 1 << 20, 1400, 0}}) {
        KStreamPrototypes prototypes;
        if (c.scoreboards) {
            RegisterScoreboardNetworkPrototypes(prototypes, network, c.bufferSize, c.udpSize);
        } else {
            RegisterSourceNetworkPrototypes(prototypes, network, c.bufferSize);
        }
        const auto tcp = MakeStream(prototypes, u"-2,0.0.0.0,0", nullptr);
        const auto udp = MakeStream(prototypes, u"-3,0.0.0.0,2000", nullptr);
        const auto& socket = dynamic_cast<const KTCPSocket&>(*tcp);
        EXPECT_EQ(socket.OutputBufferSize(), c.tcpBuffer);
        EXPECT_TRUE(socket.AutoReconnect() && socket.Accepts() && !socket.BlockingConnect());
        const auto& datagrams = dynamic_cast<const KUDPSocket&>(*udp);
        EXPECT_EQ(datagrams.OutputBufferSize(), c.udpBuffer);
        EXPECT_EQ(datagrams.PacketSize(), c.packet);
        EXPECT_EQ(datagrams.ReceiveBufferSize(), c.receive);
        EXPECT_EQ(udp->ReadLineMode(), KLineMode::None);
    }
}

}  // namespace
