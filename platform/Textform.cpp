#include "platform/Textform.h"

namespace {

inline bool IstFolgebyte(unsigned char b) noexcept { return (b & 0xC0) == 0x80; }

// Length (2 to 4) of the well-formed UTF-8 sequence that starts at p, given nRest bytes from p on;
// 0 when the byte at p (not ASCII) starts none: a stray continuation, an overlong lead, an
// encoded surrogate, a code point above U+10FFFF or a sequence cut short.
inline int FolgenLaenge(const unsigned char* p, std::size_t nRest) noexcept
{
    const unsigned b0 = p[0];
    if (b0 < 0xC2) return 0;
    if (b0 < 0xE0) return nRest >= 2 && IstFolgebyte(p[1]) ? 2 : 0;
    if (b0 < 0xF0) {
        if (nRest < 3) return 0;
        const unsigned nMin = b0 == 0xE0 ? 0xA0 : 0x80;  // E0 80..9F would be overlong
        const unsigned nMax = b0 == 0xED ? 0x9F : 0xBF;  // ED A0..BF would be a surrogate
        return p[1] >= nMin && p[1] <= nMax && IstFolgebyte(p[2]) ? 3 : 0;
    }
    if (b0 < 0xF5) {
        if (nRest < 4) return 0;
        const unsigned nMin = b0 == 0xF0 ? 0x90 : 0x80;  // F0 80..8F would be overlong
        const unsigned nMax = b0 == 0xF4 ? 0x8F : 0xBF;  // F4 90.. would pass U+10FFFF
        return p[1] >= nMin && p[1] <= nMax && IstFolgebyte(p[2]) && IstFolgebyte(p[3]) ? 4 : 0;
    }
    return 0;
}

// The 3-byte form of a unit from U+0800 on (surrogates included).
inline char* Dreibyte(char* q, unsigned u) noexcept
{
    q[0] = static_cast<char>(0xE0 | (u >> 12));
    q[1] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    q[2] = static_cast<char>(0x80 | (u & 0x3F));
    return q + 3;
}

// The unit of a surrogate in its 3-byte form at p (p[0] is ED, p[1] in A0..BF).
inline unsigned Surrogat(const unsigned char* p) noexcept { return 0xD000u | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu); }

// True when the n bytes at p begin with a surrogate in its 3-byte form.
inline bool IstSurrogat(const unsigned char* p, std::size_t n) noexcept
{
    return n >= 3 && p[0] == 0xED && p[1] >= 0xA0 && p[1] <= 0xBF && IstFolgebyte(p[2]);
}

// The byte that an odd last byte of a UTF-16 file was kept as: F8 b1 b2.
inline bool IstEinzelbyte(const unsigned char* p, std::size_t n) noexcept
{
    return n >= 3 && p[0] == 0xF8 && IstFolgebyte(p[1]) && IstFolgebyte(p[2]);
}

}  // namespace

int ZeichenLaenge(const unsigned char* p, std::size_t nRest, TextForm eForm, int& nUnits) noexcept
{
    nUnits = 1;
    if (p[0] < 0x80) return 1;
    if (eForm == TextForm::AusUtf16) {
        if (IstSurrogat(p, nRest)) return 3;
        if (IstEinzelbyte(p, nRest)) {
            // Half a unit: the odd byte counts for none.
            nUnits = 0;
            return 3;
        }
    }
    const int nLaenge = FolgenLaenge(p, nRest);
    if (nLaenge == 0) return 1;
    if (nLaenge == 4) nUnits = 2;
    return nLaenge;
}

