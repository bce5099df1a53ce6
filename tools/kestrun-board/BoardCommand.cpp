#include "BoardCommand.h"

#include <algorithm>
#include <ostream>
#include <thread>

#include "BoardPort.h"

namespace {

using Clock = std::chrono::steady_clock;

// Bytes taken from the port before the monitor draws: a burst cannot hold it up for long.
constexpr size_t kReadPiece = 65536;
constexpr auto kPollWait = std::chrono::milliseconds(50);

}  // namespace

std::string BoardUsage() {
    return "Usage: kestrun-board [--hex | --board] PORTSPEC\n"
           "A scoreboard for rehearsals: listens where a board would and shows what arrives.\n"
           "The Telerank video protocol of our scripts (docs/board-protocols.md) is shown as the\n"
           "board shows it; anything else as a hex dump with the printable text beside it.\n"
           "\n"
           "PORTSPEC   where the board is, as Kestrun writes port specifications:\n"
           "             -2,0.0.0.0,1024       TCP listen (where Kestrun's default scoreboard\n"
           "                                   connects); port 0 takes any free port\n"
           "             -1,127.0.0.1,1024     TCP connect, to a Kestrun that listens\n"
           "             -3,0.0.0.0,1024       UDP, datagrams to that port\n"
           "             1,9600,8,N,1.0        COM1 (/dev/ttyS0; COM5 is /dev/ttyUSB0 ...)\n"
           "             /dev/pts/3,9600,8,N,1.0  a serial device by its path\n"
           "\n"
           "Options:\n"
           "  --hex     always a hex dump\n"
           "  --board   always the board, even before the first good frame\n"
           "  --help    show this text\n"
           "\n"
           "On a terminal the board is redrawn in place; piped, each new picture is printed.\n"
           "The port's state goes to standard error. Ctrl+C ends the run.\n"
           "Exit status: 0 ended by Ctrl+C or a signal, 1 a port that could not be opened,\n"
           "2 bad command line.\n";
}

BoardOptions ParseBoardArguments(const std::vector<std::string>& args) {
    BoardOptions options;
    std::vector<std::string> operands;
    bool shown = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // A port specification may start with a minus sign: only "--" starts an option.
        if (arg == "--") {
            operands.insert(operands.end(), args.begin() + static_cast<ptrdiff_t>(i) + 1, args.end());
            break;
        }
        if (!arg.starts_with("--")) {
            operands.push_back(arg);
        } else if (arg == "--help") {
            options.help = true;
        } else if (arg == "--hex" || arg == "--board") {
            if (shown) throw BoardUsageError("give only one of --hex and --board");
            shown = true;
            options.show = arg == "--hex" ? BoardShow::kHex : BoardShow::kBoard;
        } else {
            throw BoardUsageError("unknown option " + arg);
        }
    }
    if (options.help) return options;
    if (operands.empty()) throw BoardUsageError("no PORTSPEC given (where to listen, e.g. -2,0.0.0.0,1024)");
    if (operands.size() > 1)
        throw BoardUsageError("give one PORTSPEC, not " + std::to_string(operands.size()));
    options.portSpec = operands.front();
    return options;
}

int RunBoard(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const BoardEnvironment& environment) {
    try {
        BoardOptions options;
        try {
            options = ParseBoardArguments(args);
        } catch (const BoardUsageError& error) {
            err << "kestrun-board: " << error.what() << "\nTry 'kestrun-board --help'.\n";
            return kBoardUsageError;
        }
        if (options.help) {
            out << BoardUsage();
            return out.flush() ? kBoardOk : kBoardFailed;
        }

        BoardPort port(options.portSpec);
        err << "kestrun-board: " << port.Name() << std::endl;
        BoardMonitor monitor(options.show, environment.terminal, out);
        bool connected = false;
        bool quiet = true;
        auto lastData = Clock::now();
        std::string bytes;
        // Set when the port said it was readable: a port that keeps saying so and gives nothing
        // (a hung-up serial line) is then polled at a calm pace instead of in a tight loop.
        bool ready = false;
        while (environment.stop == nullptr || !environment.stop->load()) {
            if (port.IsConnected() != connected) {
                connected = !connected;
                if (port.NeedsPeer())
                    err << "kestrun-board: " << (connected ? "connected" : "connection closed") << std::endl;
            }
            bytes.clear();
            if (connected) port.Read(bytes, kReadPiece);
            if (!bytes.empty()) {
                monitor.Feed(bytes);
                lastData = Clock::now();
                quiet = false;
                ready = false;
            } else if (!quiet && Clock::now() - lastData >= environment.quiet) {
                monitor.Quiet();
                quiet = true;
            }
            if (!out) {
                err << "kestrun-board: cannot write the output\n";
                return kBoardFailed;
            }
            if (!bytes.empty()) continue;
            if (connected && !ready) {
                ready = port.Wait(quiet ? kPollWait : std::min(kPollWait, environment.quiet));
            } else {
                std::this_thread::sleep_for(kPollWait);
                ready = false;
            }
        }
        monitor.Quiet();
        err << "kestrun-board: " << monitor.Bytes() << " bytes received";
        if (monitor.Showing() == BoardShow::kBoard) {
            const BoardFrameDecoder& decoder = monitor.Decoder();
            err << ", " << decoder.Frames() << " frames, " << decoder.Dropped() << " dropped, "
                << decoder.Skipped() << " bytes skipped";
        }
        err << "\n";
        return out.flush() ? kBoardOk : kBoardFailed;
    } catch (const BoardPortError& error) {
        err << "kestrun-board: " << error.what() << "\n";
    } catch (const std::bad_alloc&) {
        err << "kestrun-board: out of memory\n";
    } catch (const std::exception& error) {
        err << "kestrun-board: " << error.what() << "\n";
    }
    return kBoardFailed;
}
