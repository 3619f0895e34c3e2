#include "raster/RAST_CombineRows.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include <immintrin.h>

namespace rast_rows {

// ---- 128-bit registers (every x86-64 processor) ----
namespace narrow {

struct O {
    using V = __m128i;
    static constexpr int N = 4;
    static constexpr int ALL = 0xFFFF;
    static V ld(const unsigned char* p) { return _mm_loadu_si128((const V*)p); }
    static void st(unsigned char* p, V v) { _mm_storeu_si128((V*)p, v); }
    static V zero() { return _mm_setzero_si128(); }
    static V set16(int x) { return _mm_set1_epi16((short)x); }
    static V set32(unsigned x) { return _mm_set1_epi32((int)x); }
    static V or_(V a, V b) { return _mm_or_si128(a, b); }
    static V and_(V a, V b) { return _mm_and_si128(a, b); }
    static V xor_(V a, V b) { return _mm_xor_si128(a, b); }
    static V andnot(V a, V b) { return _mm_andnot_si128(b, a); }  // a & ~b
    static V add8(V a, V b) { return _mm_add_epi8(a, b); }
    static V sub8(V a, V b) { return _mm_sub_epi8(a, b); }
    static V adds8(V a, V b) { return _mm_adds_epu8(a, b); }
    static V subs8(V a, V b) { return _mm_subs_epu8(a, b); }
    static V min8(V a, V b) { return _mm_min_epu8(a, b); }
    static V max8(V a, V b) { return _mm_max_epu8(a, b); }
    static V add32(V a, V b) { return _mm_add_epi32(a, b); }
    static V sub32(V a, V b) { return _mm_sub_epi32(a, b); }
    static V cmpeq8(V a, V b) { return _mm_cmpeq_epi8(a, b); }
    static V cmpeq32(V a, V b) { return _mm_cmpeq_epi32(a, b); }
    static V lo8(V a, V b) { return _mm_unpacklo_epi8(a, b); }
    static V hi8(V a, V b) { return _mm_unpackhi_epi8(a, b); }
    static V lo32(V a, V b) { return _mm_unpacklo_epi32(a, b); }
    static V hi32(V a, V b) { return _mm_unpackhi_epi32(a, b); }
    static V mulhi(V a, V b) { return _mm_mulhi_epu16(a, b); }
    static V mullo16(V a, V b) { return _mm_mullo_epi16(a, b); }
    static V sll32(V a, int n) { return _mm_slli_epi32(a, n); }
    static V srl32(V a, int n) { return _mm_srli_epi32(a, n); }
    static V pack(V a, V b) { return _mm_packus_epi16(a, b); }
    static int movemask(V a) { return _mm_movemask_epi8(a); }
    static V lo16(V a, V b) { return _mm_unpacklo_epi16(a, b); }
    static V hi16(V a, V b) { return _mm_unpackhi_epi16(a, b); }
    static V sub16(V a, V b) { return _mm_sub_epi16(a, b); }
    static V sll16(V a, int n) { return _mm_slli_epi16(a, n); }
    static V srl16(V a, int n) { return _mm_srli_epi16(a, n); }
    static V packs32(V a, V b) { return _mm_packs_epi32(a, b); }
    // a / b per 32-bit lane, divided in single precision and truncated.
    static V quot(V a, V b) { return _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(a), _mm_cvtepi32_ps(b))); }
};

#define RAST_WIDE 0
#include "raster/RAST_CombineKernels.inc"
#undef RAST_WIDE

}  // namespace narrow

