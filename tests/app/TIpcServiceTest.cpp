#include "app/TIpcService.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <thread>

#include "app/AppTestSupport.h"
#include "app/TZIpcServer.h"

namespace {

// A server on a socket in a folder of its own; the main thread serves while a client thread talks.
class TZIpcServerTest : public ::testing::Test {
protected:
    static sockaddr_un Address(const std::filesystem::path& path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        return address;
    }
    static int Connect(const std::filesystem::path& path, int timeoutOption) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const timeval limit{10, 0};  // never hang the test when the server does not answer
        ::setsockopt(fd, SOL_SOCKET, timeoutOption, &limit, sizeof limit);
        const sockaddr_un address = Address(path);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return fd;
        ::close(fd);
        return -1;
    }
    /// Runs `client` on its own thread and serves until it returns.
    void Serve(const std::function<void()>& client) {
        std::atomic<bool> done{false};
        std::thread thread([&] {
            client();
            done = true;
        });
        QElapsedTimer timer;
        timer.start();
        while (!done && timer.elapsed() < 30000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        thread.join();
    }

    QtArguments arguments;
    QCoreApplication qt{arguments.argc, arguments.argv};
    KTempFolder folder;
    TIpcService service;
    TZIpcServer server{service};
};

}  // namespace

TEST_F(TZIpcServerTest, ConnectOnlyToKestrunSystemThenExecuteStoresOneCommandAtATimeOverTheUsersOwnSocket) {
    ASSERT_TRUE(server.Start(folder.Path()));
    struct stat info {};
    ASSERT_EQ(::stat(server.SocketPath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u);
    // Names compare as DDE names do; an over-long line ends the conversation.
    const std::string request =
        "EXECUTE go\nHELLO\nCONNECT Kestrun\nCONNECT Kestrun System extra\n"
        "CONNECT Kestrun Other\r\nCONNECT Other System\nCONNECT kestrun SYSTEM\n"
        "EXECUTE " +
        std::string(600, 'x') + "\nEXECUTE again\n" + std::string(TIpcService::kMaxLine + 1, 'x') +
        "\nEXECUTE never\n";
    std::string reply;
    Serve([&] {
        const int fd = Connect(server.SocketPath(), SO_RCVTIMEO);
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
}

TEST_F(TZIpcServerTest, ReplacesASocketFileLeftBehindButNeedsItsFolder) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);  // a stale socket file with nobody behind it
    const sockaddr_un address = Address(folder / "Kestrun");
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    EXPECT_TRUE(server.Start(folder.Path()));
    EXPECT_FALSE(TZIpcServer(service).Start("/nonexistent/kestrun"));
}

TEST_F(TZIpcServerTest, ClientThatNeverReadsItsAnswersIsDropped) {
    ASSERT_TRUE(server.Start(folder.Path()));
    size_t sent = 0;
    bool dropped = false;
    Serve([&] {
        const int fd = Connect(server.SocketPath(), SO_SNDTIMEO);
        const std::string requests(64 * 1024, '\n');  // each empty line is answered ERROR
        while (fd >= 0 && sent < 64u * 1024 * 1024) {
            const ssize_t n = ::send(fd, requests.data(), requests.size(), MSG_NOSIGNAL);
            if (n <= 0) {
                dropped = errno == EPIPE || errno == ECONNRESET;
                break;
            }
            sent += static_cast<size_t>(n);
        }
        ::close(fd);
    });
    EXPECT_TRUE(dropped) << sent;
}
