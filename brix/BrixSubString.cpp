// BrixSubString: hash and the two ways text leaves a view (slicing and comparison are inline).
#include "brix/BrixSubString.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

// Length that counts for reading: a view without data reads as empty.
int GelesenLaenge(const BrixSubString& v) noexcept { return v.HatDaten() ? v.Laenge() : 0; }

}  // namespace

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
