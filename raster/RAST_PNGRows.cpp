#include "raster/RAST_PNGRows.h"

#include <emmintrin.h>

#include <cstring>

namespace rast_png {

namespace {

inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

inline void Store32(uint8_t* p, uint32_t v) { memcpy(p, &v, 4); }

inline __m128i Pixel(const uint8_t* p) { return _mm_cvtsi32_si128((int)Load32(p)); }

// Rows of 3 and 4 bytes a pixel: one pixel a step in the low lanes of a
// register, each step needing the one before. For 3 bytes the fourth lane
// carries the next pixel's first byte, which no other lane sees; its result
// is written and then overwritten by the next step (the slack takes the
// last one).
template <int N>
void SubRow(uint8_t* out, const uint8_t* in, size_t len) {
    __m128i a = _mm_setzero_si128();
    for (size_t i = 0; i < len; i += N) {
        a = _mm_add_epi8(Pixel(in + i), a);
        Store32(out + i, (uint32_t)_mm_cvtsi128_si32(a));
    }
}

template <int N>
void AverageRow(uint8_t* out, const uint8_t* in, const uint8_t* prev, size_t len) {
    const __m128i one = _mm_set1_epi8(1);
    __m128i a = _mm_setzero_si128();
    for (size_t i = 0; i < len; i += N) {
        const __m128i b = Pixel(prev + i);
        // The floor of the mean: the rounded-up one less the odd bit.
        const __m128i mean = _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
        a = _mm_add_epi8(Pixel(in + i), mean);
        Store32(out + i, (uint32_t)_mm_cvtsi128_si32(a));
    }
}

inline __m128i Abs16(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }

inline __m128i Select(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// In 16-bit lanes: with p = a + b - c, |p - a| = |b - c|, |p - b| = |a - c|
// and |p - c| = |(b - c) + (a - c)|; ties go to a, then b. The left pixel
// stays in 16-bit lanes from step to step, so that each step waits on as
// few operations as it can.
template <int N>
void PaethRow(uint8_t* out, const uint8_t* in, const uint8_t* prev, size_t len) {
    const __m128i zero = _mm_setzero_si128(), low = _mm_set1_epi16(0xFF);
    __m128i a = zero, c = zero;
    for (size_t i = 0; i < len; i += N) {
        const __m128i b = _mm_unpacklo_epi8(Pixel(prev + i), zero);
        const __m128i x = _mm_unpacklo_epi8(Pixel(in + i), zero);
        const __m128i bc = _mm_sub_epi16(b, c), pa = Abs16(bc);
        const __m128i ac = _mm_sub_epi16(a, c);
        const __m128i pb = Abs16(ac), pc = Abs16(_mm_add_epi16(bc, ac));
        const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
        const __m128i pred = Select(notA, Select(_mm_cmpgt_epi16(pb, pc), c, b), a);
        a = _mm_and_si128(_mm_add_epi16(x, pred), low);
        Store32(out + i, (uint32_t)_mm_cvtsi128_si32(_mm_packus_epi16(a, a)));
        c = b;
    }
}

inline uint8_t Paeth(int a, int b, int c) {
    const int pa = b > c ? b - c : c - b, pb = a > c ? a - c : c - a;
    const int p = a + b - 2 * c, pc = p < 0 ? -p : p;
    if (pa <= pb && pa <= pc) return (uint8_t)a;
    return (uint8_t)(pb <= pc ? b : c);
}

// Any other pixel size: bytes one by one.
void FilterBytes(int filter, uint8_t* out, const uint8_t* in, const uint8_t* prev, size_t len, size_t bpp) {
    const size_t first = bpp < len ? bpp : len;
    switch (filter) {
        case 1:
            for (size_t i = 0; i < first; ++i) out[i] = in[i];
            for (size_t i = bpp; i < len; ++i) out[i] = (uint8_t)(in[i] + out[i - bpp]);
            break;
        case 3:
            for (size_t i = 0; i < first; ++i) out[i] = (uint8_t)(in[i] + (prev[i] >> 1));
            for (size_t i = bpp; i < len; ++i) out[i] = (uint8_t)(in[i] + ((out[i - bpp] + prev[i]) >> 1));
            break;
        default:
            for (size_t i = 0; i < first; ++i) out[i] = (uint8_t)(in[i] + prev[i]);
            for (size_t i = bpp; i < len; ++i) out[i] = (uint8_t)(in[i] + Paeth(out[i - bpp], prev[i], prev[i - bpp]));
            break;
    }
}

void UpRow(uint8_t* out, const uint8_t* in, const uint8_t* prev, size_t len) {
    for (size_t i = 0; i < len; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_add_epi8(x, b));
    }
}

// Converters: one per sample layout.

void FromTable(const PixelFormat& f, const uint8_t* row, uint32_t* out, int n) {
    if (f.depth == 8) {
        for (int i = 0; i < n; ++i) out[i] = f.table[row[i]];
        return;
    }
    // Samples below a byte, the first in the high bits.
    const int depth = f.depth, perByte = 8 / depth;
    const unsigned mask = (1u << depth) - 1;
    for (int i = 0; i < n; ++i) {
        const int shift = 8 - depth - (i % perByte) * depth;
        out[i] = f.table[(row[i / perByte] >> shift) & mask];
    }
}

void FromRgb8(const PixelFormat&, const uint8_t* row, uint32_t* out, int n) {
    // Red, green, blue and the next byte as one word: red moves to bits 8-15.
    for (int i = 0; i < n; ++i) out[i] = (Load32(row + 3 * i) << 8) | 0xFFu;
}

void FromRgb8Keyed(const PixelFormat& f, const uint8_t* row, uint32_t* out, int n) {
    const uint32_t key = (f.key[0] & 0xFFu) | (f.key[1] & 0xFFu) << 8 | (f.key[2] & 0xFFu) << 16;
    for (int i = 0; i < n; ++i) {
        const uint32_t v = Load32(row + 3 * i) & 0xFFFFFFu;
        out[i] = (v << 8) | (v == key ? 0u : 0xFFu);
    }
}

void FromRgba8(const PixelFormat&, const uint8_t* row, uint32_t* out, int n) {
    for (int i = 0; i < n; ++i) {
        const uint32_t v = Load32(row + 4 * i);
        out[i] = (v << 8) | (v >> 24);
    }
}

void FromGrayAlpha8(const PixelFormat&, const uint8_t* row, uint32_t* out, int n) {
    for (int i = 0; i < n; ++i) out[i] = row[2 * i + 1] | row[2 * i] * 0x01010100u;
}

inline unsigned Be16(const uint8_t* p) { return (unsigned)p[0] << 8 | p[1]; }

void FromGray16(const PixelFormat& f, const uint8_t* row, uint32_t* out, int n) {
    for (int i = 0; i < n; ++i) {
        const uint8_t* p = row + 2 * i;
        const bool clear = f.keyed && Be16(p) == f.key[0];
        out[i] = (clear ? 0u : 0xFFu) | p[0] * 0x01010100u;
    }
}

void FromGrayAlpha16(const PixelFormat&, const uint8_t* row, uint32_t* out, int n) {
    for (int i = 0; i < n; ++i) out[i] = row[4 * i + 2] | row[4 * i] * 0x01010100u;
}

void FromRgb16(const PixelFormat& f, const uint8_t* row, uint32_t* out, int n) {
    for (int i = 0; i < n; ++i) {
        const uint8_t* p = row + 6 * i;
        const bool clear = f.keyed && Be16(p) == f.key[0] && Be16(p + 2) == f.key[1] && Be16(p + 4) == f.key[2];
        out[i] = (clear ? 0u : 0xFFu) | (uint32_t)p[0] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[4] << 24;
    }
}

void FromRgba16(const PixelFormat&, const uint8_t* row, uint32_t* out, int n) {
    for (int i = 0; i < n; ++i) {
        const uint8_t* p = row + 8 * i;
        out[i] = p[6] | (uint32_t)p[0] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[4] << 24;
    }
}

}  // namespace

const uint8_t* unfilterRow(int filter, uint8_t* out, const uint8_t* in, const uint8_t* prev, size_t len, int bpp) {
    switch (filter) {
        case 0:
            return in;
        case 2:
            UpRow(out, in, prev, len);
            return out;
        case 1:
            if (bpp == 4) return SubRow<4>(out, in, len), out;
            if (bpp == 3) return SubRow<3>(out, in, len), out;
            break;
        case 3:
            if (bpp == 4) return AverageRow<4>(out, in, prev, len), out;
            if (bpp == 3) return AverageRow<3>(out, in, prev, len), out;
            break;
        default:
            if (bpp == 4) return PaethRow<4>(out, in, prev, len), out;
            if (bpp == 3) return PaethRow<3>(out, in, prev, len), out;
            break;
    }
    FilterBytes(filter, out, in, prev, len, (size_t)bpp);
    return out;
}

RowConverter converterFor(const PixelFormat& f) {
    const bool wide = f.depth == 16;
    switch (f.colorType) {
        case 2:
            if (wide) return FromRgb16;
            return f.keyed ? FromRgb8Keyed : FromRgb8;
        case 4:
            return wide ? FromGrayAlpha16 : FromGrayAlpha8;
        case 6:
            return wide ? FromRgba16 : FromRgba8;
        case 0:
            if (wide) return FromGray16;
            return FromTable;
        default:
            return FromTable;
    }
}

}  // namespace rast_png
