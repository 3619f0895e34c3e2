#include "src/debugger.h"

#include <cstdio>
#include <ctime>

#include "base/BASE_RegularFile.h"

void DebuggerOutput::printDebugInfo(std::string path, std::string message) const {
    FILE* f = BASE_OpenRegularFileStream(path.c_str(), BASE_FileUse::AppendOrCreate);
    if (!f) return;
    char stamp[64];
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d.%X", &local);
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
