#include "platform/CString.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "platform/Grenzen.h"
#include "platform/SchmalCodec.h"

const char16_t CString::s_nNull = 0;

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

CString::~CString() { std::free(m_pBuffer); }

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
    std::free(m_pBuffer);
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
    void* p = std::realloc(m_pBuffer, static_cast<std::size_t>(nNeu + 1) * sizeof(char16_t));
    if (!p) throw std::bad_alloc();
    m_pBuffer = static_cast<char16_t*>(p);
    m_nCapacity = static_cast<int>(nNeu);
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
