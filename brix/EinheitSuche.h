// The search for one UTF-16 unit in a stretch of memory, inline: the scanner calls it at every
// '<' and '>', mostly over short distances, where a call would cost more than the search.
#pragma once

#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brixsuche {

// First ch in [p, pEnde), or null. Eight units are compared at a time, sixteen per round.
inline const char16_t* SucheEinheit(const char16_t* p, const char16_t* pEnde, char16_t ch) noexcept
{
#if defined(__SSE2__)
    const __m128i nadel = _mm_set1_epi16(static_cast<short>(ch));
    while (pEnde - p >= 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
        const unsigned maskA = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(a, nadel)));
        const unsigned maskB = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(b, nadel)));
        if ((maskA | maskB) != 0) {
            const unsigned mask = maskA | (maskB << 16);
            return p + std::countr_zero(mask) / 2;
        }
        p += 16;
    }
    if (pEnde - p >= 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(a, nadel)));
        if (mask != 0) return p + std::countr_zero(mask) / 2;
        p += 8;
    }
#endif
    for (; p < pEnde; ++p) {
        if (*p == ch) return p;
    }
    return nullptr;
}

// Position of the first ch in d[nFrom..n), or -1; nothing is found from outside 0..n-1.
inline int FindeEinheit(const char16_t* d, int n, int nFrom, char16_t ch) noexcept
{
    if (nFrom < 0 || nFrom >= n) return -1;
    const char16_t* pTreffer = SucheEinheit(d + nFrom, d + n, ch);
    return pTreffer ? static_cast<int>(pTreffer - d) : -1;
}

// True when the n units at a and b are equal (n <= 0: true, nothing is read).
inline bool GleicheEinheiten(const char16_t* a, const char16_t* b, int n) noexcept
{
    for (int i = 0; i < n; ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}

}  // namespace brixsuche
