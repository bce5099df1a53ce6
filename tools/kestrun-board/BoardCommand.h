#pragma once

// kestrun-board: a scoreboard monitor for rehearsals. It listens where a board would and shows
// what arrives.

#include <atomic>
#include <chrono>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

#include "BoardMonitor.h"

struct BoardOptions {
    BoardShow show = BoardShow::kAuto;
    std::string portSpec;
    bool help = false;
};

/// A command line the monitor cannot run; the text says what is wrong.
class BoardUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Exit statuses.
inline constexpr int kBoardOk = 0;
inline constexpr int kBoardFailed = 1;      ///< a port that cannot be opened, output that cannot be written
inline constexpr int kBoardUsageError = 2;  ///< bad command line

/// Throws BoardUsageError.
BoardOptions ParseBoardArguments(const std::vector<std::string>& args);
std::string BoardUsage();

/// What the program takes from where it runs.
struct BoardEnvironment {
    bool terminal = false;                    ///< `out` is a terminal: redraw the board in place
    const std::atomic<bool>* stop = nullptr;  ///< set (by a signal) to end the run
    std::chrono::milliseconds quiet{150};     ///< silence after which received frames are shown
};

/// The whole program: the board or the hex dump go to `out`, the port's state and the closing
/// summary to `err`. Runs until `stop` is set. Never throws.
int RunBoard(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const BoardEnvironment& environment = {});
