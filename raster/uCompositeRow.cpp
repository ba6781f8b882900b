#include "raster/uCompositeRow.h"
#include "raster/uPixel.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

// x86-64 compilers that know the target attribute get a second, 256-bit
// version of the loops, picked at run time.
#if defined(__SSE2__) && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ZEMBRA_RASTER_AVX2 1
#endif

namespace zembra::raster {

namespace {

#if defined(__SSE2__)

// Rounded x / 255 in each 16-bit lane for x <= 255 * 255:
// ((x + 128) * 257) >> 16.
inline __m128i Div255(__m128i x) {
    return _mm_mulhi_epu16(_mm_add_epi16(x, _mm_set1_epi16(128)), _mm_set1_epi16(257));
}

// Four 32-bit values 0..255 spread over the four 16-bit lanes of each pixel,
// as two registers of two pixels.
inline void Spread(__m128i v, __m128i& lo, __m128i& hi) {
    v = _mm_or_si128(v, _mm_slli_epi32(v, 16));
    lo = _mm_unpacklo_epi32(v, v);
    hi = _mm_unpackhi_epi32(v, v);
}

// Four pixels scaled by four factors 0..255.
inline __m128i Scale4(__m128i p, __m128i factors) {
    const __m128i zero = _mm_setzero_si128();
    __m128i flo, fhi;
    Spread(factors, flo, fhi);
    const __m128i lo = Div255(_mm_mullo_epi16(_mm_unpacklo_epi8(p, zero), flo));
    const __m128i hi = Div255(_mm_mullo_epi16(_mm_unpackhi_epi8(p, zero), fhi));
    return _mm_packus_epi16(lo, hi);
}

inline __m128i Over4(__m128i s, __m128i d) {
    const __m128i inv = _mm_sub_epi32(_mm_set1_epi32(255), _mm_srli_epi32(s, 24));
    return _mm_adds_epu8(s, Scale4(d, inv));
}

inline __m128i Cover4(const uint8_t* cover) {
    int32_t bytes;
    std::memcpy(&bytes, cover, 4);
    const __m128i zero = _mm_setzero_si128();
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), zero), zero);
}

inline __m128i Load(const uint32_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline void Store(uint32_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// All four pixels opaque.
inline bool Opaque4(__m128i s) {
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    return _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(s, alpha), alpha)) == 0xFFFF;
}

#endif

#if defined(ZEMBRA_RASTER_AVX2)

#define ZEMBRA_AVX2 __attribute__((target("avx2")))

ZEMBRA_AVX2 inline __m256i Div255x8(__m256i x) {
    return _mm256_mulhi_epu16(_mm256_add_epi16(x, _mm256_set1_epi16(128)), _mm256_set1_epi16(257));
}

// The same as Scale4 on eight pixels (the unpacks work within each half).
ZEMBRA_AVX2 inline __m256i Scale8(__m256i p, __m256i factors) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i f = _mm256_or_si256(factors, _mm256_slli_epi32(factors, 16));
    const __m256i lo =
        Div255x8(_mm256_mullo_epi16(_mm256_unpacklo_epi8(p, zero), _mm256_unpacklo_epi32(f, f)));
    const __m256i hi =
        Div255x8(_mm256_mullo_epi16(_mm256_unpackhi_epi8(p, zero), _mm256_unpackhi_epi32(f, f)));
    return _mm256_packus_epi16(lo, hi);
}

ZEMBRA_AVX2 inline __m256i Over8(__m256i s, __m256i d) {
    const __m256i inv = _mm256_sub_epi32(_mm256_set1_epi32(255), _mm256_srli_epi32(s, 24));
    return _mm256_adds_epu8(s, Scale8(d, inv));
}

ZEMBRA_AVX2 inline __m256i Cover8(const uint8_t* cover) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cover)));
}

ZEMBRA_AVX2 inline bool Opaque8(__m256i s) {
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    return _mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_and_si256(s, alpha), alpha)) == -1;
}

