// kestrun-board: a scoreboard monitor for rehearsals.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "BoardCommand.h"

namespace {

std::atomic<bool> g_stop = false;

extern "C" void OnStop(int) { g_stop.store(true); }

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    struct sigaction action {};
    action.sa_handler = OnStop;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    // A closed pipe shows as a failed write, which ends the run with a message.
    std::signal(SIGPIPE, SIG_IGN);
    return RunBoard(args, std::cout, std::cerr, {.terminal = ::isatty(STDOUT_FILENO) == 1, .stop = &g_stop});
}
