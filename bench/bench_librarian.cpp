// The librarian at scale: a data folder of 1,000 bank files (128,000
// programs) in nested folders. Measures the start-up scan against reading
// the same files alone (the floor the scan should stay near), and name
// searches across all programs (target: under 50 ms). Peak memory is the
// process's maximum resident set after each benchmark. The scan's ratio to
// the reading alone comes last, from interleaved rounds (ratio_table.h).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/ratio_table.h"
#include "src/Halvoran.h"
#include "src/PatchLibrarian.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 1000;
const char* kWords[] = {"Lead", "Bass", "Pad", "Keys", "Brass", "Strings", "Pluck", "Sweep", "Choir", "Organ"};

// 128 program dumps with names such as "Pad 0413 k" in a 38016-byte bank.
std::string bankBytes(std::mt19937& rng) {
    std::string out;
    for (int slot = 0; slot < 128; ++slot) {
        unsigned char data[254];
        for (auto& b : data) b = static_cast<unsigned char>(rng() & 0x7F);
        std::string name = std::string(kWords[rng() % 10]) + " " + std::to_string(1000 + rng() % 9000) + " " +
                           static_cast<char>('a' + rng() % 26);
        name.resize(12, ' ');
        for (int i = 0; i < 12; ++i) data[i] = static_cast<unsigned char>(name[i]);
        data[12] = data[13] = 0;
        std::string dump = {'\xF0', '\x42', '\x30', '\x58', '\x40'};
        for (int g = 0; g * 7 < 254; ++g) {
            dump += '\0';
            for (int k = 0; k < 7 && g * 7 + k < 254; ++k) dump += static_cast<char>(data[g * 7 + k]);
        }
        dump += '\xF7';
        out += dump;
    }
    return out;
}

struct DataFolder {
    fs::path root;
    std::vector<fs::path> files;
    DataFolder() {
        root = fs::temp_directory_path() / ("halvoran-bench-" + std::to_string(::getpid()));
        setenv("HALVORAN_DATA_DIR", root.c_str(), 1);
        std::mt19937 rng(2024);
        for (int i = 0; i < kFiles; ++i) {
            // Patches, 10 first-level folders, 5 below each, a few files deeper.
            fs::path folder = root / "Patches";
            if (i % 10) folder /= "Group " + std::to_string(i % 10);
            if (i % 4) folder /= "Set " + std::to_string(i % 5);
            if (i % 50 == 7) folder /= "Archive";
            fs::create_directories(folder);
            fs::path file = folder / ("Bank " + std::to_string(i) + ".syx");
            std::ofstream(file, std::ios::binary) << bankBytes(rng);
            files.push_back(file);
        }
    }
    ~DataFolder() { fs::remove_all(root); }
};

DataFolder& data() {
    static DataFolder folder;
    return folder;
}

void reportPeak(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

size_t readFiles() {
    size_t bytes = 0;
    for (const fs::path& p : data().files) {
        std::ifstream in(p, std::ios::binary);
        std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        bytes += content.size();
        benchmark::DoNotOptimize(content.data());
    }
    return bytes;
}

size_t scanPrograms(Halvoran& plug) {
    PatchLibrarian lib(&plug);
    lib.loadPatchesFromFilesystem(plug.getPatchesFolderStr());
    size_t programs = 0;
    for (const PatchFile* b : lib.bankFiles) programs += b->patches.size();
    return programs;
}

void BM_ReadFilesOnly(benchmark::State& state) {
    size_t bytes = 0;
    for (auto _ : state) bytes = readFiles();
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
    reportPeak(state);
}

void BM_StartupScan(benchmark::State& state) {
    data();
    Halvoran plug;
    size_t programs = 0;
    for (auto _ : state) programs = scanPrograms(plug);
    state.counters["programs"] = static_cast<double>(programs);
    state.SetBytesProcessed(static_cast<int64_t>(programs) * 297 * state.iterations());
    reportPeak(state);
}

void BM_NameSearch(benchmark::State& state, const char* text) {
    data();
    Halvoran plug;
    PatchLibrarian lib(&plug);
    lib.loadPatchesFromFilesystem(plug.getPatchesFolderStr());
    size_t found = 0;
    for (auto _ : state) {
        lib.createNewSearchPatchFiles(text);
        found = 0;
        for (const PatchFile* b : lib.searchBankFiles) found += b->patches.size();
    }
    state.counters["matches"] = static_cast<double>(found);
    reportPeak(state);
}

// A Patches folder nested `levels` deep (one-letter folders, so the deepest
// path stays within the system's limit), a bank file at the bottom. The scan
// should grow with the number of folders, not with its square or cube.
void BM_DeepTreeScan(benchmark::State& state) {
    const int levels = static_cast<int>(state.range(0));
    const fs::path root = fs::temp_directory_path() / ("halvoran-deep-" + std::to_string(::getpid()));
    fs::create_directories(root / "Patches");
    // Made folder by folder from the one above, as the path nears the
    // system's limit.
    int dir = ::open((root / "Patches").c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < levels && dir >= 0; ++i) {
        ::mkdirat(dir, "d", 0755);
        const int below = ::openat(dir, "d", O_RDONLY | O_DIRECTORY);
        ::close(dir);
        dir = below;
    }
    if (dir < 0) {
        state.SkipWithError("could not make the folders");
        return;
    }
    std::mt19937 rng(7);
    const std::string bank = bankBytes(rng);
    const int file = ::openat(dir, "Deep.syx", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file >= 0 && ::write(file, bank.data(), bank.size()) < 0) state.SkipWithError("could not write the bank");
    ::close(file);
    ::close(dir);
    const char* saved = getenv("HALVORAN_DATA_DIR");
    const std::string previous = saved ? saved : "";
    setenv("HALVORAN_DATA_DIR", root.c_str(), 1);
    Halvoran plug;
    size_t banks = 0;
    for (auto _ : state) {
        PatchLibrarian lib(&plug);
        lib.loadPatchesFromFilesystem(plug.getPatchesFolderStr());
        banks = lib.bankFiles.size();
    }
    state.counters["folders"] = levels;
    state.counters["banks"] = static_cast<double>(banks);
    if (saved) setenv("HALVORAN_DATA_DIR", previous.c_str(), 1);
    const std::string remove = "rm -rf '" + root.string() + "'";
    if (std::system(remove.c_str()) != 0) state.SkipWithError("could not remove the folders");
}

}  // namespace

BENCHMARK(BM_DeepTreeScan)->Arg(500)->Arg(1990)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFilesOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartupScan)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NameSearch, rare_name, "Pluck 4242")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NameSearch, one_word, "Brass")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_NameSearch, nothing, "Zither")->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    hvbench::Options opt = hvbench::parseOptions(argc, argv);
    if (opt.calls == 0) {
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    data();
    Halvoran plug;
    const std::vector<hvbench::Group> groups = {
        {"start-up scan of 1,000 banks",
         "file",
         {{"scan", kFiles, [&plug] { benchmark::DoNotOptimize(scanPrograms(plug)); }},
          {"reading the same files alone", kFiles, [] { benchmark::DoNotOptimize(readFiles()); }, 1.5}}},
    };
    return hvbench::runTable("librarian scan against reading its files", groups, opt) > 0 ? 1 : 0;
}
