// BrixSubString searches: strings, sets of units, closing brackets, and splitting into fields
// (the unit search is inline, in brix/EinheitSuche.h).
// Every search stays inside the view and treats U+0000 as an ordinary unit.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "brix/BrixSubString.h"
#include "brix/CBrixArray.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr char16_t kStandardKlammern[] = u"()[]{}<>";

using brixsuche::SucheEinheit;

// First position in [p, pEnde) where the unit a is followed by the unit b, or null. The unit
// behind each candidate is read, so pEnde[0] must be readable.
const char16_t* SuchePaar(const char16_t* p, const char16_t* pEnde, char16_t a, char16_t b) noexcept
{
#if defined(__SSE2__)
    const __m128i nA = _mm_set1_epi16(static_cast<short>(a));
    const __m128i nB = _mm_set1_epi16(static_cast<short>(b));
    while (pEnde - p >= 8) {
        const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        const __m128i nBeide = _mm_and_si128(_mm_cmpeq_epi16(v0, nA), _mm_cmpeq_epi16(v1, nB));
        const unsigned nMaske = static_cast<unsigned>(_mm_movemask_epi8(nBeide));
        if (nMaske != 0) return p + std::countr_zero(nMaske) / 2;
        p += 8;
    }
#endif
    for (; p < pEnde; ++p) {
        if (p[0] == a && p[1] == b) return p;
    }
    return nullptr;
}

// A quick pre-test for set membership: bit (u & 63) is set for every member u.
std::uint64_t MengenFilter(const char16_t* pSet) noexcept
{
    std::uint64_t nFilter = 0;
    for (const char16_t* p = pSet; *p != 0; ++p) nFilter |= std::uint64_t{1} << (*p & 63);
    return nFilter;
}

// Index of the first member equal to u, or -1. U+0000 is never a member.
int MitgliedIndex(const char16_t* pSet, char16_t u) noexcept
{
    if (u == 0) return -1;
    for (int k = 0; pSet[k] != 0; ++k) {
        if (pSet[k] == u) return k;
    }
    return -1;
}

}  // namespace

int BrixSubString::FindeString(const char16_t* s, int nFrom) const noexcept
{
    if (!HatDaten() || s == nullptr) return -1;
    if (nFrom < 0) nFrom = 0;
    const int n = Laenge();
    if (nFrom > n) return -1;
    const std::size_t ls = std::char_traits<char16_t>::length(s);
    if (ls == 0) return nFrom;
    if (ls > static_cast<std::size_t>(n - nFrom)) return -1;
    const char16_t* p = Daten();
    // The last position at which s still ends within the view.
    const char16_t* pLetzter = p + (n - static_cast<int>(ls));
    const char16_t* pSuche = p + nFrom;
    const std::size_t nRestBytes = (ls - 1) * sizeof(char16_t);
    // Find the first unit (with a longer pattern: the first two) fast, then compare the rest of
    // the (short) pattern. Searching "<!--" for its first unit alone would stop at every tag.
    while (pSuche <= pLetzter) {
        const char16_t* pTreffer =
            ls >= 2 ? SuchePaar(pSuche, pLetzter + 1, s[0], s[1]) : SucheEinheit(pSuche, pLetzter + 1, s[0]);
        if (!pTreffer) return -1;
        if (std::memcmp(pTreffer + 1, s + 1, nRestBytes) == 0) return static_cast<int>(pTreffer - p);
        pSuche = pTreffer + 1;
    }
    return -1;
}

int BrixSubString::FindeEinesVon(const char16_t* pSet, int nFrom, int* pnWhich, bool bSkipQuotes) const noexcept
{
    if (!HatDaten() || pSet == nullptr) return -1;
    if (nFrom < 0) nFrom = 0;
    const int n = Laenge();
    if (nFrom >= n) return -1;
    const char16_t* p = Daten();
    const char16_t* pEnde = p + n;
    const char16_t* q = p + nFrom;
#if defined(__SSE2__)
    // Eight units at a time against every member (and the quotes): a hit is either a quote,
    // whose run is stepped over, or a member. Sets too large for this go unit by unit.
    constexpr std::size_t kMaxNadeln = 12;
    const std::size_t nSet = std::char_traits<char16_t>::length(pSet);
    const std::size_t nNadeln = nSet + (bSkipQuotes ? 2 : 0);
    if (nNadeln > 0 && nNadeln <= kMaxNadeln) {
        __m128i aNadeln[kMaxNadeln];
        for (std::size_t k = 0; k < nSet; ++k) aNadeln[k] = _mm_set1_epi16(static_cast<short>(pSet[k]));
        if (bSkipQuotes) {
            aNadeln[nSet] = _mm_set1_epi16(static_cast<short>(u'"'));
            aNadeln[nSet + 1] = _mm_set1_epi16(static_cast<short>(u'\''));
        }
        while (pEnde - q >= 8) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
            __m128i treffer = _mm_cmpeq_epi16(a, aNadeln[0]);
            for (std::size_t k = 1; k < nNadeln; ++k) treffer = _mm_or_si128(treffer, _mm_cmpeq_epi16(a, aNadeln[k]));
            const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(treffer));
            if (mask == 0) {
                q += 8;
                continue;
            }
            q += std::countr_zero(mask) / 2;
            const char16_t u = *q;
            if (bSkipQuotes && (u == u'"' || u == u'\'')) {
                const char16_t* pZu = SucheEinheit(q + 1, pEnde, u);
                if (!pZu) return -1;
                q = pZu + 1;
                continue;
            }
            if (pnWhich) *pnWhich = MitgliedIndex(pSet, u);
            return static_cast<int>(q - p);
        }
    }
