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
#include <thread>

#include "app/TZIpcServer.h"
#include "app/TestFolder.h"

using Answer = TIpcService::Answer;

TEST(TIpcService, ConnectIsAcceptedOnlyForServiceKestrunAndTopicSystem) {
    struct Case {
        const char* line;
        Answer expected;
    };
    const Case cases[] = {
        {"CONNECT Kestrun System", Answer::Accepted},
        {"CONNECT kestrun SYSTEM", Answer::Accepted},  // names compare as DDE names do
        {"CONNECT Kestrun Other", Answer::Refused},
        {"CONNECT Other System", Answer::Refused},
        {"CONNECT Kestrun", Answer::Error},
        {"CONNECT Kestrun System extra", Answer::Error},
        {"HELLO", Answer::Error},
    };
    for (const Case& c : cases) {
        TIpcService service;
        TIpcService::Conversation conversation;
        EXPECT_EQ(service.HandleLine(conversation, c.line), c.expected) << c.line;
    }
}

TEST(TIpcService, ExecuteStoresThePendingCommandAndIsBusyWhileOneIsPending) {
    TIpcService service;
    TIpcService::Conversation conversation;
    EXPECT_EQ(service.HandleLine(conversation, "EXECUTE [Open(\"x\")]"),
              Answer::NotProcessed);  // not connected
    ASSERT_EQ(service.HandleLine(conversation, "CONNECT Kestrun System"), Answer::Accepted);
    EXPECT_EQ(service.HandleLine(conversation, "EXECUTE [Open(\"x\")]"), Answer::Ack);
    EXPECT_EQ(service.PendingCommand(), u"[Open(\"x\")]");
    EXPECT_EQ(service.HandleLine(conversation, "EXECUTE second"), Answer::Busy);
    EXPECT_EQ(service.PendingCommand(), u"[Open(\"x\")]");
    EXPECT_EQ(service.TakePendingCommand(), u"[Open(\"x\")]");
    EXPECT_EQ(service.HandleLine(conversation, "EXECUTE second"), Answer::Ack);
}

TEST(TIpcService, ExecuteOnAnotherTopicIsNotProcessed) {
    TIpcService service;
    EXPECT_EQ(service.Execute(u"Other", u"data"), Answer::NotProcessed);
    EXPECT_FALSE(service.HasPendingCommand());
    EXPECT_EQ(service.Execute(u"System", u"data"), Answer::Ack);
}

TEST(TIpcService, CommandKeepsAtMost511Characters) {
    TIpcService service;
    TIpcService::Conversation conversation;
    service.HandleLine(conversation, "CONNECT Kestrun System");
    EXPECT_EQ(service.HandleLine(conversation, "EXECUTE " + std::string(600, 'x')), Answer::Ack);
    EXPECT_EQ(service.PendingCommand(), KString(511, u'x'));
    EXPECT_EQ(service.HandleLine(conversation, std::string(TIpcService::kMaxLine + 1, 'x')), Answer::Error);
}

namespace {

// A blocking client on the socket, run on its own thread while the main thread serves.
std::string Converse(const std::filesystem::path& path, const std::string& request) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const timeval limit{10, 0};  // never hang the test when the server does not answer
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return "no connection";
    }
    (void)::write(fd, request.data(), request.size());
    ::shutdown(fd, SHUT_WR);
    std::string reply;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
        reply.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return reply;
}

}  // namespace

TEST(TZIpcServer, AnswersEachRequestLineOverTheSocket) {
    int argc = 1;
    char name[] = "app_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication qt(argc, argv);
    TestFolder folder;
    TIpcService service;
    TZIpcServer server(service);
    ASSERT_TRUE(server.Start(folder.Path()));
    struct stat info {};
    ASSERT_EQ(::stat(server.SocketPath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u);

    std::string reply;
    std::atomic<bool> done{false};
    std::thread client([&] {
        reply = Converse(server.SocketPath(),
                         "CONNECT Kestrun Other\r\nCONNECT Kestrun System\nEXECUTE go\nEXECUTE again\n" +
                             std::string(2 * TIpcService::kMaxLine, 'x') + "\nEXECUTE never\n");
        done = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    client.join();
    EXPECT_EQ(reply, "REFUSED\nACCEPTED\nACK\nBUSY\nERROR\n");
    EXPECT_EQ(service.PendingCommand(), u"go");
}

TEST(TZIpcServer, ReplacesASocketFileLeftBehind) {
    int argc = 1;
    char name[] = "app_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication qt(argc, argv);
    TestFolder folder;
    TIpcService service;
    {
        TZIpcServer earlier(service);
        ASSERT_TRUE(earlier.Start(folder.Path()));
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);  // a stale socket file with nobody behind it
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", (folder.Path() / "Kestrun").c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    TZIpcServer server(service);
    EXPECT_TRUE(server.Start(folder.Path()));
    EXPECT_FALSE(TZIpcServer(service).Start("/nonexistent/kestrun"));
}

TEST(TZIpcServer, ClientThatNeverReadsItsAnswersIsDropped) {
    int argc = 1;
    char name[] = "app_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication qt(argc, argv);
    TestFolder folder;
    TIpcService service;
    TZIpcServer server(service);
    ASSERT_TRUE(server.Start(folder.Path()));

    std::atomic<bool> done{false};
    size_t sent = 0;
    bool dropped = false;
    std::thread client([&] {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const timeval limit{10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", server.SocketPath().c_str());
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            const std::string requests(64 * 1024, '\n');  // each empty line is answered ERROR
            while (sent < 64u * 1024 * 1024) {
                const ssize_t n = ::send(fd, requests.data(), requests.size(), MSG_NOSIGNAL);
                if (n <= 0) {
                    dropped = errno == EPIPE || errno == ECONNRESET;
                    break;
                }
                sent += static_cast<size_t>(n);
            }
        }
        ::close(fd);
        done = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    client.join();
    EXPECT_TRUE(dropped) << sent;
}
