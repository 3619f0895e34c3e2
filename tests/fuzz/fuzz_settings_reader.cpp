// Any bytes as the settings file: no crash, every value in its range, the
// file read as its text is parsed, and what was read comes back the same
// once written.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "src/Settings.h"

namespace {

void require(bool ok) {
    if (!ok) std::abort();
}

// A folder of its own, in memory where it can be (a write is fsynced),
// removed when the fuzzer ends.
const char* folder() {
    static char name[64];
    if (!name[0]) {
        std::strcpy(name, ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/hv-fuzz-settings-XXXXXX"
                                                          : "/tmp/hv-fuzz-settings-XXXXXX");
        if (!::mkdtemp(name)) std::abort();
        std::atexit([] { std::filesystem::remove_all(name); });
    }
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    HalvoranSettings parsed;
    const bool understood = parseSettingsText(text, &parsed);
    require(parsed.size >= 0 && parsed.size < 3 && parsed.skin >= 0 && parsed.skin < 3);

    const std::string path = std::string(folder()) + "/Halvoran UI.txt";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    HalvoranSettings read;
    const bool readUnderstood = readSettingsFile(path, &read);
    if (size <= 64 * 1024) require(readUnderstood == understood && read == parsed);

    HalvoranSettings back;
    require(writeSettingsFile(path, parsed) && readSettingsFile(path, &back) && back == parsed);
    return 0;
}
