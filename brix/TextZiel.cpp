#include "brix/TextZiel.h"

#include <new>

#include <cassert>

void TextZiel::Erwarte(std::int64_t) {}

StringZiel::StringZiel(CString& out) : m_out(out)
{
    if (out.GetAllocLength() > 0) {
        const std::ptrdiff_t n = out.GetLength();
        m_pAnfang = out.GetBufferSetLength(n);  // no reallocation: n is within the buffer
        m_pW = m_pAnfang + n;
        m_pEnde = m_pAnfang + out.GetAllocLength();
    }
}

std::int64_t StringZiel::Laenge() const noexcept { return m_pAnfang ? m_pW - m_pAnfang : m_out.GetLength(); }

void StringZiel::Fertig() noexcept
{
    if (m_pAnfang) m_out.ReleaseBuffer(m_pW - m_pAnfang);
}

void StringZiel::Wachse(std::int64_t nGesamt)
{
    const std::int64_t nJetzt = Laenge();
    Fertig();
    // Grows geometrically (or throws std::bad_alloc); the first nJetzt bytes move along.
    m_out.Reserviere(nGesamt);
    m_pAnfang = m_out.GetBufferSetLength(nJetzt);
    m_pW = m_pAnfang + nJetzt;
    m_pEnde = m_pAnfang + m_out.GetAllocLength();
}

void StringZiel::Ueberlauf(const char* p, std::size_t n)
{
    Wachse(Laenge() + static_cast<std::int64_t>(n));
    std::memcpy(m_pW, p, n);
    m_pW += n;
}

void StringZiel::Erwarte(std::int64_t n)
{
    // Only a hint: when there is no memory for it, the pieces themselves report that.
    if (n <= m_pEnde - m_pW) return;
    try {
        Wachse(Laenge() + n);
    } catch (const std::bad_alloc&) {
    }
}

EigenZiel::EigenZiel(CString& text) : m_text(text), m_pAnfang(text.GetBufferSetLength(text.GetLength()))
{
    m_pW = m_pAnfang;
    m_pEnde = m_pAnfang;
}

void EigenZiel::Ueberlauf(const char* p, std::size_t n)
{
    // The piece stands at or behind what was written: nothing of it has been written over.
    assert(n == 0 || p >= m_pW);
    std::memmove(m_pW, p, n);
    m_pW += n;
    m_pEnde = m_pW;
}

void EigenZiel::Fertig() noexcept { m_text.ReleaseBuffer(m_pW - m_pAnfang); }
