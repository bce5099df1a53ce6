// kestrun-score: team standings from a results file, for meet officials.
#include <iostream>
#include <string>
#include <vector>

#include "ScoreCommand.h"

int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return RunScore(args, std::cout, std::cerr);
}
