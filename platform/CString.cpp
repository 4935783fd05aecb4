#include "platform/CString.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "platform/Abbild.h"
#include "platform/Datei.h"
#include "platform/Speicher.h"

const char CString::s_nNull = 0;

namespace {

// Buffers of at least this many bytes are mapped rather than taken from the heap: they can ask
// for huge pages (far fewer page faults) and grow without copying.
constexpr std::size_t kAbbildSchwelle = std::size_t{4} << 20;
// Mapped buffers are whole multiples of a huge page.
constexpr std::size_t kGrossSeite = std::size_t{2} << 20;

}  // namespace

CString::CString(const char* p, std::ptrdiff_t n)
{
    if (n <= 0) return;
    std::memcpy(GetBufferSetLength(n), p, static_cast<std::size_t>(n));
}

CString::CString(std::string_view text) : CString(text.data(), static_cast<std::ptrdiff_t>(text.size())) {}

CString::CString(const CString& other) : CString(other.GetString(), other.m_nLength) { m_eForm = other.m_eForm; }

CString::CString(CString&& other) noexcept
    : m_pBuffer(std::exchange(other.m_pBuffer, nullptr)),
      m_nLength(std::exchange(other.m_nLength, 0)),
      m_nCapacity(std::exchange(other.m_nCapacity, 0)),
      m_nAbbild(std::exchange(other.m_nAbbild, 0)),
      m_nVersatz(std::exchange(other.m_nVersatz, 0)),
      m_eSpeicher(std::exchange(other.m_eSpeicher, Speicher::Heap)),
      m_eForm(other.m_eForm),
      m_bOffen(std::exchange(other.m_bOffen, false)),
      m_nBasis(std::exchange(other.m_nBasis, 0))
{}

