#pragma once

// kestrun-sim: a timing system for rehearsals. It plays a race (a results file, or a generated
// one) and sends the Gatemark results message after each finisher.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct SimOptions {
    std::optional<int> runners;  ///< generated race; 100 when not given
    std::optional<int> teams;    ///< generated race; 8 when not given
    double speed = 1.0;          ///< race seconds per second
    std::optional<std::string> event;
    int intervalMs = 0;  ///< least time between two messages
    double noise = 0.0;  ///< probability of random bytes before a message
    std::optional<uint64_t> seed;
    std::optional<std::filesystem::path> race;
    std::string portSpec;
    bool help = false;
};

/// A command line the simulator cannot run; the text says what is wrong.
class SimUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Exit statuses.
inline constexpr int kSimOk = 0;
inline constexpr int kSimFailed = 1;      ///< unreadable race file, port that cannot open or broke
inline constexpr int kSimUsageError = 2;  ///< bad command line

/// Options and operands in any order; "--name value" or "--name=value". Throws SimUsageError.
SimOptions ParseSimArguments(const std::vector<std::string>& args);
std::string SimUsage();

/// What the program takes from where it runs; tests shorten the waits.
struct SimEnvironment {
    bool terminal = false;                         ///< `err` is a terminal: keep a progress line there
    std::chrono::milliseconds connectWait{30000};  ///< for a TCP peer, and for a port that takes nothing
};

/// The whole program: the progress line and messages go to `err`, the closing summary to `out`.
/// Never throws.
int RunSim(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const SimEnvironment& environment = {});