std::ptrdiff_t ZeichenNachUnits(const char* d, std::ptrdiff_t n, std::ptrdiff_t p, std::ptrdiff_t nUnits,
                                TextForm eForm) noexcept
{
    const auto* b = reinterpret_cast<const unsigned char*>(d);
    std::ptrdiff_t nGezaehlt = 0;  // units from p up to pos
    std::ptrdiff_t nLetztes = p;
    for (std::ptrdiff_t pos = p; pos < n;) {
        int nUnitsHier = 1;
        int nLaenge = b[pos] < 0x80 ? 1 : ZeichenLaenge(b + pos, static_cast<std::size_t>(n - pos), eForm, nUnitsHier);
        // A high and a low surrogate that stand side by side (an earlier filter took out what
        // stood between them) are a pair of units like any other.
        if (eForm == TextForm::AusUtf16 && nLaenge == 3 && IstSurrogat(b + pos, static_cast<std::size_t>(n - pos)) &&
            Surrogat(b + pos) <= 0xDBFF && IstSurrogat(b + pos + 3, static_cast<std::size_t>(n - pos - 3)) &&
            Surrogat(b + pos + 3) >= 0xDC00) {
            nLaenge = 6;
            nUnitsHier = 2;
        }
        // This character holds the units nGezaehlt .. nGezaehlt + nUnitsHier - 1.
        if (nGezaehlt + nUnitsHier > nUnits) return pos;
        if (nUnitsHier > 0) nLetztes = pos;
        nGezaehlt += nUnitsHier;
        pos += nLaenge;
    }
    return nLetztes;
}

std::size_t Utf16InternLaenge(const unsigned char* pBytes, std::size_t n) noexcept
{
    std::size_t nLaenge = 0;
    std::size_t i = 0;
    for (; i + 1 < n; i += 2) {
        const unsigned u = pBytes[i] | (pBytes[i + 1] << 8);
        if (u < 0x80) {
            nLaenge += 1;
        } else if (u < 0x800) {
            nLaenge += 2;
        } else if (u >= 0xD800 && u <= 0xDBFF && i + 3 < n && (pBytes[i + 3] & 0xFC) == 0xDC) {
            nLaenge += 4;  // a pair
            i += 2;
        } else {
            nLaenge += 3;
        }
    }
    return nLaenge + (i < n ? 3 : 0);
}

std::size_t Utf16ZuIntern(char* pZiel, const unsigned char* pBytes, std::size_t n) noexcept
{
    char* q = pZiel;
    std::size_t i = 0;
    for (; i + 1 < n; i += 2) {
        const unsigned u = pBytes[i] | (pBytes[i + 1] << 8);
        if (u < 0x80) {
            *q++ = static_cast<char>(u);
        } else if (u < 0x800) {
            *q++ = static_cast<char>(0xC0 | (u >> 6));
            *q++ = static_cast<char>(0x80 | (u & 0x3F));
        } else if (u >= 0xD800 && u <= 0xDBFF && i + 3 < n && (pBytes[i + 3] & 0xFC) == 0xDC) {
            const unsigned v = pBytes[i + 2] | (pBytes[i + 3] << 8);
            const unsigned c = 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00);
            *q++ = static_cast<char>(0xF0 | (c >> 18));
            *q++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *q++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *q++ = static_cast<char>(0x80 | (c & 0x3F));
            i += 2;
        } else {
            q = Dreibyte(q, u);
        }
    }
    if (i < n) {
        // The odd last byte, kept.
        *q++ = static_cast<char>(0xF8);
        *q++ = static_cast<char>(0x80 | (pBytes[i] >> 6));
        *q++ = static_cast<char>(0x80 | (pBytes[i] & 0x3F));
    }
    return static_cast<std::size_t>(q - pZiel);
}

std::size_t Utf16Fertig(const unsigned char* pBytes, std::size_t n) noexcept
{
    n &= ~std::size_t{1};
    if (n >= 2 && (pBytes[n - 1] & 0xFC) == 0xD8) n -= 2;
    return n;
}

std::string SchmalZuIntern(std::string_view bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::string s;
    s.reserve(n);
    for (std::size_t i = 0; i < n;) {
        if (p[i] < 0x80) {
            s += static_cast<char>(p[i++]);
            continue;
        }
        const int nLaenge = FolgenLaenge(p + i, n - i);
        if (nLaenge > 0) {
            s.append(bytes.data() + i, static_cast<std::size_t>(nLaenge));
            i += static_cast<std::size_t>(nLaenge);
            continue;
        }
        char a[3];
        Dreibyte(a, 0xDC00u + p[i++]);
        s.append(a, 3);
    }
    return s;
}

