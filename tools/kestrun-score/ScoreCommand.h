#pragma once

// The offline team scorer: reads a results file, scores it with the same
// engine as the program, and prints the standings.

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/KString.h"

class EventRecord;
struct ResultCodeTexts;

enum class ScoreFormat { Text, Csv };

struct ScoreOptions {
    int32_t minRunners = 5;
    int32_t scorers = 5;
    int32_t displacers = 2;
    bool nonScoringGiven = false;  ///< otherwise the built-in entries
    std::vector<KString> nonScoring;
    bool nonScoringDisplace = true;
    bool resetScores = true;
    bool lapsCountUp = false;
    bool finalize = false;
    ScoreFormat format = ScoreFormat::Text;
    bool help = false;
    std::filesystem::path file;
};

/// A command line the scorer cannot run; the text says what is wrong.
class ScoreUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Exit statuses.
inline constexpr int kScoreOk = 0;
inline constexpr int kScoreInputError = 1;  ///< missing or unreadable file, bad row
inline constexpr int kScoreUsageError = 2;  ///< bad command line

/// Options and the file name, in any order; "--name value" or "--name=value".
/// Throws ScoreUsageError.
ScoreOptions ParseScoreArguments(const std::vector<std::string>& args);
std::string ScoreUsage();

/// Applies each row as a one-line input update (ApplyInputUpdate), so the
/// program and the scorer make results alike: the row with the Id of an earlier
/// row updates that result (place, time, split, laps); a row without an Id is
/// always a new result. A code text of `codes` (any case) in the place or time
/// column is read as that code; `codes` are the ones the event's records use.
/// Returns the number of rows read. Throws ResultsCsvError for an unreadable
/// file or row.
size_t LoadResultsCsv(std::istream& in, EventRecord& event, const ResultCodeTexts& codes);

/// The standings as `--format csv` prints them; the caller holds the event's lock.
void PrintStandingsCsv(EventRecord& event, std::ostream& out);

/// Most results a file may hold, so a runaway file cannot exhaust memory.
inline constexpr size_t kMaxScoredResults = 100000;

/// The whole program: messages go to `err`, the standings to `out`. Never throws.
int RunScore(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
