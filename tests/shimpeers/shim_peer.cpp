// A second (and third) toolkit process for the tests: it writes or watches
// an ini file, or holds and reads the clipboard, while the test process and
// other peers do the same.
//
//   shim_peer ini-add FILE SECTION PREFIX COUNT   adds COUNT keys, one write each
//   shim_peer ini-watch FILE STOPFILE             reads in a loop until STOPFILE exists
//   shim_peer clip-set FORMAT FILE                puts FILE's bytes on the clipboard
//                                                 and holds them until stdin closes
//   shim_peer clip-get FORMAT FILE                writes the clipboard's bytes to FILE
//                                                 (exit 3 when the format is not listed)
//   shim_peer clip-numbers open|NAME...           prints the format numbers, "open"
//                                                 opening the clipboard and giving text's
#include "platform/appkit/Backend.h"
#include "shim/shim-clipboard.h"
#include "shim/shim-ini.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

int iniAdd(const char* file, const char* section, const char* prefix, int count) {
    for (int i = 0; i < count; ++i) {
        std::string key = std::string(prefix) + std::to_string(i);
        if (!WritePrivateProfileString(section, key.c_str(), ("value of " + key).c_str(), file)) {
            std::fprintf(stderr, "write of %s failed\n", key.c_str());
            return 1;
        }
    }
    return 0;
}

std::string readWhole(const char* file) {
    std::string text;
    int fd = open(file, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char buf[65536];
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) text.append(buf, size_t(n));
    close(fd);
    return text;
}

// Every read must see a whole file: the seed section and the closing empty line.
int iniWatch(const char* file, const char* stopFile) {
    long reads = 0;
    while (access(stopFile, F_OK) != 0) {
        std::string raw = readWhole(file);
        if (raw.size() < 2 || raw[0] != '[' || raw.compare(raw.size() - 2, 2, "\n\n") != 0) {
            std::fprintf(stderr, "read %ld saw a partial file of %zu bytes\n", reads, raw.size());
            return 2;
        }
        char value[64];
        GetPrivateProfileString("seed", "k", "", value, sizeof value, file);
        if (std::strcmp(value, "v") != 0) {
            std::fprintf(stderr, "read %ld lost the seed key\n", reads);
            return 2;
        }
        ++reads;
    }
    std::printf("reads %ld\n", reads);
    return 0;
}

bool useDisplay() {
    if (platform::appkit::Application::useDisplayIfAvailable()) return true;
    std::fprintf(stderr, "no display\n");
    return false;
}

int clipSet(const char* format, const char* file) {
    if (!useDisplay()) return 1;
    std::ifstream in(file, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string data = bytes.str();
    UINT fmt = RegisterClipboardFormat(format);
    OpenClipboard(nullptr);
    EmptyClipboard();
    HGLOBAL h = GlobalAlloc(0, int(data.size()));
    std::memcpy(GlobalLock(h), data.data(), data.size());
    GlobalUnlock(h);
    SetClipboardData(fmt, h);
    CloseClipboard();
    // The contents live while this process does.
    char c;
    while (read(0, &c, 1) > 0) {}
    return 0;
}

int clipGet(const char* format, const char* file) {
    if (!useDisplay()) return 1;
    UINT fmt = RegisterClipboardFormat(format);
    OpenClipboard(nullptr);
    bool listed = false;
    for (UINT f = EnumClipboardFormats(0); f && !listed; f = EnumClipboardFormats(f)) listed = f == fmt;
    HANDLE h = listed ? GetClipboardData(fmt) : nullptr;
    if (h) std::ofstream(file, std::ios::binary).write(static_cast<const char*>(h), GlobalSize(h));
    CloseClipboard();
    return h ? 0 : 3;
}

int clipNumbers(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) {
        bool open = std::strcmp(argv[i], "open") == 0;
        if (open) OpenClipboard(nullptr);
        std::printf("%s%u", i ? " " : "", open ? CF_TEXT : RegisterClipboardFormat(argv[i]));
    }
    std::printf("\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "ini-add" && argc == 6) return iniAdd(argv[2], argv[3], argv[4], std::atoi(argv[5]));
    if (cmd == "ini-watch" && argc == 4) return iniWatch(argv[2], argv[3]);
    if (cmd == "clip-set" && argc == 4) return clipSet(argv[2], argv[3]);
    if (cmd == "clip-get" && argc == 4) return clipGet(argv[2], argv[3]);
    if (cmd == "clip-numbers") return clipNumbers(argc - 2, argv + 2);
    std::fprintf(stderr, "usage: see the top of shim_peer.cpp\n");
    return 64;
}
