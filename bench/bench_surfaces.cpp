// Image scaling and PNG decoding, each beside its peer: pixman for scaling
// (bilinear, nearest and a 3 x 3 box convolution), libpng's simplified API
// for decoding. Prints Google Benchmark's figures, then a table of the
// ratios (ours / peer; below 1 is faster). --narrow keeps to 128-bit rows.
#include <benchmark/benchmark.h>
#include <png.h>
#include <pixman.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "raster/RAST_CombineRows.h"
#include "raster/RAST_PNG.h"
#include "raster/RAST_ScaledBlit.h"

namespace {

// Smooth shading with a little noise and some flat areas, as panel art.
void Paint(unsigned int* px, int w, int h, int span, unsigned seed) {
    std::mt19937 rng(seed);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            int n = (int)(rng() & 15);
            int r = (x * 255 / w + n) & 255, g = (y * 255 / h + n) & 255, b = ((x ^ y) & 64) ? 200 : 40;
            int a = (x / 16 + y / 16) % 5 == 0 ? 128 : 255;
            px[(size_t)y * span + x] = RAST_MakePixel(a, r, g, b);
        }
}

struct Scaling {
    int sw, sh, dw, dh;
    RAST_MemBitmap src, dst;
    std::vector<uint32_t> psrc, pdst;
    pixman_image_t* pixSrc = nullptr;
    pixman_image_t* pixDst = nullptr;

    Scaling(int sw, int sh, int dw, int dh) : sw(sw), sh(sh), dw(dw), dh(dh), src(sw, sh, 4), dst(dw, dh, 4) {
        Paint(src.getBits(), sw, sh, src.getRowSpan(), 1);
        psrc.resize((size_t)sw * sh);
        pdst.resize((size_t)dw * dh);
        for (int y = 0; y < sh; y++)
            for (int x = 0; x < sw; x++) {
                unsigned int p = src.getBits()[(size_t)y * src.getRowSpan() + x];
                psrc[(size_t)y * sw + x] = (p << 24) | (p >> 8);  // a8r8g8b8 words
            }
        pixSrc = pixman_image_create_bits(PIXMAN_a8r8g8b8, sw, sh, psrc.data(), sw * 4);
        pixDst = pixman_image_create_bits(PIXMAN_a8r8g8b8, dw, dh, pdst.data(), dw * 4);
        pixman_transform_t t;
        pixman_transform_init_scale(&t, pixman_double_to_fixed((double)sw / dw),
                                    pixman_double_to_fixed((double)sh / dh));
        pixman_image_set_transform(pixSrc, &t);
        pixman_image_set_repeat(pixSrc, PIXMAN_REPEAT_PAD);
    }
    ~Scaling() {
        pixman_image_unref(pixSrc);
        pixman_image_unref(pixDst);
    }
    void ours(int mode) { RAST_ScaledBlit(&dst, &src, 0, 0, dw, dh, 0, 0, (float)sw, (float)sh, 1.0f, mode); }
    void pixman() { pixman_image_composite32(PIXMAN_OP_SRC, pixSrc, nullptr, pixDst, 0, 0, 0, 0, 0, 0, dw, dh); }
};

void SetBox3(pixman_image_t* img) {
    pixman_fixed_t params[2 + 9];
    params[0] = pixman_int_to_fixed(3);
    params[1] = pixman_int_to_fixed(3);
    for (int i = 0; i < 9; i++) params[2 + i] = pixman_double_to_fixed(1.0 / 9);
    pixman_image_set_filter(img, PIXMAN_FILTER_CONVOLUTION, params, 11);
}

void ScaleOurs(benchmark::State& state, int sw, int sh, int dw, int dh, int mode) {
    Scaling s(sw, sh, dw, dh);
    for (auto _ : state) {
        s.ours(mode);
        benchmark::DoNotOptimize(s.dst.getBits()[0]);
    }
    state.SetItemsProcessed(state.iterations() * dw * dh);
}

