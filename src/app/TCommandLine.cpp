#include "app/TCommandLine.h"

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

TCommandLine::TCommandLine(std::string programPath, std::string_view commandLine) {
    m_arguments.push_back(std::move(programPath));
    for (auto& argument : Split(commandLine)) {
        m_arguments.push_back(std::move(argument));
    }
}

TCommandLine::TCommandLine(std::string programPath, int argc, const char* const* argv) {
    m_arguments.push_back(!programPath.empty() || argc < 1 || argv[0] == nullptr ? std::move(programPath)
                                                                                 : std::string(argv[0]));
    for (int i = 1; i < argc; ++i) {
        if (argv[i] != nullptr) {
            m_arguments.emplace_back(argv[i]);
        }
    }
}

std::vector<std::string> TCommandLine::Split(std::string_view commandLine) {
    std::vector<std::string> arguments;
    size_t i = 0;
    while (i < commandLine.size()) {
        if (IsBlank(commandLine[i])) {
            ++i;
            continue;
        }
        size_t end;
        if (commandLine[i] == '"') {
            ++i;
            end = commandLine.find('"', i);
            if (end == std::string_view::npos) {
                end = commandLine.size();
            }
            arguments.emplace_back(commandLine.substr(i, end - i));
            i = end < commandLine.size() ? end + 1 : end;
        } else {
            end = i;
            while (end < commandLine.size() && !IsBlank(commandLine[end])) {
                ++end;
            }
            arguments.emplace_back(commandLine.substr(i, end - i));
            i = end;
        }
    }
    return arguments;
}

bool TCommandLine::HasOption(std::string_view option) const {
    for (size_t i = 1; i < m_arguments.size(); ++i) {
        if (std::string_view(m_arguments[i]).starts_with(option)) {
            return true;
        }
    }
    return false;
}