CString& CString::operator=(const CString& other)
{
    if (this != &other) {
        char* p = GetBufferSetLength(other.m_nLength);
        if (other.m_nLength > 0) std::memcpy(p, other.GetString(), static_cast<std::size_t>(other.m_nLength));
        m_eForm = other.m_eForm;
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

CString::~CString() { GibFrei(); }

void CString::GibFrei() noexcept
{
    if (!m_pBuffer) return;
    if (m_eSpeicher == Speicher::Heap)
        std::free(m_pBuffer);
    else
        GibAbbildFrei(m_pBuffer - (m_eSpeicher == Speicher::Datei ? m_nVersatz : 0), m_nAbbild);
}

void CString::Empty() noexcept
{
    m_nLength = 0;
    if (m_pBuffer && m_eSpeicher != Speicher::Datei) m_pBuffer[0] = 0;
}

void CString::Freigeben() noexcept
{
    GibFrei();
    m_pBuffer = nullptr;
    m_nLength = 0;
    m_nCapacity = 0;
    m_nAbbild = 0;
    m_nVersatz = 0;
    m_eSpeicher = Speicher::Heap;
}

void CString::Uebernimm(char* pAbbild, std::size_t nAbbild, std::ptrdiff_t nVersatz, std::ptrdiff_t nLength) noexcept
{
    Freigeben();
    m_pBuffer = pAbbild + nVersatz;
    m_nLength = nLength;
    m_nCapacity = nLength;
    m_nAbbild = nAbbild;
    m_nVersatz = nVersatz;
    m_eSpeicher = Speicher::Datei;
}

bool CString::Wachse(std::ptrdiff_t nLength) noexcept
{
    if (nLength <= m_nCapacity && m_pBuffer) return true;
    if (nLength < 0 || static_cast<std::uint64_t>(nLength) > PTRDIFF_MAX / 2) return false;
    // Geometric growth: at least half again the old capacity, so appends are amortised O(1).
    std::ptrdiff_t nNeu = m_nCapacity + m_nCapacity / 2;
    if (nNeu < nLength) nNeu = nLength;
    if (nNeu < 16) nNeu = 16;
    const std::size_t nBytes = static_cast<std::size_t>(nNeu) + 1;
    // The memory the process may still take must hold what is new.
    if (!SpeicherReicht(static_cast<std::int64_t>(nBytes) - (m_eSpeicher == Speicher::Datei ? 0 : m_nCapacity)))
        return false;
    char* p;
    std::size_t nAbbild = 0;
    Speicher eSpeicher = Speicher::Heap;
    if (nBytes < kAbbildSchwelle) {
        if (m_eSpeicher == Speicher::Heap) {
            p = static_cast<char*>(std::realloc(m_pBuffer, nBytes));
            if (!p) return false;
            m_pBuffer = p;
            m_nCapacity = nNeu;
            return true;
        }
        p = static_cast<char*>(std::malloc(nBytes));
        if (!p) return false;
    } else {
        // A mapped buffer: whole huge pages, and the capacity is all of them.
        nAbbild = (nBytes + kGrossSeite - 1) & ~(kGrossSeite - 1);
        eSpeicher = Speicher::Anonym;
        if (m_eSpeicher == Speicher::Anonym) {
            char* q = AenderAbbild(m_pBuffer, m_nAbbild, nAbbild);
            if (!q) return false;
            m_pBuffer = q;
            m_nAbbild = nAbbild;
            m_nCapacity = static_cast<std::ptrdiff_t>(nAbbild) - 1;
            return true;
        }
        p = NeuesAbbild(nAbbild);
        if (!p) return false;
        nNeu = static_cast<std::ptrdiff_t>(nAbbild) - 1;
    }
    // A new buffer of another kind: the bytes move over.
    if (m_pBuffer && m_nLength > 0) std::memcpy(p, m_pBuffer, static_cast<std::size_t>(m_nLength));
    GibFrei();
    m_pBuffer = p;
    m_nCapacity = nNeu;
    m_nAbbild = nAbbild;
    m_nVersatz = 0;
    m_eSpeicher = eSpeicher;
    return true;
}

void CString::Reserviere(std::ptrdiff_t nLength)
{
    if (!Wachse(nLength)) throw std::bad_alloc();
}

bool CString::Setze(std::string_view text) noexcept
{
    const auto n = static_cast<std::ptrdiff_t>(text.size());
    if (!Wachse(n > 0 ? n : 1)) return false;
    if (n > 0) std::memcpy(m_pBuffer, text.data(), text.size());
    ReleaseBuffer(n);
    return true;
}

char* CString::GetBufferSetLength(std::ptrdiff_t nLength)
{
    if (nLength < 0) nLength = 0;
    // A mapped file keeps its bytes where they are as long as the text does not grow past them.
    if (m_eSpeicher != Speicher::Datei || nLength > m_nCapacity) {
        Reserviere(nLength);
        if (!m_pBuffer) Reserviere(1);
    }
    m_nLength = nLength;
    if (m_eSpeicher != Speicher::Datei) m_pBuffer[m_nLength] = 0;
    return m_pBuffer;
}

void CString::ReleaseBuffer(std::ptrdiff_t nLength) noexcept
{
    if (nLength < 0) nLength = 0;
    if (nLength > m_nCapacity) nLength = m_nCapacity;
    m_nLength = nLength;
    if (m_pBuffer && m_eSpeicher != Speicher::Datei) m_pBuffer[m_nLength] = 0;
}

void CString::Tausche(CString& other) noexcept
{
    std::swap(m_pBuffer, other.m_pBuffer);
    std::swap(m_nLength, other.m_nLength);
    std::swap(m_nCapacity, other.m_nCapacity);
    std::swap(m_nAbbild, other.m_nAbbild);
    std::swap(m_nVersatz, other.m_nVersatz);
    std::swap(m_eSpeicher, other.m_eSpeicher);
    std::swap(m_eForm, other.m_eForm);
    std::swap(m_bOffen, other.m_bOffen);
    std::swap(m_nBasis, other.m_nBasis);
}

void CString::VerwirfVorne(std::ptrdiff_t n) noexcept
{
    if (n > m_nLength) n = m_nLength;
    if (n <= 0) return;
    m_nBasis += n;
    if (m_eSpeicher == Speicher::Datei) {
        // The file's bytes stay where they are; the pages wholly before the new start go back.
        const auto nSeite = static_cast<std::ptrdiff_t>(SeitenGroesse());
        char* pAbbild = m_pBuffer - m_nVersatz;
        const std::ptrdiff_t nFreiBis = m_nVersatz / nSeite * nSeite;
        m_pBuffer += n;
        m_nVersatz += n;
        m_nLength -= n;
        m_nCapacity -= n;
        const std::ptrdiff_t nNeuFreiBis = m_nVersatz / nSeite * nSeite;
        if (nNeuFreiBis > nFreiBis)
            GibSeitenZurueck(pAbbild + nFreiBis, static_cast<std::size_t>(nNeuFreiBis - nFreiBis));
        return;
    }
    std::memmove(m_pBuffer, m_pBuffer + n, static_cast<std::size_t>(m_nLength - n));
    m_nLength -= n;
    m_pBuffer[m_nLength] = 0;
}

void CString::ZeigeAbbild(std::ptrdiff_t nLength) noexcept
{
    if (m_eSpeicher != Speicher::Datei) return;
    m_nLength = nLength < 0 ? 0 : nLength > m_nCapacity ? m_nCapacity : nLength;
}
