#include "support/SchmalCodec.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

#ifdef __SSE2__
// Bit k set when byte k of the 16 at p has its top bit set (is not ASCII).
inline unsigned NichtAscii16(const unsigned char* p) noexcept
{
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
}
#endif

constexpr std::uint64_t kHoheBits8 = 0x8080808080808080ULL;  // top bit of 8 bytes
constexpr std::uint64_t kNichtAscii4 = 0xFF80FF80FF80FF80ULL; // bits that make 4 units non-ASCII

// True when the 8 bytes at p are all ASCII.
inline bool AchtAscii(const unsigned char* p) noexcept
{
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return (w & kHoheBits8) == 0;
}

// True when the 4 units at p are all below U+0080.
inline bool VierAscii(const char16_t* p) noexcept
{
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return (w & kNichtAscii4) == 0;
}

inline bool IstFolgebyte(unsigned char b) noexcept { return (b & 0xC0) == 0x80; }

// Length (2 to 4) of the well-formed UTF-8 sequence that starts at p, given nRest bytes from p on;
// 0 when the byte at p (not ASCII) starts none. Decoded the textbook way, apart from the
// product's decoder: the lead byte tells the length, every continuation byte is checked, and the
// code point must not be overlong, a surrogate or above U+10FFFF.
inline int FolgenLaenge(const unsigned char* p, std::size_t nRest) noexcept
{
    const unsigned b0 = p[0];
    int n = 0;
    std::uint32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) {
        n = 2;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (nRest < static_cast<std::size_t>(n)) return 0;
    for (int k = 1; k < n; ++k) {
        if (!IstFolgebyte(p[k])) return 0;
        cp = (cp << 6) | (p[k] & 0x3Fu);
    }
    static constexpr std::uint32_t kKleinster[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kKleinster[n] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return 0;
    return n;
}

inline bool IstHoch(char16_t u) noexcept { return u >= 0xD800 && u <= 0xDBFF; }
inline bool IstTief(char16_t u) noexcept { return u >= 0xDC00 && u <= 0xDFFF; }
inline bool IstByteErsatz(char16_t u) noexcept { return u >= 0xDC80 && u <= 0xDCFF; }

}  // namespace

std::int64_t SchmalZaehle(const unsigned char* pBytes, std::size_t n) noexcept
{
    std::int64_t nUnits = 0;
    std::size_t i = 0;
    while (i < n) {
#ifdef __SSE2__
        while (i + 16 <= n && NichtAscii16(pBytes + i) == 0) {
            i += 16;
            nUnits += 16;
        }
#endif
        while (i + 8 <= n && AchtAscii(pBytes + i)) {
            i += 8;
            nUnits += 8;
        }
        if (i >= n) break;
        if (pBytes[i] < 0x80) {
            ++i;
            ++nUnits;
            continue;
        }
        const int nLen = FolgenLaenge(pBytes + i, n - i);
        if (nLen == 0) {
            ++i;  // one escaped byte
            ++nUnits;
        } else {
            i += static_cast<std::size_t>(nLen);
            nUnits += nLen == 4 ? 2 : 1;
        }
    }
    return nUnits;
}

std::size_t SchmalZuUtf16(char16_t* pZiel, const unsigned char* pBytes, std::size_t n) noexcept
{
    char16_t* q = pZiel;
    std::size_t i = 0;
    while (i < n) {
#ifdef __SSE2__
        // 16 bytes per step: all 16 widened and stored, then as many kept as lead ASCII. While at
        // least 48 bytes remain, at least 16 units remain (a unit takes at most 3 bytes), so the
        // store stays inside the room the caller gave. Two-byte sequences (umlauts) are taken
        // here too, so text with frequent umlauts stays on this path.
        const __m128i nNull = _mm_setzero_si128();
        while (n - i >= 48) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pBytes + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm_unpacklo_epi8(v, nNull));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 8), _mm_unpackhi_epi8(v, nNull));
            const unsigned nMaske = static_cast<unsigned>(_mm_movemask_epi8(v));
            if (nMaske == 0) {
                i += 16;
                q += 16;
                continue;
            }
            const unsigned k = static_cast<unsigned>(__builtin_ctz(nMaske));
            i += k;
            q += k;
            const unsigned b0 = pBytes[i];
            if (b0 < 0xC2 || b0 >= 0xE0 || !IstFolgebyte(pBytes[i + 1])) break;
            *q++ = static_cast<char16_t>(((b0 & 0x1F) << 6) | (pBytes[i + 1] & 0x3F));
            i += 2;
        }
        if (i >= n) break;
