#include "brix/Vektor.h"

#include <bit>
#include <cstring>

#if (defined(__x86_64__) || defined(_M_X64)) && !defined(BRIX_SKALAR)
#define BRIX_X86 1
#include <immintrin.h>
#endif

namespace brixvektor {

namespace {

[[maybe_unused]] const char* SuchePaarSkalar(const char* p, const char* pEnde, char a, char b) noexcept
{
    for (;;) {
        const void* q = std::memchr(p, static_cast<unsigned char>(a), static_cast<std::size_t>(pEnde - p));
        if (!q) return nullptr;
        p = static_cast<const char*>(q);
        if (p[1] == b) return p;
        ++p;
    }
}

[[maybe_unused]] void MaskenZweierSkalar(const char* p, char a, char b, std::uint64_t& nA, std::uint64_t& nB) noexcept
{
    nA = 0;
    nB = 0;
    for (int i = 0; i < 64; ++i) {
        nA |= static_cast<std::uint64_t>(p[i] == a) << i;
        nB |= static_cast<std::uint64_t>(p[i] == b) << i;
    }
}

#ifdef BRIX_X86

const char* SuchePaarSse2(const char* p, const char* pEnde, char a, char b) noexcept
{
    const __m128i nA = _mm_set1_epi8(a);
    const __m128i nB = _mm_set1_epi8(b);
    while (pEnde - p >= 16) {
        const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        const unsigned nMaske =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(v0, nA), _mm_cmpeq_epi8(v1, nB))));
        if (nMaske != 0) return p + std::countr_zero(nMaske);
        p += 16;
    }
    return p < pEnde ? SuchePaarSkalar(p, pEnde, a, b) : nullptr;
}

__attribute__((target("avx2"))) const char* SuchePaarAvx2(const char* p, const char* pEnde, char a, char b) noexcept
{
    const __m256i nA = _mm256_set1_epi8(a);
    const __m256i nB = _mm256_set1_epi8(b);
    while (pEnde - p >= 32) {
        const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
        const auto nMaske = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(v0, nA), _mm256_cmpeq_epi8(v1, nB))));
        if (nMaske != 0) return p + std::countr_zero(nMaske);
        p += 32;
    }
    return SuchePaarSse2(p, pEnde, a, b);
}

void MaskenZweierSse2(const char* p, char a, char b, std::uint64_t& nA, std::uint64_t& nB) noexcept
{
    const __m128i vA = _mm_set1_epi8(a);
    const __m128i vB = _mm_set1_epi8(b);
    nA = 0;
    nB = 0;
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        nA |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, vA)))) << (16 * k);
        nB |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, vB)))) << (16 * k);
    }
}

__attribute__((target("avx2"))) void MaskenZweierAvx2(const char* p, char a, char b, std::uint64_t& nA,
                                                      std::uint64_t& nB) noexcept
{
    const __m256i vA = _mm256_set1_epi8(a);
    const __m256i vB = _mm256_set1_epi8(b);
    const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    const auto a0 = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v0, vA)));
    const auto a1 = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v1, vA)));
    const auto b0 = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v0, vB)));
    const auto b1 = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v1, vB)));
    nA = a0 | (static_cast<std::uint64_t>(a1) << 32);
    nB = b0 | (static_cast<std::uint64_t>(b1) << 32);
}

inline bool HatAvx2() noexcept { return __builtin_cpu_supports("avx2"); }

#endif

}  // namespace

const char* SuchePaar(const char* p, const char* pEnde, char a, char b) noexcept
{
    if (p >= pEnde) return nullptr;
#ifdef BRIX_X86
    return HatAvx2() ? SuchePaarAvx2(p, pEnde, a, b) : SuchePaarSse2(p, pEnde, a, b);
#else
    return SuchePaarSkalar(p, pEnde, a, b);
#endif
}

void MaskenZweier(const char* p, char a, char b, std::uint64_t& nA, std::uint64_t& nB) noexcept
{
#ifdef BRIX_X86
    if (HatAvx2()) {
        MaskenZweierAvx2(p, a, b, nA, nB);
    } else {
        MaskenZweierSse2(p, a, b, nA, nB);
    }
#else
    MaskenZweierSkalar(p, a, b, nA, nB);
#endif
}

const char* Variante() noexcept
{
#ifdef BRIX_X86
    return HatAvx2() ? "avx2" : "sse2";
#else
    return "skalar";
#endif
}

}  // namespace brixvektor
