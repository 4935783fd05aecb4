// Byte searches the scanner and the filters make at every tag, inline: mostly over short
// distances, where a call would cost more than the search.
#pragma once

#include <bit>
#include <cstddef>
#include <cstring>

#if (defined(__x86_64__) || defined(_M_X64)) && !defined(BRIX_SKALAR)
#include <emmintrin.h>
#define BRIX_BYTESUCHE_SSE2 1
#endif

namespace brixsuche {

// Position of the first ch in d[nFrom..n), or -1; nothing is found from outside 0..n-1.
inline std::ptrdiff_t FindeByte(const char* d, std::ptrdiff_t n, std::ptrdiff_t nFrom, char ch) noexcept
{
    if (nFrom < 0 || nFrom >= n) return -1;
#ifdef BRIX_BYTESUCHE_SSE2
    // In text full of tags the next '<' is near: 16 bytes are looked at here before the call.
    if (n - nFrom >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + nFrom));
        const auto nMaske = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(ch))));
        if (nMaske != 0) return nFrom + std::countr_zero(nMaske);
        nFrom += 16;
        if (nFrom >= n) return -1;
    }
#endif
    const void* pTreffer = std::memchr(d + nFrom, static_cast<unsigned char>(ch), static_cast<std::size_t>(n - nFrom));
    return pTreffer ? static_cast<const char*>(pTreffer) - d : -1;
}

// True when a or b stands in d[nFrom..nBis) (a short stretch: a tag).
inline bool HatEinesVon(const char* d, std::ptrdiff_t nFrom, std::ptrdiff_t nBis, char a, char b) noexcept
{
#ifdef BRIX_BYTESUCHE_SSE2
    for (; nBis - nFrom >= 16; nFrom += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + nFrom));
        const __m128i t = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(a)), _mm_cmpeq_epi8(v, _mm_set1_epi8(b)));
        if (_mm_movemask_epi8(t) != 0) return true;
    }
#endif
    for (; nFrom < nBis; ++nFrom) {
        if (d[nFrom] == a || d[nFrom] == b) return true;
    }
    return false;
}

// True when the n bytes at a and b are equal (n <= 0: true, nothing is read).
inline bool GleicheBytes(const char* a, const char* b, std::ptrdiff_t n) noexcept
{
    if (n <= 0) return true;
    // Names are short: a loop beats the call.
    if (n <= 16) {
        for (std::ptrdiff_t i = 0; i < n; ++i) {
            if (a[i] != b[i]) return false;
        }
        return true;
    }
    return std::memcmp(a, b, static_cast<std::size_t>(n)) == 0;
}

}  // namespace brixsuche