// Pixels done; the caller finishes the rest.
ZEMBRA_AVX2 int OverRow8(uint32_t* dst, const uint32_t* src, const uint8_t* cover, uint8_t constant,
                         int len) {
    int i = 0;
    const __m256i all = _mm256_set1_epi32(constant);
    for (; i + 8 <= len; i += 8) {
        __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        if (cover)
            s = Scale8(s, Cover8(cover + i));
        else if (constant != 255)
            s = Scale8(s, all);
        else if (Opaque8(s)) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), s);
            continue;
        }
        __m256i* d = reinterpret_cast<__m256i*>(dst + i);
        _mm256_storeu_si256(d, Over8(s, _mm256_loadu_si256(d)));
    }
    return i;
}

ZEMBRA_AVX2 int OverSolidRow8(uint32_t* dst, uint32_t color, const uint8_t* cover, int len) {
    int i = 0;
    const __m256i c8 = _mm256_set1_epi32(static_cast<int>(color));
    if (!cover) { // color is already scaled
        for (; i + 8 <= len; i += 8) {
            __m256i* d = reinterpret_cast<__m256i*>(dst + i);
            _mm256_storeu_si256(d, Over8(c8, _mm256_loadu_si256(d)));
        }
        return i;
    }
    for (; i + 8 <= len; i += 8) {
        uint64_t eight;
        std::memcpy(&eight, cover + i, 8);
        if (eight == 0)
            continue;
        __m256i* d = reinterpret_cast<__m256i*>(dst + i);
        _mm256_storeu_si256(d, Over8(Scale8(c8, Cover8(cover + i)), _mm256_loadu_si256(d)));
    }
    return i;
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

#endif

} // namespace

void OverRow(uint32_t* dst, const uint32_t* src, const uint8_t* cover, uint8_t constant, int len) {
    int i = 0;
#if defined(ZEMBRA_RASTER_AVX2)
    if (HasAvx2())
        i = OverRow8(dst, src, cover, constant, len);
#endif
#if defined(__SSE2__)
    const __m128i all = _mm_set1_epi32(constant);
    for (; i + 4 <= len; i += 4) {
        __m128i s = Load(src + i);
        if (cover)
            s = Scale4(s, Cover4(cover + i));
        else if (constant != 255)
            s = Scale4(s, all);
        else if (Opaque4(s)) {
            Store(dst + i, s);
            continue;
        }
        Store(dst + i, Over4(s, Load(dst + i)));
    }
#endif
    for (; i < len; ++i) {
        const uint32_t c = cover ? cover[i] : constant;
        const uint32_t s = c == 255 ? src[i] : ScalePixel(src[i], c);
        dst[i] = Over(s, dst[i]);
    }
}

void OverSolidRow(uint32_t* dst, uint32_t color, const uint8_t* cover, uint8_t constant, int len) {
    if (!cover) {
        const uint32_t s = ScalePixel(color, constant);
        if (s >> 24 == 255) {
            std::fill(dst, dst + len, s);
            return;
        }
        int i = 0;
#if defined(ZEMBRA_RASTER_AVX2)
        if (HasAvx2())
            i = OverSolidRow8(dst, s, nullptr, len);
#endif
#if defined(__SSE2__)
        const __m128i s4 = _mm_set1_epi32(static_cast<int>(s));
        for (; i + 4 <= len; i += 4)
            Store(dst + i, Over4(s4, Load(dst + i)));
#endif
        for (; i < len; ++i)
            dst[i] = Over(s, dst[i]);
        return;
    }
    int i = 0;
#if defined(ZEMBRA_RASTER_AVX2)
    if (HasAvx2())
        i = OverSolidRow8(dst, color, cover, len);
#endif
#if defined(__SSE2__)
    const __m128i c4 = _mm_set1_epi32(static_cast<int>(color));
    for (; i + 4 <= len; i += 4) {
        uint32_t four;
        std::memcpy(&four, cover + i, 4);
        if (four == 0)
            continue;
        Store(dst + i, Over4(Scale4(c4, Cover4(cover + i)), Load(dst + i)));
    }
#endif
    for (; i < len; ++i) {
        if (cover[i])
            dst[i] = Over(ScalePixel(color, cover[i]), dst[i]);
    }
}

} // namespace zembra::raster
