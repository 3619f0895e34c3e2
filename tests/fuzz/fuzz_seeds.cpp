// Writes the seed corpus of the fuzzers: every bank form the readers know,
// whole and cut short, instrument traffic, icons, settings files and PNG
// images.
#include <filesystem>
#include <iostream>

#include "editor/librarian_testbanks.h"
#include "raster/png_test_util.h"
#include "support/IconFiles.h"
#include "src/GlobalDump.h"
#include "src/PatchLibrarianDump.h"
#include "src/ProgramDump.h"
#include "src/PatchLibrarianWriteBank.h"

using namespace libtest;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: hv_fuzz_seeds <folder>\n";
        return 2;
    }
    std::filesystem::path dir = argv[1];
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);

    auto programs = randomPrograms(128, 1);
    PatchFile bank;
    for (const auto& p : programs) {
        bank.patches.emplace_back();
        bank.patches.back().sysexMessages.push_back(PatchSysexMessage{programDump(p)});
    }
    bank.patches[3] = LibrarianPatch();
    ByteChunk smf;
    buildBankImage(bank.patches, true, &smf);
    Bytes midi(smf.GetBytes(), smf.GetBytes() + smf.Size());
    Bytes initFirst(hvInitPatchData, hvInitPatchData + kProgramDumpSize);
    Bytes rest = rawBank(std::vector<ProgramData>(programs.begin() + 1, programs.begin() + 40));
    initFirst.insert(initFirst.end(), rest.begin(), rest.end());

    auto cut = [](Bytes b, size_t n) {
        b.resize(std::min(n, b.size()));
        return b;
    };
    const std::pair<const char*, Bytes> seeds[] = {
        {"raw.syx", rawBank(programs)},
        {"raw-channel-3.syx", rawBank(programs, 3)},
        {"init-first.hvx", initFirst},
        {"bank.mid", midi},
        {"packed.syx", packedBank(programs, 0, 0x4C)},
        {"packed-long.syx", packedBank(programs, 5, 0x50, true)},
        {"packed-cut.syx", cut(packedBank(programs), 3000)},
        {"raw-cut.syx", cut(rawBank(programs), 1200)},
        {"midi-cut.mid", cut(midi, 1500)},
        {"one.syx", programDump(programs[0])},
    };
    for (const auto& [name, bytes] : seeds) writeFile(dir / name, bytes);

    // Instrument traffic for the protocol fuzzer: a request-state byte, then
    // a stream of messages.
    auto stream = [](uint8_t state, std::initializer_list<Bytes> messages) {
        Bytes s{state};
        for (const Bytes& m : messages) s.insert(s.end(), m.begin(), m.end());
        return s;
    };
    const Bytes program(initProgramDump, initProgramDump + kProgramDumpSize);
    Bytes global(globalDumpTemplate, globalDumpTemplate + kGlobalDumpSize);
    global[2] = 0x35;
    const Bytes change{0xF0, 0x42, 0x30, 0x58, 0x41, 0x30, 0x00, 0x14, 0x01, 0xF7};
    const Bytes mode{0xF0, 0x42, 0x31, 0x58, 0x4E, 0x01, 0x00, 0xF7};
    const Bytes nrpn{0xB0, 99, 4, 98, 0, 6, 36, 0xB0, 74, 100, 77, 18, 95, 127, 86, 0};
    const Bytes notes{0x90, 60, 100, 0x80, 60, 0, 0xE0, 0, 64, 0xD0, 30, 0xC0, 5};
    const std::pair<const char*, Bytes> protocol[] = {
        {"proto-program.bin", stream(0x01, {program})},
        {"proto-global.bin", stream(0x02, {global})},
        {"proto-librarian.bin", stream(0x04, {program, program})},
        {"proto-all.bin", stream(0x38, {program, program})},
        {"proto-changes.bin", stream(0x00, {change, mode, change})},
        {"proto-channel.bin", stream(0x80, {nrpn, notes})},
    };
    for (const auto& [name, bytes] : protocol) writeFile(dir / name, bytes);

    // Icons and cursors for the icon reader: every depth, two images, cut short.
    std::vector<uint32_t> pixels(16 * 16);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = (i % 3 ? 0xFF000000u : 0u) | uint32_t(i * 0x010203);
    using icontest::bitmapImage;
    using icontest::iconFile;
    const Bytes two = iconFile(1, {{16, bitmapImage(16, 16, 4, pixels)}, {16, bitmapImage(16, 16, 32, pixels)}});
    const std::pair<const char*, Bytes> icons[] = {
        {"icon-1.ico", iconFile(1, {{16, bitmapImage(16, 16, 1, pixels)}})},
        {"icon-8.ico", iconFile(1, {{16, bitmapImage(16, 16, 8, pixels)}})},
        {"icon-24.ico", iconFile(1, {{16, bitmapImage(16, 16, 24, pixels)}})},
        {"icon-two.ico", two},
        {"cursor.cur", iconFile(2, {{16, bitmapImage(16, 16, 32, pixels, false)}}, {3, 4})},
        {"icon-cut.ico", cut(two, 300)},
    };
    for (const auto& [name, bytes] : icons) writeFile(dir / name, bytes);

    // Settings files for the settings reader: as written, as other editors
    // save them, and damaged.
    auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    const std::pair<const char*, Bytes> settings[] = {
        {"settings.txt", text("normal\nlegacy\nfirst run: yes\n")},
        {"settings-bom-crlf.txt", text("\xEF\xBB\xBFlarge\r\nplatinum\r\nfirst run: no\r\n")},
        {"settings-partial.txt", text("  small \t\ns-model")},
    };
    for (const auto& [name, bytes] : settings) writeFile(dir / name, bytes);

    // PNG images for the PNG loader: a small one of each colour type, with
    // transparency where it may have it, plain and interlaced, the image
    // data in one chunk and in many.
    for (int type : {0, 2, 3, 4, 6})
        for (bool interlace : {false, true}) {
            pngtest::PngShape s;
            s.width = 9, s.height = 7, s.colorType = type, s.depth = type == 3 ? 4 : 8, s.interlace = interlace;
            const int n = pngtest::Channels(type) * s.width;
            std::vector<std::vector<unsigned>> rows(s.height);
            for (int y = 0; y < s.height; ++y)
                for (int x = 0; x < n; ++x) rows[y].push_back((unsigned)(x * 29 + y * 7) % 16);
            for (int i = 0; i < 16; ++i) s.palette.push_back(png_color{(png_byte)(i * 16), (png_byte)(255 - i), 7});
            if (type == 3) s.paletteAlpha = {0, 128};
            s.hasTrnsColor = type == 0 || type == 2;
            if (type != 3) s.palette.clear();
            const std::string name = "image-" + std::to_string(type) + (interlace ? "-laced" : "");
            writeFile(dir / (name + ".png"), pngtest::Build(s, rows, pngtest::Layout{5, 0, false}));
            writeFile(dir / (name + "-split.png"), pngtest::Build(s, rows, pngtest::Layout{5, 20, true}));
        }
    return 0;
}