std::size_t InternZuAusgabe(char* pZiel, const char* pText, std::size_t n) noexcept
{
    const auto* p = reinterpret_cast<const unsigned char*>(pText);
    char* q = pZiel;
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b != 0xED && b != 0xF8) {
            *q++ = static_cast<char>(b);
            ++i;
            continue;
        }
        if (IstEinzelbyte(p + i, n - i)) {
            *q++ = static_cast<char>(((p[i + 1] & 0x03) << 6) | (p[i + 2] & 0x3F));
            i += 3;
            continue;
        }
        if (!IstSurrogat(p + i, n - i)) {
            *q++ = static_cast<char>(b);
            ++i;
            continue;
        }
        const unsigned u = Surrogat(p + i);
        if (u <= 0xDBFF && IstSurrogat(p + i + 3, n - i - 3) && Surrogat(p + i + 3) >= 0xDC00) {
            // A high and a low surrogate side by side: the pair's code point.
            const unsigned c = 0x10000 + ((u - 0xD800) << 10) + (Surrogat(p + i + 3) - 0xDC00);
            *q++ = static_cast<char>(0xF0 | (c >> 18));
            *q++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *q++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *q++ = static_cast<char>(0x80 | (c & 0x3F));
            i += 6;
            continue;
        }
        if (u >= 0xDC80 && u <= 0xDCFF) {
            *q++ = static_cast<char>(u & 0xFF);
        } else {
            *q++ = static_cast<char>(0xEF);
            *q++ = static_cast<char>(0xBF);
            *q++ = static_cast<char>(0xBD);
        }
        i += 3;
    }
    return static_cast<std::size_t>(q - pZiel);
}

std::size_t HohesEnde(const char* pText, std::size_t n) noexcept
{
    const auto* p = reinterpret_cast<const unsigned char*>(pText);
    return n >= 3 && IstSurrogat(p + n - 3, 3) && Surrogat(p + n - 3) <= 0xDBFF ? 3 : 0;
}

std::size_t InternZuUtf16(char* pZiel, const char* pText, std::size_t n) noexcept
{
    const auto* p = reinterpret_cast<const unsigned char*>(pText);
    char* q = pZiel;
    auto einheit = [&q](unsigned u) {
        *q++ = static_cast<char>(u & 0xFF);
        *q++ = static_cast<char>(u >> 8);
    };
    std::size_t i = 0;
    while (i < n) {
        const unsigned b = p[i];
        if (b < 0x80) {
            einheit(b);
            ++i;
        } else if (IstEinzelbyte(p + i, n - i)) {
            *q++ = static_cast<char>(((p[i + 1] & 0x03) << 6) | (p[i + 2] & 0x3F));
            i += 3;
        } else if (IstSurrogat(p + i, n - i)) {
            einheit(Surrogat(p + i));
            i += 3;
        } else {
            const int nLaenge = FolgenLaenge(p + i, n - i);
            if (nLaenge == 2) {
                einheit(((b & 0x1Fu) << 6) | (p[i + 1] & 0x3Fu));
            } else if (nLaenge == 3) {
                einheit(((b & 0x0Fu) << 12) | ((p[i + 1] & 0x3Fu) << 6) | (p[i + 2] & 0x3Fu));
            } else if (nLaenge == 4) {
                const unsigned c =
                    ((b & 0x07u) << 18) | ((p[i + 1] & 0x3Fu) << 12) | ((p[i + 2] & 0x3Fu) << 6) | (p[i + 3] & 0x3Fu);
                einheit(0xD800u + ((c - 0x10000u) >> 10));
                einheit(0xDC00u + ((c - 0x10000u) & 0x3FFu));
            } else {
                einheit(0xDC00u + b);
            }
            i += nLaenge > 0 ? static_cast<std::size_t>(nLaenge) : 1;
        }
    }
    return static_cast<std::size_t>(q - pZiel);
}
