// Anonymous mappings: huge-page aligned, grown with mremap without copying.
#include "platform/Abbild.h"

#include <sys/mman.h>

#include <cstdint>

namespace {

// Mapped buffers are whole multiples of a huge page.
constexpr std::size_t kGrossSeite = std::size_t{2} << 20;

}  // namespace

char* NeuesAbbild(std::size_t nBytes) noexcept
{
    const std::size_t nMehr = nBytes + kGrossSeite;
    void* p = mmap(nullptr, nMehr, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    const auto nAdresse = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t nAusgerichtet = (nAdresse + kGrossSeite - 1) & ~(std::uintptr_t{kGrossSeite} - 1);
    const std::size_t nVorne = nAusgerichtet - nAdresse;
    if (nVorne > 0) munmap(p, nVorne);
    munmap(reinterpret_cast<char*>(nAusgerichtet) + nBytes, kGrossSeite - nVorne);
    char* pAusgerichtet = reinterpret_cast<char*>(nAusgerichtet);
    madvise(pAusgerichtet, nBytes, MADV_HUGEPAGE);  // only a hint; failure changes nothing
    return pAusgerichtet;
}

char* AenderAbbild(char* p, std::size_t nAlt, std::size_t nNeu) noexcept
{
    void* q = mremap(p, nAlt, nNeu, MREMAP_MAYMOVE);
    return q == MAP_FAILED ? nullptr : static_cast<char*>(q);
}

void GibAbbildFrei(char* p, std::size_t nBytes) noexcept { munmap(p, nBytes); }

void GibSeitenZurueck(char* p, std::size_t nBytes) noexcept { madvise(p, nBytes, MADV_DONTNEED); }
