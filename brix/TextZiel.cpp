#include "brix/TextZiel.h"

#include "platform/Grenzen.h"

void TextZiel::Erwarte(std::int64_t) {}

StringZiel::StringZiel(CString& out) : m_out(out)
{
    if (out.GetAllocLength() > 0) {
        const int n = out.GetLength();
        m_pAnfang = out.GetBufferSetLength(n);  // no reallocation: n is within the buffer
        m_pW = m_pAnfang + n;
        m_pEnde = m_pAnfang + out.GetAllocLength();
    }
}

std::int64_t StringZiel::Laenge() const noexcept
{
    return m_pAnfang ? m_pW - m_pAnfang : m_out.GetLength();
}

void StringZiel::Fertig() noexcept
{
    if (m_pAnfang) m_out.ReleaseBuffer(static_cast<int>(m_pW - m_pAnfang));
}

void StringZiel::Wachse(std::int64_t nGesamt)
{
    const std::int64_t nJetzt = Laenge();
    Fertig();
    // Checks the limit and grows geometrically; the first nJetzt units move along.
    m_out.Reserviere(nGesamt);
    m_pAnfang = m_out.GetBufferSetLength(nJetzt);
    m_pW = m_pAnfang + nJetzt;
    m_pEnde = m_pAnfang + m_out.GetAllocLength();
}

void StringZiel::Ueberlauf(const char16_t* p, std::size_t n)
{
    Wachse(Laenge() + static_cast<std::int64_t>(n));
    std::memcpy(m_pW, p, n * sizeof(char16_t));
    m_pW += n;
}

void StringZiel::Erwarte(std::int64_t n)
{
    // Only a hint: a sum past the limit is left to the pieces themselves to report.
    const std::int64_t nGesamt = Laenge() + n;
    if (n > m_pEnde - m_pW && nGesamt <= MaxTextLaenge()) Wachse(nGesamt);
}

EigenZiel::EigenZiel(CString& text) : m_text(text), m_pAnfang(text.GetBufferSetLength(text.GetLength()))
{
    m_pW = m_pAnfang;
    m_pEnde = m_pAnfang;
}

void EigenZiel::Ueberlauf(const char16_t* p, std::size_t n)
{
    std::memmove(m_pW, p, n * sizeof(char16_t));
    m_pW += n;
    m_pEnde = m_pW;
}

void EigenZiel::Fertig() noexcept { m_text.ReleaseBuffer(static_cast<int>(m_pW - m_pAnfang)); }