#endif
        while (i + 8 <= n && AchtAscii(pBytes + i)) {
            for (int k = 0; k < 8; ++k) q[k] = pBytes[i + static_cast<std::size_t>(k)];
            q += 8;
            i += 8;
        }
        if (i >= n) break;
        const unsigned char* p = pBytes + i;
        const unsigned b0 = p[0];
        if (b0 < 0x80) {
            *q++ = static_cast<char16_t>(b0);
            ++i;
            continue;
        }
        switch (FolgenLaenge(p, n - i)) {
        case 2:
            *q++ = static_cast<char16_t>(((b0 & 0x1F) << 6) | (p[1] & 0x3F));
            i += 2;
            break;
        case 3:
            *q++ = static_cast<char16_t>(((b0 & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            i += 3;
            break;
        case 4: {
            const std::uint32_t cp =
                ((b0 & 0x07) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
            const std::uint32_t v = cp - 0x10000;
            *q++ = static_cast<char16_t>(0xD800 + (v >> 10));
            *q++ = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
            i += 4;
            break;
        }
        default:
            *q++ = static_cast<char16_t>(0xDC00 + b0);
            ++i;
            break;
        }
    }
    return static_cast<std::size_t>(q - pZiel);
}

std::size_t Utf16SchmalLaenge(const char16_t* pText, std::size_t n) noexcept
{
    std::size_t nBytes = 0;
    std::size_t i = 0;
    while (i < n) {
        while (i + 4 <= n && VierAscii(pText + i)) {
            i += 4;
            nBytes += 4;
        }
        if (i >= n) break;
        const char16_t u = pText[i];
        if (u < 0x80) {
            nBytes += 1;
        } else if (u < 0x800) {
            nBytes += 2;
        } else if (IstHoch(u) && i + 1 < n && IstTief(pText[i + 1])) {
            nBytes += 4;
            ++i;
        } else if (IstByteErsatz(u)) {
            nBytes += 1;
        } else {
            nBytes += 3;  // other BMP characters, and lone surrogates as U+FFFD
        }
        ++i;
    }
    return nBytes;
}

std::size_t Utf16ZuSchmal(char* pZiel, const char16_t* pText, std::size_t n) noexcept
{
    unsigned char* q = reinterpret_cast<unsigned char*>(pZiel);
    std::size_t i = 0;
    while (i < n) {
#ifdef __SSE2__
        // 16 units per step: all 16 narrowed and stored, then as many kept as lead units below
        // U+0080. Each unit gives at least one byte, so with 16 units left the store stays inside
        // the room the caller gave. Units below U+0800 (umlauts) are taken here too.
        const __m128i nHoch = _mm_set1_epi16(static_cast<short>(0xFF80));
        const __m128i nNull = _mm_setzero_si128();
        while (n - i >= 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pText + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pText + i + 8));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm_packus_epi16(a, b));
            // 0xFF per unit below U+0080, packed to one byte per unit.
            const __m128i nAsciiA = _mm_cmpeq_epi16(_mm_and_si128(a, nHoch), nNull);
            const __m128i nAsciiB = _mm_cmpeq_epi16(_mm_and_si128(b, nHoch), nNull);
            const unsigned nMaske = ~static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(nAsciiA, nAsciiB))) & 0xFFFFu;
            if (nMaske == 0) {
                i += 16;
                q += 16;
                continue;
            }
            const unsigned k = static_cast<unsigned>(__builtin_ctz(nMaske));
            i += k;
            q += k;
            const std::uint32_t u = pText[i];
            if (u >= 0x800) break;
            *q++ = static_cast<unsigned char>(0xC0 | (u >> 6));
            *q++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
            ++i;
        }
        if (i >= n) break;
#endif
        while (i + 4 <= n && VierAscii(pText + i)) {
            q[0] = static_cast<unsigned char>(pText[i]);
            q[1] = static_cast<unsigned char>(pText[i + 1]);
            q[2] = static_cast<unsigned char>(pText[i + 2]);
            q[3] = static_cast<unsigned char>(pText[i + 3]);
            q += 4;
            i += 4;
        }
        if (i >= n) break;
        std::uint32_t u = pText[i];
        if (u < 0x80) {
            *q++ = static_cast<unsigned char>(u);
        } else if (u < 0x800) {
            *q++ = static_cast<unsigned char>(0xC0 | (u >> 6));
            *q++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
        } else if (IstHoch(static_cast<char16_t>(u)) && i + 1 < n && IstTief(pText[i + 1])) {
            const std::uint32_t cp = 0x10000 + ((u - 0xD800) << 10) + (pText[i + 1] - 0xDC00u);
            *q++ = static_cast<unsigned char>(0xF0 | (cp >> 18));
            *q++ = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
            *q++ = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            *q++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            ++i;
        } else if (IstByteErsatz(static_cast<char16_t>(u))) {
            *q++ = static_cast<unsigned char>(u - 0xDC00);  // an undecodable byte goes back as it came
        } else {
            if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;  // lone surrogate
            *q++ = static_cast<unsigned char>(0xE0 | (u >> 12));
            *q++ = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
            *q++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
        }
        ++i;
    }
    return static_cast<std::size_t>(q - reinterpret_cast<unsigned char*>(pZiel));
}
