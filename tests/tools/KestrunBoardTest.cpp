// kestrun-board: the frames it cuts from what a board receives, the pictures and hex dumps it
// shows, and the program itself on a loopback TCP port and on a pseudo-terminal.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "BoardCommand.h"
#include "ports/KPty.h"
#include "ports/KSocketTestSupport.h"
#include "support/KTempFolder.h"

namespace {

/// `text` with { and } standing for STX and ETX.
std::string Framed(std::string text) {
    std::replace(text.begin(), text.end(), '{', '\x02');
    std::replace(text.begin(), text.end(), '}', '\x03');
    return text;
}

// A team page as the shipped script sends it, shortened to two lines.
const std::string kPage = Framed("{C}{L00Boys 5K}{L01  1 Northfield   23}\r\n");
const char kPicture[] =
    "+-------------------+\n|Boys 5K            |\n|  1 Northfield   23|\n+-------------------+\n";

/// The program; its standard output and error together in a file.
class BoardProcess {
public:
    explicit BoardProcess(std::vector<std::string> args) {
        args.insert(args.begin(), KESTRUN_BOARD_PROGRAM);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int fd = ::open((m_folder / "output").c_str(), O_WRONLY | O_CREAT, 0600);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(fd, STDOUT_FILENO);
            ::dup2(fd, STDERR_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(fd);
    }
    ~BoardProcess() {
        if (m_pid > 0) Stop();
    }

    /// Waits until the output holds `text` (true) or for five seconds (false).
    bool ReadUntil(const std::string& text) {
        return PollUntil(
            [&] { return (output = ReadBytes(m_folder / "output")).find(text) != std::string::npos; });
    }

    /// Ends the program as Ctrl+C would; its exit status.
    int Stop() {
        ::kill(m_pid, SIGINT);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        ReadUntil("bytes received");
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    std::string output;

private:
    KTempFolder m_folder;
    pid_t m_pid = -1;
};

}  // namespace

TEST(KestrunBoard, DecoderCutsFramesWhateverTheStreamBringsAndStaysInStep) {
    const std::string big(BoardFrameDecoder::kMaxFrame, 'a');
    const struct {
        const char* name;
        std::vector<std::string> chunks;
        std::string frames;
        uint64_t dropped;
        uint64_t skipped;
    } cases[] = {
        {"whole frames", {kPage}, "C|L0:Boys 5K|L1:  1 Northfield   23|show", 0, 0},
        {"split frames", {"{L0", "2ab", "}\r", "\n{K10:1", "5:30}"}, "L2:ab|show|K:10:15:30", 0, 0},
        {"garbage between frames is skipped", {"xy}{C}zz{L99}"}, "C|L99:", 0, 5},
        {"a frame cut short by the next STX is dropped", {"{L01ab", "{L02cd}"}, "L2:cd", 1, 0},
        {"an oversized frame is dropped whole", {"{L01" + big + "}{C}"}, "C", 1, 0},
        {"unknown letters, bad rows, control bytes drop the frame", {"{Q}{L1x}{L01a\001b}{C!}{}"}, "", 5, 0},
        {"the LED sign's frames are not ours", {"{011 ABC}\x33"}, "", 1, 1},
    };
    const char* const kinds[] = {"C", "L", "K:", "show"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BoardFrameDecoder decoder;
        std::string frames;
        for (const std::string& chunk : c.chunks) {
            decoder.Feed(Framed(chunk), [&](const BoardFrame& f) {
                frames += (frames.empty() ? "" : "|") + std::string(kinds[static_cast<int>(f.kind)]) +
                          (f.kind == BoardFrame::Kind::kLine ? std::to_string(f.row) + ":" : "") + f.text;
            });
        }
        EXPECT_EQ(frames, c.frames);
        EXPECT_EQ(decoder.Dropped(), c.dropped);
        EXPECT_EQ(decoder.Skipped(), c.skipped);
    }
}

TEST(KestrunBoard, MonitorShowsOurFramesAsTheBoardAndOtherBytesAsAHexDump) {
    std::ostringstream board, hex;
    BoardMonitor boardMonitor(BoardShow::kAuto, false, board);
    // Frames show at CR LF, or when the port falls quiet; an unchanged page is not printed again.
    boardMonitor.Feed(kPage.substr(0, kPage.size() - 2));
    EXPECT_EQ(board.str(), "");
    boardMonitor.Quiet();
    boardMonitor.Feed(kPage);
    boardMonitor.Feed(Framed("{K9:05:03}\r\n"));
    EXPECT_EQ(boardMonitor.Showing(), BoardShow::kBoard);
    // The clock takes the title line's right corner.
    std::string withClock = kPicture;
    withClock.replace(22, 21, "|Boys 5K     9:05:03|");
    EXPECT_EQ(board.str(), kPicture + withClock);

    BoardMonitor hexMonitor(BoardShow::kAuto, false, hex);
    hexMonitor.Feed(Framed("{011 Lee 15:01.2}\x5A"));
    hexMonitor.Quiet();
    EXPECT_EQ(hexMonitor.Showing(), BoardShow::kHex);
    hexMonitor.Feed(std::string(20, 'x'));
    hexMonitor.Quiet();
    EXPECT_EQ(hex.str(),
              "00000000  02 30 31 31 20 4c 65 65  20 31 35 3a 30 31 2e 32  |.011 Lee 15:01.2|\n"
              "00000010  03 5a                                             |.Z|\n"
              "00000012  78 78 78 78 78 78 78 78  78 78 78 78 78 78 78 78  |xxxxxxxxxxxxxxxx|\n"
              "00000022  78 78 78 78                                       |xxxx|\n");

    // A stream without a single good frame is not held back for long.
    BoardMonitor noFrames(BoardShow::kAuto, false, hex);
    noFrames.Feed(std::string(BoardMonitor::kDecideBytes, '\x02'));
    EXPECT_EQ(noFrames.Showing(), BoardShow::kHex);
}

TEST(KestrunBoard, ProgramShowsTheBoardThatKestrunConnectsToOverTcp) {
    BoardProcess board({"-2,127.0.0.1,0"});
    ASSERT_TRUE(board.ReadUntil("\n")) << board.output;
    const size_t at = board.output.find("listening on 127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << board.output;
    KSocketHandle peer = Client(static_cast<uint16_t>(std::stoi(board.output.substr(at + 23))));
    // Noise first, as from a board that was switched on mid-stream, then the page in two pieces.
    SendText(peer, Framed("L01junk}{L01ju") + kPage.substr(0, 20));
    SendText(peer, kPage.substr(20));
    EXPECT_TRUE(board.ReadUntil(kPicture)) << board.output;
    peer.Reset();
    EXPECT_TRUE(board.ReadUntil("connection closed")) << board.output;
    EXPECT_EQ(board.Stop(), kBoardOk);
    EXPECT_NE(board.output.find("1 dropped"), std::string::npos) << board.output;
}

TEST(KestrunBoard, ProgramDumpsWhatASerialBoardReceives) {
    KPty pty;
    BoardProcess board({"--hex", pty.Path() + ",9600,8,N,1.0"});
    ASSERT_TRUE(board.ReadUntil(pty.Path())) << board.output;
    pty.Send(Framed("{011 Lee}\x40"));
    EXPECT_TRUE(
        board.ReadUntil("00000000  02 30 31 31 20 4c 65 65  03 40" + std::string(20, ' ') + "|.011 Lee.@|\n"))
        << board.output;
    EXPECT_EQ(board.Stop(), kBoardOk);
}

TEST(KestrunBoard, PortsThatCannotOpenAndBadCommandLinesEndWithAMessage) {
    KSocketHandle taken = BoundSocket(SOCK_STREAM);
    ASSERT_EQ(::listen(taken.Get(), 1), 0);
    const std::string busy = std::to_string(LocalPort(taken));
    KTempFolder folder;
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"-2,127.0.0.1," + busy}, kBoardFailed, "cannot open TCP listening on 127.0.0.1:" + busy},
        {{(folder / "no-such-tty").string()}, kBoardFailed, "No such file or directory"},
        {{"0,9600,8,N,1.0"}, kBoardFailed, "names no port"},
        {{"-1,127.0.0.1"}, kBoardFailed, "needs an IP address and a port"},
        {{}, kBoardUsageError, "no PORTSPEC given"},
        {{"--hex", "--board", "-2,0.0.0.0,1"}, kBoardUsageError, "only one of"},
        {{"--fast", "-2,0.0.0.0,1"}, kBoardUsageError, "unknown option --fast"},
        {{"--help"}, kBoardOk, "Usage: kestrun-board"},
    };
    for (const auto& c : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(RunBoard(c.args, out, err), c.status) << err.str();
        EXPECT_NE((out.str() + err.str()).find(c.message), std::string::npos) << err.str();
    }
}