void ScalePixman(benchmark::State& state, int sw, int sh, int dw, int dh, pixman_filter_t filter) {
    Scaling s(sw, sh, dw, dh);
    if (filter == PIXMAN_FILTER_CONVOLUTION)
        SetBox3(s.pixSrc);
    else
        pixman_image_set_filter(s.pixSrc, filter, nullptr, 0);
    for (auto _ : state) {
        s.pixman();
        benchmark::DoNotOptimize(s.pdst[0]);
    }
    state.SetItemsProcessed(state.iterations() * dw * dh);
}

void WriteVec(png_structp png, png_bytep d, png_size_t n) {
    auto* v = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    v->insert(v->end(), d, d + n);
}
void NoFlush(png_structp) {}

std::vector<unsigned char> EncodeRgba(int w, int h) {
    RAST_MemBitmap bm(w, h, 4);
    Paint(bm.getBits(), w, h, bm.getRowSpan(), 2);
    std::vector<unsigned char> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) abort();
    png_set_write_fn(png, &out, WriteVec, NoFlush);
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_swap_alpha(png);  // our rows are alpha, red, green, blue
    for (int y = 0; y < h; y++)
        png_write_row(png, reinterpret_cast<png_bytep>(bm.getBits() + (size_t)y * bm.getRowSpan()));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

const std::vector<unsigned char>& PngOf(int w, int h) {
    static std::map<std::pair<int, int>, std::vector<unsigned char>> cache;
    auto& v = cache[{w, h}];
    if (v.empty()) v = EncodeRgba(w, h);
    return v;
}

void DecodeOurs(benchmark::State& state, int w, int h) {
    const auto& png = PngOf(w, h);
    RAST_MemBitmap bm(w, h, 4);
    for (auto _ : state) {
        RAST_IBitmap* r = RAST_LoadPNGFromMemory(png.data(), (int)png.size(), &bm);
        if (!r) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(bm.getBits()[0]);
    }
    state.SetItemsProcessed(state.iterations() * w * h);
}

void DecodeSimplified(benchmark::State& state, int w, int h) {
    const auto& png = PngOf(w, h);
    std::vector<unsigned char> out((size_t)w * h * 4);
    for (auto _ : state) {
        png_image image;
        memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) state.SkipWithError("begin failed");
        image.format = PNG_FORMAT_ARGB;
        if (!png_image_finish_read(&image, nullptr, out.data(), 0, nullptr)) state.SkipWithError("finish failed");
        benchmark::DoNotOptimize(out[0]);
    }
    state.SetItemsProcessed(state.iterations() * w * h);
}

// Keeps each run's time per iteration for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // The median of repetitions when there are some, else the single run.
        for (const Run& r : runs) {
            if (r.error_occurred) continue;
            const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
            if (!median && r.run_type != Run::RT_Iteration) continue;
            std::string name = r.run_name.function_name;
            if (median || !times.count(name))
                times[name] = r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit) * 1e9;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;  // nanoseconds
};

struct Pair {
    const char* label;
    const char* ours;
    const char* peer;
    const char* peerName;
    double target;
};

const Pair kPairs[] = {
    {"bilinear 880x560 -> 1100x700 (1.25)", "scale/bilinear_1.25/ours", "scale/bilinear_1.25/pixman", "pixman bilinear",
     2.0},
    {"bilinear 1100x700 -> 825x525 (0.75)", "scale/bilinear_0.75/ours", "scale/bilinear_0.75/pixman", "pixman bilinear",
     2.0},
    {"bilinear knob strip 64x12864 -> 80x16080", "scale/bilinear_strip/ours", "scale/bilinear_strip/pixman",
     "pixman bilinear", 2.0},
    {"nearest 880x560 -> 1100x700", "scale/nearest_1.25/ours", "scale/nearest_1.25/pixman", "pixman nearest", 2.0},
    {"filter-down 1100x700 -> 550x350 (3x3 box)", "scale/filterdown_0.5/ours", "scale/filterdown_0.5/pixman",
     "pixman 3x3 box", 2.0},
    {"PNG decode 1100x700 RGBA", "png/1100x700/ours", "png/1100x700/simplified", "png_image_finish_read ARGB", 1.1},
    {"PNG decode strip 64x12864 RGBA", "png/strip/ours", "png/strip/simplified", "png_image_finish_read ARGB", 1.1},
};

}  // namespace

