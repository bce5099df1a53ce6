#pragma once

// The program's argument vector. Argument 0 is the full path of the program
// file; the others come from the command line, split at blanks and tabs, a
// double quote at the start of an argument running it to the next double
// quote.

#include <string>
#include <string_view>
#include <vector>

class TCommandLine {
public:
    /// The one command-line option: skip enumerating the serial ports.
    static constexpr std::string_view kNoSerialPort = "-noserialport";

    TCommandLine() = default;
    /// `programPath` becomes argument 0; `commandLine` is split as described above.
    TCommandLine(std::string programPath, std::string_view commandLine);
    /// The shell has already split the arguments; argument 0 is replaced by `programPath`
    /// when that is not empty.
    TCommandLine(std::string programPath, int argc, const char* const* argv);

    /// Splits a command line at blanks and tabs; a double quote that starts an argument runs it to
    /// the next double quote (or the end), without the quotes.
    static std::vector<std::string> Split(std::string_view commandLine);

    const std::vector<std::string>& Arguments() const { return m_arguments; }
    /// True when an argument after argument 0 begins with `option`.
    bool HasOption(std::string_view option) const;

private:
    std::vector<std::string> m_arguments;
};
