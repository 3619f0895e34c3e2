#include "src/debugger.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <ctime>

#include "base/BASE_RegularFile.h"

namespace {

constexpr const char* kStampFormat = "%Y-%m-%d.%X";

}  // namespace

bool holdsDebugLog(int fd) {
    // Empty, or its first line begins as printDebugInfo begins one: a date
    // as "2020-02-04.", then the time in the locale's form, a tab and a blank.
    char head[96];
    const ssize_t n = ::pread(fd, head, sizeof head, 0);
    if (n == 0) return true;
    if (n < 13) return false;
    for (int i = 0; i < 10; ++i)
        if ((i == 4 || i == 7) ? head[i] != '-' : !std::isdigit(static_cast<unsigned char>(head[i]))) return false;
    if (head[10] != '.') return false;
    for (ssize_t i = 11; i + 1 < n && head[i] != '\n'; ++i)
        if (head[i] == '\t') return head[i + 1] == ' ';
    return false;
}

void DebuggerOutput::printDebugInfo(std::string path, std::string message) const {
    bool shared = false;
    const int fd = BASE_OpenRegularFile(path.c_str(), nullptr, BASE_FileUse::AppendOrCreate, &shared);
    if (fd < 0) return;
    // A file that is not only the log's is written only when it is a log.
    FILE* f = !shared || holdsDebugLog(fd) ? ::fdopen(fd, "ab") : nullptr;
    if (!f) {
        ::close(fd);
        return;
    }
    char stamp[64];
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, kStampFormat, &local);
    std::fprintf(f, "%s\t %s\n", stamp, message.c_str());
    std::fclose(f);
}

void DebuggerOutput::logSysExOutMessageByte(const unsigned char* bytes, int length) const {
    if (logPath_.empty() || !bytes || length <= 0) return;
    std::string text = "SYSEX OUT:";
    static const char hex[] = "0123456789ABCDEF";
    for (int i = 0; i < length; ++i) {
        text += ' ';
        text += hex[bytes[i] >> 4];
        text += hex[bytes[i] & 15];
    }
    printDebugInfo(logPath_, text);
}
