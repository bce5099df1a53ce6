#include "ports/KUDPSocket.h"

#include <gtest/gtest.h>

#include "KSocketTestSupport.h"

namespace {

TEST(KUDPSocketTest, AFlushGoesOutInPacketsAndAWriteBeyondTheBufferRaises8004WithTheCountStored) {
    KLoopbackNetwork network;
    const KSocketHandle receiver = BoundSocket(SOCK_DGRAM);
    KUDPSocket stream(network, 1200, 536, 0);
    ASSERT_TRUE(stream.Open(NetSpec(-3, "127.0.0.1", LocalPort(receiver))));
    const std::vector<uint8_t> bytes(1500, 'u');
    EXPECT_EQ(CaughtError([&] { stream.Write(bytes.data(), 700); }), std::make_pair(0, 0));
    EXPECT_EQ(CaughtError([&] { stream.Write(bytes.data(), 800); }),
              std::make_pair(KNetworkError::kSendShort, 500));
    stream.Flush();
    // The sizes of the datagrams that arrive until none follows within 100 ms.
    timeval timeout{0, 100000};
    ::setsockopt(receiver.Get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::vector<size_t> sizes;
    char buffer[2048];
    for (ssize_t n; (n = ::recv(receiver.Get(), buffer, sizeof buffer, 0)) >= 0;) sizes.push_back(n);
    EXPECT_EQ(sizes, (std::vector<size_t>{536, 536, 128}));
}

// A stream with a receive buffer listens on its port on all interfaces, so it also hears
// its own broadcasts where the machine has a broadcast route. A machine with loopback only
// has none; there the broadcast address is all that can be checked.
TEST(KUDPSocketTest, AddressZero_SendsToTheBroadcastAddress) {
    KLoopbackNetwork network;
    KUDPSocket stream(network, 2048, 536, 2048);
    ASSERT_TRUE(stream.Open(NetSpec(-3, "0.0.0.0", FreePort(SOCK_DGRAM))));
    EXPECT_EQ(stream.RemoteAddress(), 0xFFFFFFFFu);
    const auto send = [&] {
        WriteText(stream, "uuuuu");
        stream.Flush();
    };
    if (CaughtError(send).first != 0) GTEST_SKIP() << "no route for broadcasts";
    EXPECT_EQ(ReadUntil(stream, 5), "uuuuu");
}

TEST(KUDPSocketTest, DatagramsFromAnySender_ReadAsOneStreamOfBytes) {
    KLoopbackNetwork network;
    const uint16_t port = FreePort(SOCK_DGRAM);
    KUDPSocket stream(network, 2048, 536, 2048);
    ASSERT_TRUE(stream.Open(NetSpec(-3, "127.0.0.1", port)));
    uint8_t bytes[8];
    EXPECT_EQ(CaughtError([&] { stream.Read(bytes, 1); }), std::make_pair(KNetworkError::kReceiveShort, 0));
    for (const char* text : {"1,Smith,", "12:03.4\r\n"}) {
        const KSocketHandle sender(::socket(AF_INET, SOCK_DGRAM, 0));
        const sockaddr_in to = MakeSocketAddress(INADDR_LOOPBACK, port);
        ::sendto(sender.Get(), text, strlen(text), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    EXPECT_EQ(ReadUntil(stream, 17), "1,Smith,12:03.4\r\n");

    KUDPSocket sendOnly(network, 2048, 536, 0);
    ASSERT_TRUE(sendOnly.Open(NetSpec(-3, "127.0.0.1", port)));
    EXPECT_EQ(CaughtError([&] { sendOnly.Read(bytes, 1); }).first, KNetworkError::kReceive);
}

}  // namespace
