// BrixSubString: hash and the two ways text leaves a view (slicing and comparison are inline).
#include "brix/BrixSubString.h"

#include <cstdint>
#include <cstring>

namespace {

// Length that counts for reading: a view without data reads as empty.
std::ptrdiff_t GelesenLaenge(const BrixSubString& v) noexcept { return v.HatDaten() ? v.Laenge() : 0; }

}  // namespace

std::uint32_t BrixSubString::HashWert() const noexcept
{
    const std::ptrdiff_t n = GelesenLaenge(*this);
    if (n <= 0) return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(Daten());
    std::uint32_t nSumme = 0;
    for (std::ptrdiff_t i = 0; i < n; ++i) nSumme += p[i];
    return nSumme;
}

std::ptrdiff_t BrixSubString::KopiereNach(char* pZiel) const noexcept
{
    const std::ptrdiff_t n = GelesenLaenge(*this);
    const std::ptrdiff_t nGeschrieben = n > 0 ? n : 0;
    if (nGeschrieben > 0) std::memcpy(pZiel, Daten(), static_cast<std::size_t>(nGeschrieben));
    pZiel[nGeschrieben] = 0;
    return nGeschrieben;
}

CString& Anhaengen(CString& target, const BrixSubString& view)
{
    const std::ptrdiff_t n = view.HatDaten() ? view.Laenge() : 0;
    if (n <= 0) return target;
    const std::ptrdiff_t nAlt = target.GetLength();
    // Throws std::bad_alloc when there is no memory for the sum; target is then unchanged.
    char* pZiel = target.GetBufferSetLength(nAlt + n);
    // Read the source only now: when view is of target itself, the buffer may have moved.
    std::memmove(pZiel + nAlt, view.m_pString->GetString() + view.m_nStart, static_cast<std::size_t>(n));
    target.ReleaseBuffer(nAlt + n);
    return target;
}
