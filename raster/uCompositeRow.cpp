#include "raster/uCompositeRow.h"
#include "raster/uPixel.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zembra::raster {

namespace {

#if defined(__SSE2__)

// Rounded x / 255 in each 16-bit lane, exact for x <= 255 * 255.
inline __m128i Div255(__m128i x) {
    x = _mm_add_epi16(x, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
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

#endif

} // namespace

void OverRow(uint32_t* dst, const uint32_t* src, const uint8_t* cover, uint8_t constant, int len) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i all = _mm_set1_epi32(constant);
    for (; i + 4 <= len; i += 4) {
        __m128i s = Load(src + i);
        if (cover)
            s = Scale4(s, Cover4(cover + i));
        else if (constant != 255)
            s = Scale4(s, all);
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
