// kestrun-board: the frames it cuts from what a board receives, the pictures and hex dumps it
// shows, and the program itself on a loopback TCP port and on a pseudo-terminal.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "BoardCommand.h"
#include "BoardFrameDecoder.h"
#include "BoardMonitor.h"
#include "HexDump.h"
#include "support/KTempFolder.h"

namespace {

using namespace std::chrono_literals;

std::string Describe(const BoardFrame& frame) {
    const char* const kinds[] = {"C", "L", "K:", "show"};
    return kinds[static_cast<int>(frame.kind)] +
           (frame.kind == BoardFrame::Kind::kLine ? std::to_string(frame.row) + ":" : "") + frame.text;
}

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A team page as the shipped script sends it, shortened to two lines.
const std::string kPage =
    "\x02"
    "C\x03\x02L00Boys 5K\x03\x02L01  1 Northfield   23\x03\r\n";
const std::vector<std::string> kPicture = {"+-------------------+", "|Boys 5K            |",
                                           "|  1 Northfield   23|", "+-------------------+"};

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

/// The program, its standard output and error read through pipes.
class BoardProcess {
public:
    explicit BoardProcess(std::vector<std::string> args) {
        int outPipe[2], errPipe[2];
        if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0) std::abort();
        args.insert(args.begin(), KESTRUN_BOARD_PROGRAM);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(outPipe[1], STDOUT_FILENO);
            ::dup2(errPipe[1], STDERR_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(outPipe[1]);
        ::close(errPipe[1]);
        m_fds[0] = outPipe[0];
        m_fds[1] = errPipe[0];
    }
    ~BoardProcess() {
        if (m_pid > 0) Stop();
        ::close(m_fds[0]);
        ::close(m_fds[1]);
    }

    /// Reads both pipes until `done` holds (true) or 10 s passed (false).
    template <typename Done>
    bool ReadUntil(Done done) {
        const auto limit = std::chrono::steady_clock::now() + 10s;
        while (!done()) {
            if (std::chrono::steady_clock::now() > limit) return false;
            pollfd fds[2] = {{m_fds[0], POLLIN, 0}, {m_fds[1], POLLIN, 0}};
            if (::poll(fds, 2, 100) <= 0) continue;
            for (int i = 0; i < 2; ++i) {
                char buffer[4096];
                if ((fds[i].revents & (POLLIN | POLLHUP)) == 0) continue;
                const ssize_t n = ::read(m_fds[i], buffer, sizeof buffer);
                if (n > 0) (i == 0 ? out : err).append(buffer, static_cast<size_t>(n));
            }
        }
        return true;
    }

