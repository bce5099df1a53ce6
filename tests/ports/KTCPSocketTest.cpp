#include "ports/KTCPSocket.h"

#include <gtest/gtest.h>

#include <netinet/tcp.h>
#include <poll.h>

#include <atomic>
#include <thread>

#include "KSocketTestSupport.h"

namespace {

TEST(KTCPSocketTest, ConnectKind_DialsUntilTheServerStartsAndRedialsWhenItCloses) {
    KLoopbackNetwork network;
    const uint16_t port = FreePort(SOCK_STREAM);
    KTCPSocket stream(network, 0);
    stream.Open(NetSpec(-1, "127.0.0.1", port));
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(stream.IsOpen());

    const KSocketHandle server = BoundSocket(SOCK_STREAM, port);
    ::listen(server.Get(), 1);
    ASSERT_TRUE(PollUntil([&] { return stream.IsOpen(); }));
    KSocketHandle peer(::accept(server.Get(), nullptr, nullptr));
    SendText(peer, "result");
    pollfd entry{stream.PollDescriptor(), POLLIN, 0};
    ::poll(&entry, 1, 5000);
    char text[10];
    EXPECT_EQ(CaughtError([&] { stream.Read(reinterpret_cast<uint8_t*>(text), 10); }),
              std::make_pair(KNetworkError::kReceiveShort, 6));
    EXPECT_EQ(std::string(text, 6), "result");
    peer.Reset();
    EXPECT_TRUE(PollUntil([&] {
        stream.IsOpen();
        peer.Reset(::accept4(server.Get(), nullptr, nullptr, SOCK_NONBLOCK));
        return peer.IsValid();
    }));
}

TEST(KTCPSocketTest, PeerStopsReadingOrVanishes_SendsNeverBlockNorKillTheProgram) {
    KLoopbackNetwork network;
    KTCPSocket stream(network, 65536);
    stream.SetNoDelay(true);
    ASSERT_TRUE(stream.Open(u"-2,127.0.0.1,0"));  // listens on a free port
    const uint16_t port = stream.ListenPort();
    KSocketHandle client = Client(port);
    ASSERT_TRUE(PollUntil([&] { return stream.IsOpen(); }));
    int noDelay = 0, sendBuffer = 0;
    socklen_t length = sizeof noDelay;
    ::getsockopt(stream.PollDescriptor(), IPPROTO_TCP, TCP_NODELAY, &noDelay, &length);
    ::getsockopt(stream.PollDescriptor(), SOL_SOCKET, SO_SNDBUF, &sendBuffer, &length);
    EXPECT_TRUE(noDelay != 0 && sendBuffer >= 65536);
    const std::vector<uint8_t> block(65536, 'x');
    const auto send = [&](size_t count) {
        return CaughtError([&] {
            stream.Write(block.data(), count);
            stream.Flush();
        });
    };
    // The client reads nothing: the system's buffers fill and a send comes up short.
    std::pair<int, int> error;
    for (int i = 0; i < 1000 && error.first == 0; ++i) error = send(block.size());
    EXPECT_EQ(error.first, KNetworkError::kSendShort);
    client.Reset();  // gone with unread bytes: the connection is reset
    for (int i = 0; i < 100; ++i) send(100);
    EXPECT_FALSE(stream.IsOpen());
}

TEST(KTCPSocketTest, ListenKind_AfterAFloodOfConnectsAndGarbageServesTheNewestClientAndLeavesNoDescriptors) {
    KLoopbackNetwork network;
    KTCPSocket stream(network, 0);
    ASSERT_TRUE(stream.Open(u"-2,127.0.0.1,0"));  // listens on a free port
    const uint16_t port = stream.ListenPort();
    EXPECT_FALSE(stream.IsOpen());
    uint8_t byte;
    EXPECT_EQ(CaughtError([&] { stream.Read(&byte, 1); }).first, KNetworkError::kReceive);
    const long descriptors = OpenDescriptorCount();
    std::atomic<bool> done = false;
    std::thread flood([&] {
        // A flooder does not wait for a full backlog: a connect not taken within 5 ms is
        // abandoned. Every second client only connects and leaves.
        const std::string garbage(100000, '\xA5');
        size_t sent = 0;
        for (int i = 0; i < 1000 || sent < 100000000; ++i) {
            const KSocketHandle client = Client(port, 5);
            for (int j = 0; j < 2 && i % 2 == 1; ++j) sent += SendText(client, garbage);
        }
        done = true;
    });
    // As the main loop does: wait on the stream's descriptor, then read what is there.
    std::vector<uint8_t> sink(65536);
    while (!done) {
        pollfd entry{stream.PollDescriptor(), POLLIN, 0};
        ::poll(&entry, 1, 1);
        CaughtError([&] { stream.Read(sink.data(), sink.size()); });
    }
    flood.join();

    KSocketHandle first = Client(port);
    SendText(first, "1,Smith,12:03.4\r\n");
    EXPECT_EQ(ReadUntil(stream, 17), "1,Smith,12:03.4\r\n");
    WriteText(stream, "ok");
    EXPECT_EQ(ReceiveText(first, 2), "ok");
    KSocketHandle second = Client(port);
    SendText(second, "second");
    EXPECT_EQ(ReadUntil(stream, 6), "second");
    EXPECT_EQ(ReceiveText(first, 1), "");  // dropped
    first.Reset();
    second.Reset();
    ASSERT_TRUE(PollUntil([&] { return !stream.IsOpen(); }));
    EXPECT_TRUE(stream.IsListening());
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
}

}  // namespace
