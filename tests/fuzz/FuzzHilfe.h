// Small helpers shared by the fuzz targets: turning fuzz bytes into texts and checking invariants.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/CString.h"

// Aborts with a message when an invariant fails, in every build (assert may be compiled out).
#define FUZZ_PRUEFE(bedingung)                                                              \
    do {                                                                                    \
        if (!(bedingung)) {                                                                 \
            std::fprintf(stderr, "Invariante verletzt: %s (%s:%d)\n", #bedingung, __FILE__, \
                         __LINE__);                                                         \
            std::abort();                                                                   \
        }                                                                                   \
    } while (0)

// Reads fuzz bytes from the front: small numbers that steer a target.
class FuzzLeser {
public:
    FuzzLeser(const std::uint8_t* p, std::size_t n) : m_p(p), m_n(n) {}
    std::uint8_t Byte() { return m_n ? (--m_n, *m_p++) : 0; }
    std::size_t Rest() const { return m_n; }
    std::string_view RestBytes() const { return {reinterpret_cast<const char*>(m_p), m_n}; }
    // Takes bytes up to (not including) a 0xFF separator, or all that are left.
    std::string_view BisTrenner()
    {
        std::size_t i = 0;
        while (i < m_n && m_p[i] != 0xFF) ++i;
        std::string_view teil(reinterpret_cast<const char*>(m_p), i);
        const std::size_t nVerbraucht = i < m_n ? i + 1 : i;
        m_p += nVerbraucht;
        m_n -= nVerbraucht;
        return teil;
    }

private:
    const std::uint8_t* m_p;
    std::size_t m_n;
};

// The text of the fuzz bytes: UTF-8 decoded, or (when bRoh) raw little-endian UTF-16 units, so
// that every unit value, lone surrogates and U+0000 included, can occur.
inline CString FuzzText(std::string_view bytes, bool bRoh)
{
    if (!bRoh) return CString::AusSchmal(bytes);
    std::u16string einheiten;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        einheiten.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                  (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return CString(einheiten);
}

// True when every unit of teil occurs in ganz in the same order (teil is a subsequence).
inline bool IstTeilfolge(std::u16string_view teil, std::u16string_view ganz)
{
    std::size_t j = 0;
    for (std::size_t i = 0; i < ganz.size() && j < teil.size(); ++i)
        if (ganz[i] == teil[j]) ++j;
    return j == teil.size();
}
