// kestrun-board: the frames it cuts from what a board receives, the pictures and hex dumps it
// shows, and the whole program on a loopback TCP port and on a pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
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

/// The program run on a thread, its board and messages together in a file, until Stop ends it as
/// Ctrl+C would.
struct BoardRun {
    explicit BoardRun(const std::vector<std::string>& args)
        : thread([this, args] { status = RunBoard(args, file, file, {.stop = &stop}); }) {}
    ~BoardRun() { Stop(); }

    /// Waits until the output holds `text` (true) or for five seconds (false).
    bool ReadUntil(const std::string& text) {
        return PollUntil([&] { return (output = ReadBytes(path)).find(text) != std::string::npos; });
    }

    /// The exit status.
    int Stop() {
        stop = true;
        if (thread.joinable()) thread.join();
        return status;
    }

    std::string output;
    KTempFolder folder;
    std::filesystem::path path = folder / "output";
    std::ofstream file{path};
    std::atomic<bool> stop = false;
    int status = -1;
    std::thread thread;  // last: it runs once everything above is there
};

}  // namespace

TEST(KestrunBoard, DecoderCutsFramesWhateverTheStreamBringsAndStaysInStep) {
    // What arrives in pieces; the frames, then how many frames were dropped and bytes skipped.
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"{L0", "2ab", "}\r", "\n{K10:1", "5:30}"}, "L2:ab|show|K:10:15:30 0/0"},
        // Noise between frames is skipped.
        {{"xy}{C}zz{L99}"}, "C|L99: 0/5"},
        // A frame cut short by the next STX, an oversized frame, unknown letters, bad rows and
        // control bytes drop the frame; so do the LED sign's frames.
        {{"{L01ab", "{L02cd}"}, "L2:cd 1/0"},
        {{"{L01" + std::string(BoardFrameDecoder::kMaxFrame, 'a') + "}{C}"}, "C 1/0"},
        {{"{Q}{L1x}{L01a\001b}{C!}{}"}, " 5/0"},
        {{"{011 ABC}\x33"}, " 1/1"},
    };
    const char* const kinds[] = {"C", "L", "K:", "show"};
    for (const auto& [chunks, expected] : cases) {
        BoardFrameDecoder decoder;
        std::string frames;
        for (const std::string& chunk : chunks) {
            decoder.Feed(Framed(chunk), [&](const BoardFrame& f) {
                frames += (frames.empty() ? "" : "|") + std::string(kinds[static_cast<int>(f.kind)]) +
                          (f.kind == BoardFrame::Kind::kLine ? std::to_string(f.row) + ":" : "") + f.text;
            });
        }
        EXPECT_EQ(frames + " " + std::to_string(decoder.Dropped()) + "/" + std::to_string(decoder.Skipped()),
                  expected);
    }
}

TEST(KestrunBoard, MonitorShowsOurFramesAsTheBoardAndOtherBytesAsAHexDump) {
    std::ostringstream board;
    BoardMonitor boardMonitor(BoardShow::kAuto, false, board);
    // Frames show at CR LF, or when the port falls quiet; an unchanged page is not printed again.
    boardMonitor.Feed(kPage.substr(0, kPage.size() - 2));
    EXPECT_EQ(board.str(), "");
    boardMonitor.Quiet();
    boardMonitor.Feed(kPage);
    boardMonitor.Feed(Framed("{K9:05:03}\r\n"));
    // The clock takes the title line's right corner.
    std::string withClock = kPicture;
    withClock.replace(22, 21, "|Boys 5K     9:05:03|");
    EXPECT_EQ(board.str(), kPicture + withClock);

    // A stream without a single good frame is not held back for long.
    BoardMonitor noFrames(BoardShow::kAuto, false, board);
    noFrames.Feed(std::string(BoardMonitor::kDecideBytes, '\x02'));
    EXPECT_EQ(noFrames.Showing(), BoardShow::kHex);
}

TEST(KestrunBoard, ProgramShowsTheBoardThatKestrunConnectsToOverTcp) {
    BoardRun board({"-2,127.0.0.1,0"});
    // The whole line is written at once.
    ASSERT_TRUE(board.ReadUntil("listening on 127.0.0.1:")) << board.output;
    const std::string port = board.output.substr(board.output.find("127.0.0.1:") + 10);
    KSocketHandle peer = Client(static_cast<uint16_t>(std::stoi(port)));
    // Noise first, as from a board that was switched on mid-stream, then the page in two pieces.
    SendText(peer, Framed("L01junk}{L01ju") + kPage.substr(0, 20));
    SendText(peer, kPage.substr(20));
    EXPECT_TRUE(board.ReadUntil(kPicture)) << board.output;
    peer.Reset();
    EXPECT_TRUE(board.ReadUntil("connection closed")) << board.output;
    EXPECT_EQ(board.Stop(), kBoardOk);
    EXPECT_TRUE(board.ReadUntil("1 dropped")) << board.output;
}

TEST(KestrunBoard, ProgramDumpsWhatASerialBoardReceivesThatIsNotOurFrames) {
    KPty pty;
    BoardRun board({pty.Path() + ",9600,8,N,1.0"});
    ASSERT_TRUE(board.ReadUntil(pty.Path())) << board.output;
    // The LED sign's frames, in two pieces: the dump goes on where it stopped.
    pty.Send(Framed("{011 Lee 15:01.2}\x5A"));
    ASSERT_TRUE(board.ReadUntil("|.Z|\n")) << board.output;
    pty.Send("xxxx");
    EXPECT_TRUE(
        board.ReadUntil("00000000  02 30 31 31 20 4c 65 65  20 31 35 3a 30 31 2e 32  |.011 Lee 15:01.2|\n"
                        "00000010  03 5a                                             |.Z|\n"
                        "00000012  78 78 78 78                                       |xxxx|\n"))
        << board.output;
    EXPECT_EQ(board.Stop(), kBoardOk);
}

TEST(KestrunBoard, PortsThatCannotOpenAndBadCommandLinesEndWithAMessage) {
    KSocketHandle taken = BoundSocket(SOCK_STREAM);
    ASSERT_EQ(::listen(taken.Get(), 1), 0);
    const std::string busy = std::to_string(LocalPort(taken));
    // The command line, the exit status and what the messages say.
    const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
        {{"-2,127.0.0.1," + busy}, kBoardFailed, "cannot open TCP listening on 127.0.0.1:" + busy},
        {{"/proc/no-such-tty"}, kBoardFailed, "No such file or directory"},
        {{"0,9600,8,N,1.0"}, kBoardFailed, "names no port"},
        {{"-1,127.0.0.1"}, kBoardFailed, "needs an IP address and a port"},
        {{}, kBoardUsageError, "no PORTSPEC given"},
        {{"--hex", "--board", "-2,0.0.0.0,1"}, kBoardUsageError, "only one of"},
        {{"--fast", "-2,0.0.0.0,1"}, kBoardUsageError, "unknown option --fast"},
        {{"--help"}, kBoardOk, "Usage: kestrun-board"},
    };
    for (const auto& [args, status, message] : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(RunBoard(args, out, err), status) << err.str();
        EXPECT_NE((out.str() + err.str()).find(message), std::string::npos) << err.str();
    }
}
