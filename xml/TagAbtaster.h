// The two unit-set searches the tag-block scanner makes at every nested start tag, written for
// their fixed sets: a bit test per unit instead of a general set search. Results are exactly
// those of the general searches named below. The scanner calls the forms on plain units
// (d[0..n), the units of a view); the forms on views are for callers that hold a view.
#pragma once

#include <cstdint>
#include <vector>

#include "brix/BrixSubString.h"

namespace tagabtaster {

// Bits of the units that end a start-tag name: blank, '/', '>', line feed, carriage return, tab.
inline constexpr std::uint64_t kNamensEndeBits = (std::uint64_t{1} << u' ') | (std::uint64_t{1} << u'/') |
                                                 (std::uint64_t{1} << u'>') | (std::uint64_t{1} << u'\n') |
                                                 (std::uint64_t{1} << u'\r') | (std::uint64_t{1} << u'\t');

inline bool IstNamensEnde(char16_t u) noexcept { return u < 64 && ((kNamensEndeBits >> u) & 1) != 0; }

// First unit of the name-end set in d[nFrom..n) (nFrom >= 0), or -1.
inline int NamensEnde(const char16_t* d, int n, int nFrom) noexcept
{
    for (int i = nFrom; i < n; ++i) {
        if (IstNamensEnde(d[i])) return i;
    }
    return -1;
}

// As text.FindeEinesVon(u" />\n\r\t", nFrom, nullptr, false).
inline int NamensEnde(const BrixSubString& text, int nFrom) noexcept
{
    if (!text.HatDaten()) return -1;
    if (nFrom < 0) nFrom = 0;
    return NamensEnde(text.Daten(), text.Laenge(), nFrom);
}

// Bits (units 0..127, two words) of the brackets "()[]{}<>" and the two quotes.
inline constexpr std::uint64_t kKlammerBitsTief = (std::uint64_t{1} << u'(') | (std::uint64_t{1} << u')') |
                                                  (std::uint64_t{1} << u'<') | (std::uint64_t{1} << u'>') |
                                                  (std::uint64_t{1} << u'"') | (std::uint64_t{1} << u'\'');
inline constexpr std::uint64_t kKlammerBitsHoch = (std::uint64_t{1} << (u'[' - 64)) |
                                                  (std::uint64_t{1} << (u']' - 64)) |
                                                  (std::uint64_t{1} << (u'{' - 64)) |
                                                  (std::uint64_t{1} << (u'}' - 64));

inline bool IstKlammerOderQuote(char16_t u) noexcept
{
    return u < 64 ? ((kKlammerBitsTief >> u) & 1) != 0 : (u < 128 && ((kKlammerBitsHoch >> (u - 64)) & 1) != 0);
}

// The bracket walk of SchliessendeSpitzeKlammer over d[i..n), begun with the '<' group open and
// no other: the '>' that closes that group, past nested groups and quoted runs; -1 if none.
inline int SpitzeKlammerAb(const char16_t* d, int n, int i)
{
    // The closer the innermost open group waits for; the outer ones wait on the stack.
    char16_t zu = u'>';
    std::vector<char16_t> aAussen;
    for (; i < n; ++i) {
        const char16_t u = d[i];
        if (!IstKlammerOderQuote(u)) continue;
        char16_t neu = 0;
        switch (u) {
        case u'"':
        case u'\'': {
            // A quoted run is stepped over whole; without its closing quote nothing follows.
            const int q = brixsuche::FindeEinheit(d, n, i + 1, u);
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

// As text.FindeSchliessendeKlammer(nPos, u"()[]{}<>", 6, true): the '>' that closes the group
// the '<' at nPos opens, past nested groups and quoted runs; -1 if none.
inline int SchliessendeSpitzeKlammer(const BrixSubString& text, int nPos)
{
    const int n = text.HatDaten() ? text.Laenge() : 0;
    if (nPos >= n - 1) return -1;
    return SpitzeKlammerAb(text.Daten(), n, nPos + 1);
}

// Both searches for the start tag whose '<' is at p (0 <= p < n - 1), in one pass over its
// name: t = NamensEnde from p + 1 and, when t >= 0, k = SchliessendeSpitzeKlammer from p.
// When no bracket or quote stands in the name, the bracket walk has nothing to do there and
// begins at t. Returns false (t = -1, k untouched) when the name does not end within d[0..n).
inline bool StartTagEnden(const char16_t* d, int n, int p, int& t, int& k)
{
    bool bKlammerImNamen = false;
    int i = p + 1;
    for (; i < n; ++i) {
        const char16_t u = d[i];
        if (IstNamensEnde(u)) break;
        bKlammerImNamen |= IstKlammerOderQuote(u);
    }
    if (i >= n) {
        t = -1;
        return false;
    }
    t = i;
    k = SpitzeKlammerAb(d, n, bKlammerImNamen ? p + 1 : t);
    return true;
}

}  // namespace tagabtaster
