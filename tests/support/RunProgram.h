#pragma once
// Runs a shell command line and collects what it prints on standard output.
#include <string>

namespace hvtest {

struct ProgramRun {
    int status = -1;  // the exit status, -1 when it did not exit normally
    std::string out;
};

ProgramRun runProgram(const std::string& commandLine);

}  // namespace hvtest
