// kestrun-sim: a simulated timing system that plays a race into a Kestrun source.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "SimCommand.h"

int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return RunSim(args, std::cout, std::cerr, {.terminal = ::isatty(STDERR_FILENO) == 1});
}
