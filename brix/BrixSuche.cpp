// BrixSubString searches: strings, sets of bytes, closing brackets, and splitting into fields
// (the byte search is inline, in brix/ByteSuche.h).
// Every search stays inside the view and treats a zero byte as an ordinary byte.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "brix/BrixSubString.h"
#include "brix/CBrixArray.h"
#include "brix/Vektor.h"

namespace {

constexpr char kStandardKlammern[] = "()[]{}<>";

// A quick pre-test for set membership: bit (b & 63) is set for every member b.
std::uint64_t MengenFilter(const char* pSet) noexcept
{
    std::uint64_t nFilter = 0;
    for (const char* p = pSet; *p != 0; ++p) nFilter |= std::uint64_t{1} << (static_cast<unsigned char>(*p) & 63);
    return nFilter;
}

// Index of the first member equal to b, or -1. A zero byte is never a member.
int MitgliedIndex(const char* pSet, char b) noexcept
{
    if (b == 0) return -1;
    for (int k = 0; pSet[k] != 0; ++k) {
        if (pSet[k] == b) return k;
    }
    return -1;
}

}  // namespace

std::ptrdiff_t BrixSubString::FindeString(const char* s, std::ptrdiff_t nFrom) const noexcept
{
    if (!HatDaten() || s == nullptr) return -1;
    if (nFrom < 0) nFrom = 0;
    const std::ptrdiff_t n = Laenge();
    if (nFrom > n) return -1;
    const auto ls = static_cast<std::ptrdiff_t>(std::strlen(s));
    if (ls == 0) return nFrom;
    if (ls > n - nFrom) return -1;
    const char* p = Daten();
    // The last position at which s still ends within the view.
    const char* pLetzter = p + (n - ls);
    const char* pSuche = p + nFrom;
    // Find the first byte (with a longer pattern: the first two) fast, then compare the rest of
    // the (short) pattern. Searching "<!--" for its first byte alone would stop at every tag.
    while (pSuche <= pLetzter) {
        const char* pTreffer =
            ls >= 2 ? brixvektor::SuchePaar(pSuche, pLetzter + 1, s[0], s[1])
                    : static_cast<const char*>(std::memchr(pSuche, static_cast<unsigned char>(s[0]),
                                                           static_cast<std::size_t>(pLetzter + 1 - pSuche)));
        if (!pTreffer) return -1;
        if (std::memcmp(pTreffer + 1, s + 1, static_cast<std::size_t>(ls - 1)) == 0) return pTreffer - p;
        pSuche = pTreffer + 1;
    }
    return -1;
}

std::ptrdiff_t BrixSubString::FindeEinesVon(const char* pSet, std::ptrdiff_t nFrom, int* pnWhich,
                                            bool bSkipQuotes) const noexcept
{
    if (!HatDaten() || pSet == nullptr) return -1;
    if (nFrom < 0) nFrom = 0;
    const std::ptrdiff_t n = Laenge();
    if (nFrom >= n) return -1;
    const char* p = Daten();
    const char* pEnde = p + n;
    const std::uint64_t nFilter = MengenFilter(pSet);
    for (const char* q = p + nFrom; q < pEnde; ++q) {
        const char u = *q;
        if (bSkipQuotes && (u == '"' || u == '\'')) {
            // A quoted run is stepped over whole; without its closing quote nothing follows.
            const void* pZu =
                std::memchr(q + 1, static_cast<unsigned char>(u), static_cast<std::size_t>(pEnde - q - 1));
            if (!pZu) return -1;
            q = static_cast<const char*>(pZu);
            continue;
        }
        if (((nFilter >> (static_cast<unsigned char>(u) & 63)) & 1) == 0) continue;
        const int k = MitgliedIndex(pSet, u);
        if (k >= 0) {
            if (pnWhich) *pnWhich = k;
            return q - p;
        }
    }
    return -1;
}

std::ptrdiff_t BrixSubString::FindeSchliessendeKlammer(std::ptrdiff_t nPos, const char* pBrackets, int nBracketIndex,
                                                       bool bSkipQuotes) const
{
    if (pBrackets == nullptr) pBrackets = kStandardKlammern;
    const std::ptrdiff_t n = HatDaten() ? Laenge() : 0;
    if (nPos >= n - 1) return -1;
    if (nBracketIndex == -1) {
        const std::ptrdiff_t d = FindeEinesVon(pBrackets, nPos, &nBracketIndex, bSkipQuotes);
        if (d == -1) {
            std::fputs(
                "Debugging-Hinweis: Fehler in BrixSubString::FindeSchliessendeKlammer() - bis zum "
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
    std::ptrdiff_t r = FindeEinesVon(pBrackets, nPos + 1, &nWhich, bSkipQuotes);
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

BrixSubString BrixSubString::NaechstesTeil(char chSep, std::ptrdiff_t& nPos, const char* pBrackets) const
{
    const std::ptrdiff_t n = HatDaten() ? Laenge() : 0;
    if (nPos == n) {
        nPos = n + 1;
        return BrixSubString();
    }
    if (nPos > n || nPos < 0) {
        nPos = -1;
        return BrixSubString();
    }
    std::ptrdiff_t i = nPos;
    while (i < n) {
        const char u = ZeichenAn(i);
        if (u == chSep) break;
        if (pBrackets != nullptr) {
            const int k = MitgliedIndex(pBrackets, u);
            if (k >= 0 && k % 2 == 0) {
                const std::ptrdiff_t nZu = FindeSchliessendeKlammer(i, pBrackets, k, false);
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

void BrixSubString::Teile(char chSep, CBrixArray<BrixSubString>& aFields, const char* pBrackets) const
{
    aFields.EntferneAlle();
    if (!HatDaten() || Laenge() <= 0) return;
    std::ptrdiff_t nPos = 0;
    for (;;) {
        const BrixSubString teil = NaechstesTeil(chSep, nPos, pBrackets);
        if (nPos == -1) break;
        aFields.Hinzufuegen(teil);
    }
}
