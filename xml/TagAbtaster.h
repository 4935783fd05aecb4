// The two unit-set searches the tag-block scanner makes at every nested start tag, written for
// their fixed sets: a bit test per unit instead of a general set search. Results are exactly
// those of the general searches named below.
#pragma once

#include <cstdint>
#include <vector>

#include "brix/BrixSubString.h"

namespace tagabtaster {

// Bits of the units that end a start-tag name: blank, '/', '>', line feed, carriage return, tab.
inline constexpr std::uint64_t kNamensEndeBits = (std::uint64_t{1} << u' ') | (std::uint64_t{1} << u'/') |
                                                 (std::uint64_t{1} << u'>') | (std::uint64_t{1} << u'\n') |
                                                 (std::uint64_t{1} << u'\r') | (std::uint64_t{1} << u'\t');

// As text.FindeEinesVon(u" />\n\r\t", nFrom, nullptr, false).
inline int NamensEnde(const BrixSubString& text, int nFrom) noexcept
{
    if (!text.HatDaten()) return -1;
    if (nFrom < 0) nFrom = 0;
    const int n = text.Laenge();
    const char16_t* p = text.Daten();
    for (int i = nFrom; i < n; ++i) {
        const char16_t u = p[i];
        if (u < 64 && ((kNamensEndeBits >> u) & 1) != 0) return i;
    }
    return -1;
}

// Bits (units 0..127, two words) of the brackets "()[]{}<>" and the two quotes.
inline constexpr std::uint64_t kKlammerBitsTief = (std::uint64_t{1} << u'(') | (std::uint64_t{1} << u')') |
                                                  (std::uint64_t{1} << u'<') | (std::uint64_t{1} << u'>') |
                                                  (std::uint64_t{1} << u'"') | (std::uint64_t{1} << u'\'');
inline constexpr std::uint64_t kKlammerBitsHoch = (std::uint64_t{1} << (u'[' - 64)) |
                                                  (std::uint64_t{1} << (u']' - 64)) |
                                                  (std::uint64_t{1} << (u'{' - 64)) |
                                                  (std::uint64_t{1} << (u'}' - 64));

// As text.FindeSchliessendeKlammer(nPos, u"()[]{}<>", 6, true): the '>' that closes the group
// the '<' at nPos opens, past nested groups and quoted runs; -1 if none.
inline int SchliessendeSpitzeKlammer(const BrixSubString& text, int nPos)
{
    const int n = text.HatDaten() ? text.Laenge() : 0;
    if (nPos >= n - 1) return -1;
    const char16_t* p = text.Daten();
    // The closer the innermost open group waits for; the outer ones wait on the stack.
    char16_t zu = u'>';
    std::vector<char16_t> aAussen;
    for (int i = nPos + 1; i < n; ++i) {
        const char16_t u = p[i];
        const bool bKandidat =
            u < 64 ? ((kKlammerBitsTief >> u) & 1) != 0 : (u < 128 && ((kKlammerBitsHoch >> (u - 64)) & 1) != 0);
        if (!bKandidat) continue;
        char16_t neu = 0;
        switch (u) {
        case u'"':
        case u'\'': {
            // A quoted run is stepped over whole; without its closing quote nothing follows.
            const int q = text.FindeZeichen(u, i + 1);
            if (q < 0) return -1;
            i = q;
            continue;
        }
        case u'(': neu = u')'; break;
        case u'[': neu = u']'; break;
        case u'{': neu = u'}'; break;
        case u'<': neu = u'>'; break;
        default:
            // A closer: it ends the innermost group if it is that group's; others are passed over.
            if (u == zu) {
                if (aAussen.empty()) return i;
                zu = aAussen.back();
                aAussen.pop_back();
            }
            continue;
        }
        aAussen.push_back(zu);
        zu = neu;
    }
    return -1;
}

}  // namespace tagabtaster