int main(int argc, char** argv) {
    // --narrow: the 128-bit register rows only.
    for (int i = 1; i < argc; i++)
        if (strcmp(argv[i], "--narrow") == 0) {
            rast_rows::useWideRegisters(false);
            for (int j = i; j + 1 < argc; j++) argv[j] = argv[j + 1];
            argc--;
            break;
        }
    auto reg = [](const char* name, auto fn) { benchmark::RegisterBenchmark(name, fn)->Unit(benchmark::kMicrosecond); };
    reg("scale/bilinear_1.25/ours", [](benchmark::State& s) { ScaleOurs(s, 880, 560, 1100, 700, 0x100); });
    reg("scale/bilinear_1.25/pixman",
        [](benchmark::State& s) { ScalePixman(s, 880, 560, 1100, 700, PIXMAN_FILTER_BILINEAR); });
    reg("scale/bilinear_0.75/ours", [](benchmark::State& s) { ScaleOurs(s, 1100, 700, 825, 525, 0x100); });
    reg("scale/bilinear_0.75/pixman",
        [](benchmark::State& s) { ScalePixman(s, 1100, 700, 825, 525, PIXMAN_FILTER_BILINEAR); });
    reg("scale/bilinear_strip/ours", [](benchmark::State& s) { ScaleOurs(s, 64, 12864, 80, 16080, 0x100); });
    reg("scale/bilinear_strip/pixman",
        [](benchmark::State& s) { ScalePixman(s, 64, 12864, 80, 16080, PIXMAN_FILTER_BILINEAR); });
    reg("scale/nearest_1.25/ours", [](benchmark::State& s) { ScaleOurs(s, 880, 560, 1100, 700, 0); });
    reg("scale/nearest_1.25/pixman",
        [](benchmark::State& s) { ScalePixman(s, 880, 560, 1100, 700, PIXMAN_FILTER_NEAREST); });
    reg("scale/filterdown_0.5/ours", [](benchmark::State& s) { ScaleOurs(s, 1100, 700, 550, 350, 0x100); });
    reg("scale/filterdown_0.5/pixman",
        [](benchmark::State& s) { ScalePixman(s, 1100, 700, 550, 350, PIXMAN_FILTER_CONVOLUTION); });
    reg("png/1100x700/ours", [](benchmark::State& s) { DecodeOurs(s, 1100, 700); });
    reg("png/1100x700/simplified", [](benchmark::State& s) { DecodeSimplified(s, 1100, 700); });
    reg("png/strip/ours", [](benchmark::State& s) { DecodeOurs(s, 64, 12864); });
    reg("png/strip/simplified", [](benchmark::State& s) { DecodeSimplified(s, 64, 12864); });

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    printf("\n%-44s %12s %12s %7s %7s  %s\n", "case", "ours (us)", "peer (us)", "ratio", "target", "peer");
    for (const Pair& p : kPairs) {
        auto a = reporter.times.find(p.ours), b = reporter.times.find(p.peer);
        if (a == reporter.times.end() || b == reporter.times.end()) continue;
        printf("%-44s %12.1f %12.1f %7.2f %6.1fx  %s\n", p.label, a->second / 1e3, b->second / 1e3,
               a->second / b->second, p.target, p.peerName);
    }
    benchmark::Shutdown();
    return 0;
}
