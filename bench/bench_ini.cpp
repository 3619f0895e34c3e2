// A cached profile read: GetPrivateProfileString on a parsed 1,000-key file
// costs one stat of the file (to notice changes on disk) and a binary
// search. Printed beside a plain stat of the same file, its floor.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/ratio_table.h"
#include "shim/shim-ini.h"

int main(int argc, char** argv) {
    hvbench::Options opt = hvbench::parseOptions(argc, argv);
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("halvoran-bench-ini-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string file = (dir / "settings.ini").string();
    {
        std::ofstream out(file);
        out << "[keys]\n";
        for (int i = 0; i < 1000; ++i) out << "key" << i << "=value number " << i << "\n";
    }
    char buf[64];
    // The first read parses the file; every later one finds it cached.
    GetPrivateProfileString("keys", "key500", "", buf, sizeof buf, file.c_str());
    if (std::string(buf) != "value number 500") {
        std::fprintf(stderr, "the file did not read back\n");
        return 1;
    }
    struct stat st;
    const std::vector<hvbench::Group> groups = {{
        "cached read of one key from a 1,000-key file",
        "call",
        {
            {"GetPrivateProfileString", 1,
             [&] { GetPrivateProfileString("keys", "key737", "", buf, sizeof buf, file.c_str()); }},
            {"stat()", 1, [&] { stat(file.c_str(), &st); }, 2.0},
        },
    }};
    int missed = hvbench::runTable("ini cache against a plain stat of the file", groups, opt);
    fs::remove_all(dir);
    return missed ? 1 : 0;
}
