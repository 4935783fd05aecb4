// Large anonymous buffers on POSIX systems: mappings aligned to a huge page. Linux backs them
// with huge pages where it can (MADV_HUGEPAGE) and grows them with mremap without copying; other
// systems, which have neither, grow them as a new mapping and a copy.
#include "platform/Abbild.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstring>

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
#ifdef MADV_HUGEPAGE
    madvise(pAusgerichtet, nBytes, MADV_HUGEPAGE);  // only a hint; failure changes nothing
#endif
    return pAusgerichtet;
}

char* AenderAbbild(char* p, std::size_t nAlt, std::size_t nNeu) noexcept
{
#ifdef __linux__
    void* q = mremap(p, nAlt, nNeu, MREMAP_MAYMOVE);
    return q == MAP_FAILED ? nullptr : static_cast<char*>(q);
#else
    char* q = NeuesAbbild(nNeu);
    if (q == nullptr) return nullptr;
    std::memcpy(q, p, nAlt < nNeu ? nAlt : nNeu);
    munmap(p, nAlt);
    return q;
#endif
}

void GibAbbildFrei(char* p, std::size_t nBytes) noexcept { munmap(p, nBytes); }

void GibSeitenZurueck(char* p, std::size_t nBytes) noexcept { madvise(p, nBytes, MADV_DONTNEED); }
