#include "support/RunProgram.h"

#include <cstdio>
#include <sys/wait.h>

namespace hvtest {

ProgramRun runProgram(const std::string& commandLine) {
    ProgramRun r;
    FILE* p = popen(commandLine.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

}  // namespace hvtest
