#include "platform/CString.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "platform/Grenzen.h"
#include "platform/SchmalCodec.h"

const char16_t CString::s_nNull = 0;

namespace {

// Buffers of at least this many bytes are mapped rather than taken from the heap: they can ask
// for huge pages (far fewer page faults) and grow with mremap without copying.
constexpr std::size_t kAbbildSchwelle = std::size_t{4} << 20;
// Mapped buffers are whole multiples of a huge page.
constexpr std::size_t kGrossSeite = std::size_t{2} << 20;

inline std::size_t PufferBytes(std::int64_t nKapazitaet) noexcept
{
    return static_cast<std::size_t>(nKapazitaet + 1) * sizeof(char16_t);
}

// Whether a buffer of this capacity is mapped; the capacity alone tells, so no flag is kept.
inline bool IstAbgebildet(std::int64_t nKapazitaet) noexcept
{
    return nKapazitaet > 0 && PufferBytes(nKapazitaet) >= kAbbildSchwelle;
}

// A new anonymous mapping of nBytes (a multiple of kGrossSeite), aligned to a huge page so that
// the kernel can back all of it with huge pages; null when there is no memory.
void* NeuesAbbild(std::size_t nBytes) noexcept
{
    const std::size_t nMehr = nBytes + kGrossSeite;
    void* p = mmap(nullptr, nMehr, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    const auto nAdresse = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t nAusgerichtet = (nAdresse + kGrossSeite - 1) & ~(std::uintptr_t{kGrossSeite} - 1);
    const std::size_t nVorne = nAusgerichtet - nAdresse;
    if (nVorne > 0) munmap(p, nVorne);
    munmap(reinterpret_cast<char*>(nAusgerichtet) + nBytes, kGrossSeite - nVorne);
    void* pAusgerichtet = reinterpret_cast<void*>(nAusgerichtet);
    madvise(pAusgerichtet, nBytes, MADV_HUGEPAGE);  // only a hint; failure changes nothing
    return pAusgerichtet;
}

void GibFrei(char16_t* p, std::int64_t nKapazitaet) noexcept
{
    if (!p) return;
    if (IstAbgebildet(nKapazitaet))
        munmap(p, PufferBytes(nKapazitaet));
    else
        std::free(p);
}

}  // namespace

CString::CString(const char16_t* pText, int nLength)
{
    if (nLength <= 0) return;
    char16_t* p = GetBufferSetLength(nLength);
    std::memcpy(p, pText, static_cast<std::size_t>(nLength) * sizeof(char16_t));
    ReleaseBuffer(nLength);
}

CString::CString(std::u16string_view text)
{
    PruefeTextLaenge(static_cast<std::int64_t>(text.size()));
    const int n = static_cast<int>(text.size());
    if (n == 0) return;
    char16_t* p = GetBufferSetLength(n);
    std::memcpy(p, text.data(), text.size() * sizeof(char16_t));
    ReleaseBuffer(n);
}

CString::CString(const CString& other) : CString(other.GetString(), other.m_nLength) {}

CString::CString(CString&& other) noexcept
    : m_pBuffer(std::exchange(other.m_pBuffer, nullptr)),
      m_nLength(std::exchange(other.m_nLength, 0)),
      m_nCapacity(std::exchange(other.m_nCapacity, 0))
{
}

CString& CString::operator=(const CString& other)
{
    if (this != &other) {
        char16_t* p = GetBufferSetLength(other.m_nLength);
        if (other.m_nLength > 0)
            std::memcpy(p, other.GetString(), static_cast<std::size_t>(other.m_nLength) * sizeof(char16_t));
        ReleaseBuffer(other.m_nLength);
    }
    return *this;
}

CString& CString::operator=(CString&& other) noexcept
{
    if (this != &other) {
        CString tmp(std::move(other));
        Tausche(tmp);
    }
    return *this;
}

CString::~CString() { GibFrei(m_pBuffer, m_nCapacity); }

CString CString::AusSchmal(std::string_view bytes)
{
    CString result;
    const std::int64_t n = SchmalZaehle(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    char16_t* p = result.GetBufferSetLength(n);
    SchmalZuUtf16(p, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    result.ReleaseBuffer(static_cast<int>(n));
    return result;
}

void CString::Empty() noexcept
{
    m_nLength = 0;
    if (m_pBuffer) m_pBuffer[0] = 0;
}

void CString::Freigeben() noexcept
{
    GibFrei(m_pBuffer, m_nCapacity);
    m_pBuffer = nullptr;
    m_nLength = 0;
    m_nCapacity = 0;
}

void CString::Reserviere(std::int64_t nLength)
{
    PruefeTextLaenge(nLength);
    if (nLength <= m_nCapacity) return;
    // Geometric growth: at least half again the old capacity, so appends are amortised O(1).
    std::int64_t nNeu = static_cast<std::int64_t>(m_nCapacity) + m_nCapacity / 2;
    if (nNeu < nLength) nNeu = nLength;
    if (nNeu < 16) nNeu = 16;
    if (nNeu > MaxTextLaenge()) nNeu = nLength;
    if (!IstAbgebildet(nNeu)) {
        void* p = std::realloc(m_pBuffer, PufferBytes(nNeu));
        if (!p) throw std::bad_alloc();
        m_pBuffer = static_cast<char16_t*>(p);
        m_nCapacity = static_cast<int>(nNeu);
        return;
    }
    // A mapped buffer: whole huge pages, and the capacity is all of them (up to the int range).
    std::size_t nBytes = (PufferBytes(nNeu) + kGrossSeite - 1) & ~(kGrossSeite - 1);
    std::int64_t nKapazitaet = static_cast<std::int64_t>(nBytes / sizeof(char16_t)) - 1;
    if (nKapazitaet > kMaxTextLaenge) {
        nKapazitaet = kMaxTextLaenge;
        nBytes = PufferBytes(nKapazitaet);
    }
    void* p;
    if (IstAbgebildet(m_nCapacity)) {
        p = mremap(m_pBuffer, PufferBytes(m_nCapacity), nBytes, MREMAP_MAYMOVE);
        if (p == MAP_FAILED) throw std::bad_alloc();
    } else {
        p = NeuesAbbild(nBytes);
        if (!p) throw std::bad_alloc();
        if (m_pBuffer) {
            std::memcpy(p, m_pBuffer, PufferBytes(m_nCapacity));
            std::free(m_pBuffer);
        }
    }
    m_pBuffer = static_cast<char16_t*>(p);
    m_nCapacity = static_cast<int>(nKapazitaet);
}

char16_t* CString::GetBufferSetLength(std::int64_t nLength)
{
    if (nLength < 0) nLength = 0;
    Reserviere(nLength);
    if (!m_pBuffer) Reserviere(1);
    m_nLength = static_cast<int>(nLength);
    m_pBuffer[m_nLength] = 0;
    return m_pBuffer;
}

void CString::ReleaseBuffer(int nLength) noexcept
{
    if (nLength < 0) nLength = 0;
    if (nLength > m_nCapacity) nLength = m_nCapacity;
    m_nLength = nLength;
    if (m_pBuffer) m_pBuffer[m_nLength] = 0;
}

void CString::Tausche(CString& other) noexcept
{
    std::swap(m_pBuffer, other.m_pBuffer);
    std::swap(m_nLength, other.m_nLength);
    std::swap(m_nCapacity, other.m_nCapacity);
}