#endif
    const std::uint64_t nFilter = MengenFilter(pSet);
    for (; q < pEnde; ++q) {
        const char16_t u = *q;
        if (bSkipQuotes && (u == u'"' || u == u'\'')) {
            // A quoted run is stepped over whole; without its closing quote nothing follows.
            const char16_t* pZu = SucheEinheit(q + 1, pEnde, u);
            if (!pZu) return -1;
            q = pZu;
            continue;
        }
        if (((nFilter >> (u & 63)) & 1) == 0) continue;
        const int k = MitgliedIndex(pSet, u);
        if (k >= 0) {
            if (pnWhich) *pnWhich = k;
            return static_cast<int>(q - p);
        }
    }
    return -1;
}

int BrixSubString::FindeSchliessendeKlammer(int nPos, const char16_t* pBrackets, int nBracketIndex,
                                            bool bSkipQuotes) const
{
    if (pBrackets == nullptr) pBrackets = kStandardKlammern;
    const int n = HatDaten() ? Laenge() : 0;
    if (nPos >= n - 1) return -1;
    if (nBracketIndex == -1) {
        const int d = FindeEinesVon(pBrackets, nPos, &nBracketIndex, bSkipQuotes);
        if (d == -1) {
            std::fputs("Debugging-Hinweis: Fehler in BrixSubString::FindeSchliessendeKlammer() - bis zum "
                       "Stringende gesucht.\n",
                       stderr);
            return -1;
        }
        if (nBracketIndex % 2 != 0) return -1;
        nPos = d;
    }

    // Each open group keeps its opener's index; the innermost one is nOffen, the outer ones
    // wait on the stack. A group that fails to close makes the whole search fail.
    std::vector<int> aAussen;
    int nOffen = nBracketIndex;
    int nWhich = -1;
    int r = FindeEinesVon(pBrackets, nPos + 1, &nWhich, bSkipQuotes);
    while (r != -1) {
        if (nWhich % 2 == 0) {
            // A nested group opens; the enclosing one waits on the stack.
            aAussen.push_back(nOffen);
            nOffen = nWhich;
            nPos = r;
            r = FindeEinesVon(pBrackets, nPos + 1, &nWhich, bSkipQuotes);
        } else if (nWhich == nOffen + 1) {
            if (aAussen.empty()) return r;
            nOffen = aAussen.back();
            aAussen.pop_back();
            nPos = r;
            r = FindeEinesVon(pBrackets, nPos + 1, &nWhich, bSkipQuotes);
        } else {
            // A closer of another kind is passed over.
            r = FindeEinesVon(pBrackets, r + 1, &nWhich, bSkipQuotes);
        }
    }
    return -1;
}

BrixSubString BrixSubString::NaechstesTeil(char16_t chSep, int& nPos, const char16_t* pBrackets) const
{
    const int n = HatDaten() ? Laenge() : 0;
    if (nPos == n) {
        nPos = n + 1;
        return BrixSubString();
    }
    if (nPos > n || nPos < 0) {
        nPos = -1;
        return BrixSubString();
    }
    int i = nPos;
    while (i < n) {
        const char16_t u = ZeichenAn(i);
        if (u == chSep) break;
        if (pBrackets != nullptr) {
            const int k = MitgliedIndex(pBrackets, u);
            if (k >= 0 && k % 2 == 0) {
                const int nZu = FindeSchliessendeKlammer(i, pBrackets, k, false);
                if (nZu == -1) {
                    // No closer: the field runs to the end of the view, and it is the last one.
                    i = n;
                    break;
                }
                i = nZu;
            }
        }
        ++i;
    }
    BrixSubString teil = Mitte(nPos, i - nPos);
    nPos = i + 1;
    return teil;
}

void BrixSubString::Teile(char16_t chSep, CBrixArray<BrixSubString>& aFields, const char16_t* pBrackets) const
{
    aFields.EntferneAlle();
    if (!HatDaten() || Laenge() <= 0) return;
    int nPos = 0;
    for (;;) {
        const BrixSubString teil = NaechstesTeil(chSep, nPos, pBrackets);
        if (nPos == -1) break;
        aFields.Hinzufuegen(teil);
    }
}