// ---- 256-bit registers ----
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace wide {

struct O {
    using V = __m256i;
    static constexpr int N = 8;
    static constexpr int ALL = -1;
    static V ld(const unsigned char* p) { return _mm256_loadu_si256((const V*)p); }
    static void st(unsigned char* p, V v) { _mm256_storeu_si256((V*)p, v); }
    static V zero() { return _mm256_setzero_si256(); }
    static V set16(int x) { return _mm256_set1_epi16((short)x); }
    static V set32(unsigned x) { return _mm256_set1_epi32((int)x); }
    static V or_(V a, V b) { return _mm256_or_si256(a, b); }
    static V and_(V a, V b) { return _mm256_and_si256(a, b); }
    static V xor_(V a, V b) { return _mm256_xor_si256(a, b); }
    static V andnot(V a, V b) { return _mm256_andnot_si256(b, a); }
    static V add8(V a, V b) { return _mm256_add_epi8(a, b); }
    static V sub8(V a, V b) { return _mm256_sub_epi8(a, b); }
    static V adds8(V a, V b) { return _mm256_adds_epu8(a, b); }
    static V subs8(V a, V b) { return _mm256_subs_epu8(a, b); }
    static V min8(V a, V b) { return _mm256_min_epu8(a, b); }
    static V max8(V a, V b) { return _mm256_max_epu8(a, b); }
    static V add32(V a, V b) { return _mm256_add_epi32(a, b); }
    static V sub32(V a, V b) { return _mm256_sub_epi32(a, b); }
    static V cmpeq8(V a, V b) { return _mm256_cmpeq_epi8(a, b); }
    static V cmpeq32(V a, V b) { return _mm256_cmpeq_epi32(a, b); }
    // Unpacks and packs work within each 128-bit half; the kernels only ever
    // pack what they unpacked, so pixel order is kept.
    static V lo8(V a, V b) { return _mm256_unpacklo_epi8(a, b); }
    static V hi8(V a, V b) { return _mm256_unpackhi_epi8(a, b); }
    static V lo32(V a, V b) { return _mm256_unpacklo_epi32(a, b); }
    static V hi32(V a, V b) { return _mm256_unpackhi_epi32(a, b); }
    static V mulhi(V a, V b) { return _mm256_mulhi_epu16(a, b); }
    static V mullo16(V a, V b) { return _mm256_mullo_epi16(a, b); }
    static V sll32(V a, int n) { return _mm256_slli_epi32(a, n); }
    static V srl32(V a, int n) { return _mm256_srli_epi32(a, n); }
    static V pack(V a, V b) { return _mm256_packus_epi16(a, b); }
    static int movemask(V a) { return _mm256_movemask_epi8(a); }
    static V lo16(V a, V b) { return _mm256_unpacklo_epi16(a, b); }
    static V hi16(V a, V b) { return _mm256_unpackhi_epi16(a, b); }
    static V sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
    static V sll16(V a, int n) { return _mm256_slli_epi16(a, n); }
    static V srl16(V a, int n) { return _mm256_srli_epi16(a, n); }
    static V packs32(V a, V b) { return _mm256_packs_epi32(a, b); }
    static V quot(V a, V b) { return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(a), _mm256_cvtepi32_ps(b))); }
};

#define RAST_WIDE 1
#include "raster/RAST_CombineKernels.inc"
#undef RAST_WIDE

}  // namespace wide
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace {

bool haveAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

bool g_wide = haveAvx2();

// An area whose rows follow one another in memory, sharing no byte with its
// source's, is drawn as one long row: one row's set-up in place of one a
// row. Calls draw with that row, or with the area itself: a copy of it,
// read whole just after its caller wrote it field by field, would wait for
// those stores.
template <class Draw>
inline void asOneRow(const Area& a, Draw draw) {
    const ptrdiff_t row = (ptrdiff_t)a.w * 4;
    if (a.h < 2 || a.dstride != row || (a.s && a.sstride != row) || (int64_t)a.w * a.h > INT_MAX) return draw(a);
    const ptrdiff_t n = row * a.h;
    if (a.s && a.d < a.s + n && a.s < a.d + n) return draw(a);
    draw(Area{a.d, a.s, a.w * a.h, 1, n, a.s ? n : 0});
}

}  // namespace

bool wideRegisters() { return g_wide; }
void useWideRegisters(bool on) { g_wide = on && haveAvx2(); }

#define RAST_PICK(call) (g_wide ? wide::call : narrow::call)

void copyArea(const Area& a) {
    asOneRow(a, [](const Area& b) { RAST_PICK(copyArea(b)); });
}
void fillArea(const Area& a, unsigned int c) {
    asOneRow(a, [c](const Area& b) { RAST_PICK(fillArea(b, c)); });
}
void lerpArea(const Area& a, int alpha) {
    asOneRow(a, [alpha](const Area& b) { RAST_PICK(lerpArea(b, alpha)); });
}
void lerpSolidArea(const Area& a, int r, int g, int b, int alpha) {
    asOneRow(a, [=](const Area& o) { RAST_PICK(lerpSolidArea(o, r, g, b, alpha)); });
}
void srcAlphaFullArea(const Area& a) {
    asOneRow(a, [](const Area& b) { RAST_PICK(srcAlphaFullArea(b)); });
}
void srcAlphaArea(const Area& a, int alpha) {
    asOneRow(a, [alpha](const Area& b) { RAST_PICK(srcAlphaArea(b, alpha)); });
}
void addArea(const Area& a, int alpha) {
    asOneRow(a, [alpha](const Area& b) { RAST_PICK(addArea(b, alpha)); });
}
void addSrcAlphaArea(const Area& a, int alpha) {
    asOneRow(a, [alpha](const Area& b) { RAST_PICK(addSrcAlphaArea(b, alpha)); });
}
void dodgeArea(const Area& a, int alpha) {
    asOneRow(a, [alpha](const Area& b) { RAST_PICK(dodgeArea(b, alpha)); });
}
void dodgeSrcAlphaArea(const Area& a, int alpha) {
    asOneRow(a, [alpha](const Area& b) { RAST_PICK(dodgeSrcAlphaArea(b, alpha)); });
}

#undef RAST_PICK

}  // namespace rast_rows
