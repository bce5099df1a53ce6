#include "ports/KNetwork.h"

#include <gtest/gtest.h>

#include <tuple>

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
    // For scoreboards or sources, the buffer and packet sizes asked for; the TCP output buffer, the
    // UDP output buffer, packet size and receive buffer made.
    const std::tuple<bool, int, int, size_t, size_t, size_t, size_t> cases[] = {
        {false, 100, 0, 0, 2048, 536, 2048},
        {false, 4096, 0, 0, 4096, 536, 4096},
        {true, 32768, 536, 32768, 32768, 536, 0},
        {true, 2000000000, 1400, 1 << 20, 1 << 20, 1400, 0}};
    for (const auto& [scoreboards, bufferSize, udpSize, tcpBuffer, udpBuffer, packet, receive] : cases) {
        KStreamPrototypes prototypes;
        if (scoreboards)
            RegisterScoreboardNetworkPrototypes(prototypes, network, bufferSize, udpSize);
        else
            RegisterSourceNetworkPrototypes(prototypes, network, bufferSize);
        const auto tcp = MakeStream(prototypes, u"-2,0.0.0.0,0", nullptr);
        const auto udp = MakeStream(prototypes, u"-3,0.0.0.0,2000", nullptr);
        const auto& socket = dynamic_cast<const KTCPSocket&>(*tcp);
        EXPECT_EQ(socket.OutputBufferSize(), tcpBuffer);
        EXPECT_TRUE(socket.AutoReconnect() && socket.Accepts() && !socket.BlockingConnect());
        const auto& datagrams = dynamic_cast<const KUDPSocket&>(*udp);
        EXPECT_EQ(datagrams.OutputBufferSize(), udpBuffer);
        EXPECT_EQ(datagrams.PacketSize(), packet);
        EXPECT_EQ(datagrams.ReceiveBufferSize(), receive);
        EXPECT_EQ(udp->ReadLineMode(), KLineMode::None);
    }
}

}  // namespace
