// Byte-parallel searches: SSE2 on every x86-64 processor, AVX2 where the processor has it
// (chosen at each call from what the processor reports), plain C++ elsewhere and in a build with
// BRIX_SKALAR. Every variant gives the same result.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brixvektor {

// The first position in [p, pEnde) where the byte a is followed by the byte b, or null. The
// byte behind each candidate is read, so pEnde[0] must be readable.
const char* SuchePaar(const char* p, const char* pEnde, char a, char b) noexcept;

// Bit masks of the 64 bytes at p: bit i of nA is set when p[i] is a, bit i of nB when it is b.
// For passes that look at two kinds of byte at once (markup: '<' and '>').
void MaskenZweier(const char* p, char a, char b, std::uint64_t& nA, std::uint64_t& nB) noexcept;

// The name of the variant the processor gets ("avx2", "sse2" or "skalar"), for reports.
const char* Variante() noexcept;

}  // namespace brixvektor
