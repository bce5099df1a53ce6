#include "app/TIpcService.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>

#include "app/AppTestSupport.h"
#include "app/TZIpcServer.h"

namespace {

// A server on a socket in a folder of its own; the main thread serves while a client thread talks.
class TZIpcServerTest : public ::testing::Test {
protected:
    /// A socket at `path`, bound or connected by `join`; its failure shows in what is sent on it.
    static int Socket(const std::filesystem::path& path, int (*join)(int, const sockaddr*, socklen_t)) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const timeval limit{10, 0};  // never hang the test when the server does not answer
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        (void)join(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        return fd;
    }
    /// Runs `client` on its own thread and serves until it returns.
    static void Serve(const std::function<void()>& client) {
        const std::future<void> finished = std::async(std::launch::async, client);
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (finished.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready &&
               std::chrono::steady_clock::now() < limit)
            QCoreApplication::processEvents();
    }

    QCoreApplication qt{gQtArgc, gQtArgv};
    KTempFolder folder;
    TIpcService service;
    TZIpcServer server{service};
};

}  // namespace

TEST_F(TZIpcServerTest, ConnectAndExecuteAreAnsweredOverTheUsersOwnSocketAndAClientThatNeverReadsIsDropped) {
    // A socket file left behind with nobody behind it is replaced; a missing folder is a failure.
    ::close(Socket(folder / "Kestrun", ::bind));
    ASSERT_TRUE(std::filesystem::is_socket(folder / "Kestrun"));
    EXPECT_FALSE(TZIpcServer(service).Start("/nonexistent/kestrun"));
    ASSERT_TRUE(server.Start(folder.Path()));
    EXPECT_EQ(static_cast<int>(std::filesystem::status(server.SocketPath()).permissions()) & 077, 0);
    // Names compare as DDE names do; an over-long line ends the conversation.
    const std::string request =
        "EXECUTE go\nHELLO\nCONNECT Kestrun\nCONNECT Kestrun System extra\n"
        "CONNECT Kestrun Other\r\nCONNECT Other System\nCONNECT kestrun SYSTEM\n"
        "EXECUTE " +
        std::string(600, 'x') + "\nEXECUTE again\n" + std::string(TIpcService::kMaxLine + 1, 'x') +
        "\nEXECUTE never\n";
    std::string reply;
    Serve([&] {
        const int fd = Socket(server.SocketPath(), ::connect);
        (void)::write(fd, request.data(), request.size());
        ::shutdown(fd, SHUT_WR);
        char buffer[256];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            reply.append(buffer, static_cast<size_t>(n));
        ::close(fd);
    });
    EXPECT_EQ(reply, "NOT_PROCESSED\nERROR\nERROR\nERROR\nREFUSED\nREFUSED\nACCEPTED\nACK\nBUSY\nERROR\n");
    EXPECT_EQ(service.TakePendingCommand(), KString(511, u'x')) << "at most 511 characters are kept";
    EXPECT_EQ(service.Execute(u"Other", u"data"), TIpcService::Answer::NotProcessed);
    EXPECT_FALSE(service.HasPendingCommand());

    // A client that never reads its answers is dropped.
    size_t sent = 0;
    bool dropped = false;
    Serve([&] {
        const int fd = Socket(server.SocketPath(), ::connect);
        const std::string requests(64 * 1024, '\n');  // each empty line is answered ERROR
        ssize_t n = 0;
        while (sent < (64u << 20) && (n = ::send(fd, requests.data(), requests.size(), MSG_NOSIGNAL)) > 0)
            sent += static_cast<size_t>(n);
        dropped = n < 0 && (errno == EPIPE || errno == ECONNRESET);
        ::close(fd);
    });
    EXPECT_TRUE(dropped) << sent;
}