    /// Ends the program as Ctrl+C would; its exit status.
    int Stop() {
        ::kill(m_pid, SIGINT);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        ReadUntil([&] { return err.find("bytes received") != std::string::npos; });
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    std::string out;
    std::string err;

private:
    pid_t m_pid = -1;
    int m_fds[2] = {-1, -1};
};

}  // namespace

TEST(KestrunBoard, DecoderCutsFramesWhateverTheStreamBringsAndStaysInStep) {
    const std::string oversized = "\x02L01" + std::string(BoardFrameDecoder::kMaxFrame, 'a') + "\x03";
    struct Case {
        const char* name;
        std::vector<std::string> chunks;
        std::string frames;
        uint64_t dropped;
        uint64_t skipped;
    };
    const Case cases[] = {
        {"whole frames", {kPage}, "C|L0:Boys 5K|L1:  1 Northfield   23|show", 0, 0},
        {"split frames",
         {"\x02L0", "2ab", "\x03\r", "\n\x02K10:1", "5:30\x03"},
         "L2:ab|show|K:10:15:30",
         0,
         0},
        {"garbage between frames is skipped",
         {"xy\x03\x02"
          "C\x03zz\x02L99\x03"},
         "C|L99:",
         0,
         5},
        {"a frame cut short by the next STX is dropped", {"\x02L01ab", "\x02L02cd\x03"}, "L2:cd", 1, 0},
        {"an oversized frame is dropped whole",
         {oversized + "\x02"
                      "C\x03"},
         "C",
         1,
         0},
        {"unknown letters, rows without digits and control bytes drop the frame",
         {"\x02Q\x03\x02L1x\x03\x02L01a\x01"
          "b\x03\x02"
          "C!\x03\x02\x03"},
         "",
         5,
         0},
        {"the LED sign's frames are not ours",
         {"\x02"
          "011 ABC\x03\x33"},
         "",
         1,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BoardFrameDecoder decoder;
        std::string frames;
        for (const std::string& chunk : c.chunks)
            decoder.Feed(chunk,
                         [&](const BoardFrame& f) { frames += (frames.empty() ? "" : "|") + Describe(f); });
        EXPECT_EQ(frames, c.frames);
        EXPECT_EQ(decoder.Dropped(), c.dropped);
        EXPECT_EQ(decoder.Skipped(), c.skipped);
    }
}

TEST(KestrunBoard, MonitorShowsOurFramesAsTheBoardAndOtherBytesAsAHexDump) {
    {
        std::ostringstream out;
        BoardMonitor monitor(BoardShow::kAuto, false, out);
        // Frames show at CR LF, or when the port falls quiet; an unchanged page is not printed again.
        monitor.Feed(kPage.substr(0, kPage.size() - 2));
        EXPECT_EQ(out.str(), "");
        monitor.Quiet();
        monitor.Feed(kPage);
        monitor.Feed("\x02K9:05:03\x03\r\n");
        EXPECT_EQ(monitor.Showing(), BoardShow::kBoard);
        // The clock takes the title line's right corner.
        std::vector<std::string> withClock = kPicture;
        withClock[1] = "|Boys 5K     9:05:03|";
        EXPECT_EQ(out.str(), Joined(kPicture) + Joined(withClock));
    }
    {
        std::ostringstream out;
        BoardMonitor monitor(BoardShow::kAuto, false, out);
        monitor.Feed(
            "\x02"
            "011 Lee 15:01.2\x03\x5A");
        monitor.Quiet();
        EXPECT_EQ(monitor.Showing(), BoardShow::kHex);
        monitor.Feed(std::string(20, 'x'));
        monitor.Quiet();
        EXPECT_EQ(out.str(),
                  "00000000  02 30 31 31 20 4c 65 65  20 31 35 3a 30 31 2e 32  |.011 Lee 15:01.2|\n"
                  "00000010  03 5a                                             |.Z|\n"
                  "00000012  78 78 78 78 78 78 78 78  78 78 78 78 78 78 78 78  |xxxxxxxxxxxxxxxx|\n"
                  "00000022  78 78 78 78                                       |xxxx|\n");
    }
    {
        // A stream without a single good frame is not held back for long.
        std::ostringstream out;
        BoardMonitor monitor(BoardShow::kAuto, false, out);
        monitor.Feed(std::string(BoardMonitor::kDecideBytes, '\x02'));
        EXPECT_EQ(monitor.Showing(), BoardShow::kHex);
    }
}

TEST(KestrunBoard, ProgramShowsTheBoardThatKestrunConnectsToOverTcp) {
    BoardProcess board({"-2,127.0.0.1,0"});
    std::string port;
    ASSERT_TRUE(board.ReadUntil([&] {
        const size_t at = board.err.find("listening on 127.0.0.1:");
        if (at == std::string::npos || board.err.find('\n', at) == std::string::npos) return false;
        port = board.err.substr(at + 23, board.err.find('\n', at) - at - 23);
        return true;
    })) << board.err;

    const int peer = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(static_cast<uint16_t>(std::stoi(port)));
    ASSERT_EQ(::connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // Noise first, as from a board that was switched on mid-stream, then the page in two pieces.
    for (const std::string& piece :
         {std::string("L01junk\x03\x02L01ju") + kPage.substr(0, 20), kPage.substr(20)})
        ASSERT_EQ(::write(peer, piece.data(), piece.size()), static_cast<ssize_t>(piece.size()));
    EXPECT_TRUE(board.ReadUntil([&] { return board.out == Joined(kPicture); })) << board.out;
    ::close(peer);
    EXPECT_TRUE(board.ReadUntil([&] { return board.err.find("connection closed") != std::string::npos; }));
    EXPECT_EQ(board.Stop(), kBoardOk);
    EXPECT_NE(board.err.find("1 dropped"), std::string::npos) << board.err;
}

TEST(KestrunBoard, ProgramDumpsWhatASerialBoardReceives) {
    int master = -1, slave = -1;
    char path[128];
    ASSERT_EQ(::openpty(&master, &slave, path, nullptr, nullptr), 0);
    BoardProcess board({"--hex", std::string(path) + ",9600,8,N,1.0"});
    ASSERT_TRUE(board.ReadUntil([&] { return board.err.find(path) != std::string::npos; })) << board.err;
    const std::string bytes =
        "\x02"
        "011 Lee\x03\x40";
    ASSERT_EQ(::write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    const std::string expected =
        "00000000  02 30 31 31 20 4c 65 65  03 40" + std::string(20, ' ') + "|.011 Lee.@|\n";
    EXPECT_TRUE(board.ReadUntil([&] { return board.out == expected; })) << board.out;
    EXPECT_EQ(board.Stop(), kBoardOk);
    ::close(master);
    ::close(slave);
}

TEST(KestrunBoard, PortsThatCannotOpenAndBadCommandLinesEndWithAMessage) {
    const int taken = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(taken, 1), 0);
    ::getsockname(taken, reinterpret_cast<sockaddr*>(&address), &size);
    const std::string busy = "-2,127.0.0.1," + std::to_string(ntohs(address.sin_port));
    KTempFolder folder;

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{busy},
         kBoardFailed,
         "cannot open TCP listening on 127.0.0.1:" + std::to_string(ntohs(address.sin_port))},
        {{(folder / "no-such-tty").string()}, kBoardFailed, "No such file or directory"},
        {{"0,9600,8,N,1.0"}, kBoardFailed, "names no port"},
        {{"-1,127.0.0.1"}, kBoardFailed, "needs an IP address and a port"},
        {{}, kBoardUsageError, "no PORTSPEC given"},
        {{"--hex", "--board", "-2,0.0.0.0,1"}, kBoardUsageError, "only one of"},
        {{"--fast", "-2,0.0.0.0,1"}, kBoardUsageError, "unknown option --fast"},
    };
    for (const Case& c : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(RunBoard(c.args, out, err), c.status) << err.str();
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    }
    std::ostringstream out, err;
    EXPECT_EQ(RunBoard({"--help"}, out, err), kBoardOk);
    EXPECT_NE(out.str().find("Usage: kestrun-board"), std::string::npos);
    ::close(taken);
}
