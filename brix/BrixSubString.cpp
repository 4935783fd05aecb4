// BrixSubString: slicing, comparison, hash and the two ways text leaves a view.
#include "brix/BrixSubString.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

// Length that counts for reading: a view without data reads as empty.
int GelesenLaenge(const BrixSubString& v) noexcept { return v.HatDaten() ? v.Laenge() : 0; }

// Ordinal comparison of n units as unsigned 16-bit values; U+0000 is an ordinary unit.
int VergleicheEinheiten(const char16_t* a, const char16_t* b, int n) noexcept
{
    for (int i = 0; i < n; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

// Steps 3 and 4 of both comparisons: the common prefix decides, else the shorter text sorts first.
int VergleicheTexte(const char16_t* a, int la, const char16_t* b, int lb) noexcept
{
    const int rc = VergleicheEinheiten(a, b, la < lb ? la : lb);
    if (rc != 0 || la == lb) return rc;
    return la < lb ? -1 : 1;
}

}  // namespace

BrixSubString BrixSubString::Mitte(int nFirst, int nCount) const noexcept
{
    const int nLaenge = Laenge();
    const int f = nFirst < 0 ? 0 : nFirst;
    const int cnt = nCount < 0 ? 0 : nCount;
    if (f > nLaenge) return BrixSubString(m_pString, m_nEnd, m_nEnd);
    // 64 bits: f + cnt may pass the int range for a huge count.
    const std::int64_t nBis = static_cast<std::int64_t>(f) + cnt;
    const int nEnde = nBis > nLaenge ? m_nEnd : m_nStart + f + cnt;
    return BrixSubString(m_pString, m_nStart + f, nEnde);
}

BrixSubString BrixSubString::Mitte(int nFirst) const noexcept
{
    const int nLaenge = Laenge();
    int f = nFirst < 0 ? 0 : nFirst;
    if (f > nLaenge) f = nLaenge;
    return BrixSubString(m_pString, m_nStart + f, m_nEnd);
}

BrixSubString BrixSubString::Links(int n) const noexcept
{
    const int nLaenge = Laenge();
    if (n < 0) n = 0;
    return BrixSubString(m_pString, m_nStart, m_nStart + (n < nLaenge ? n : nLaenge));
}

BrixSubString BrixSubString::Rechts(int n) const noexcept
{
    if (n < 0) n = 0;
    if (Laenge() > n) return BrixSubString(m_pString, m_nEnd - n, m_nEnd);
    return *this;
}

int BrixSubString::Vergleiche(const BrixSubString& other) const noexcept
{
    if (!HatDaten()) return GelesenLaenge(other) != 0 ? -1 : 0;
    if (!other.HatDaten()) return Laenge() != 0 ? 1 : 0;
    return VergleicheTexte(Daten(), Laenge(), other.Daten(), other.Laenge());
}

int BrixSubString::Vergleiche(const char16_t* s) const noexcept
{
    if (!HatDaten()) return (s != nullptr && s[0] != 0) ? -1 : 0;
    if (s == nullptr) return Laenge() != 0 ? 1 : 0;
    const std::size_t ls = std::char_traits<char16_t>::length(s);
    // A zero-terminated text longer than any view compares by its first INT_MAX units; the
    // view is shorter in that case, so the result is the same.
    const int nLs = ls > static_cast<std::size_t>(INT32_MAX) ? INT32_MAX : static_cast<int>(ls);
    return VergleicheTexte(Daten(), Laenge(), s, nLs);
}

std::uint32_t BrixSubString::HashWert() const noexcept
{
    const int n = GelesenLaenge(*this);
    if (n <= 0) return 0;
    const char16_t* p = Daten();
    std::uint32_t nSumme = 0;
    for (int i = 0; i < n; ++i) nSumme += p[i];
    return nSumme;
}

int BrixSubString::KopiereNach(char16_t* pZiel) const noexcept
{
    const int n = GelesenLaenge(*this);
    if (n > 0) std::memcpy(pZiel, Daten(), static_cast<std::size_t>(n) * sizeof(char16_t));
    const int nGeschrieben = n > 0 ? n : 0;
    pZiel[nGeschrieben] = 0;
    return nGeschrieben;
}

CString& Anhaengen(CString& target, const BrixSubString& view)
{
    const int n = view.HatDaten() ? view.Laenge() : 0;
    if (n <= 0) return target;
    const int nAlt = target.GetLength();
    // Throws CLaengenException when the sum passes the limit; target is then unchanged.
    char16_t* pZiel = target.GetBufferSetLength(static_cast<std::int64_t>(nAlt) + n);
    // Read the source only now: when view is of target itself, the buffer may have moved.
    std::memmove(pZiel + nAlt, view.m_pString->GetString() + view.m_nStart,
                 static_cast<std::size_t>(n) * sizeof(char16_t));
    target.ReleaseBuffer(nAlt + n);
    return target;
}
