// Comment and markup stripping: single left-to-right passes of plain searches that write the
// pieces they keep. Neither parses XML: quotes, CDATA and processing instructions are plain text.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "brix/BrixSubString.h"
#include "brix/TextZiel.h"
#include "brix/Vektor.h"
#include "xml/Filter.h"

namespace {

// Both filters append to a string through a StringZiel; a view of the string itself is
// filtered into a copy first, as the target's buffer may move while it grows.
template <class Filter>
void InString(const BrixSubString& text, CString& out)
{
    if (!text.HatDaten()) return;
    if (text.m_pString == &out) {
        CString kopie;
        {
            StringZiel ziel(kopie);
            Filter().Weiter(text, ziel);
        }
        Anhaengen(out, BrixSubString(kopie));
        return;
    }
    StringZiel ziel(out);
    Filter().Weiter(text, ziel);
}

// Where a comment opener "<!--" may begin in the last bytes of d[0..n) that the text has so far
// ("<", "<!" or "<!-" at its end), or n.
std::ptrdiff_t MoeglicherOeffner(const char* d, std::ptrdiff_t n) noexcept
{
    for (std::ptrdiff_t q = n > 3 ? n - 3 : 0; q < n; ++q) {
        if (d[q] != '<') continue;
        std::ptrdiff_t k = 1;
        while (q + k < n && d[q + k] == "<!--"[k]) ++k;
        if (q + k == n) return q;
    }
    return n;
}

}  // namespace

FilterStand KommentarEntferner::Weiter(const BrixSubString& text, TextZiel& out)
{
    if (!text.HatDaten()) return {m_nKopiert, m_nKopiert};
    const std::ptrdiff_t nBasis = text.AbsolutAnfang();
    if (!m_bBegonnen) {
        m_bBegonnen = true;
        m_nAnfang = m_nKopiert = nBasis;
    }
    const char* d = text.Daten();
    const std::ptrdiff_t n = text.Laenge();
    const bool bOffen = text.EndeOffen();
    // The result is never longer than the text.
    out.Erwarte(n);
    std::ptrdiff_t c = m_nKopiert - nBasis;  // start of the text not yet written
    for (bool bWeiter = true; bWeiter;) {
        switch (m_eZustand) {
        case Zustand::Text: {
            const std::ptrdiff_t b = text.FindeString("<!--", c);
            if (b < 0) {
                // No opener: all is text, but for the start of one that may still come.
                const std::ptrdiff_t nBis = bOffen ? std::max(c, MoeglicherOeffner(d, n)) : n;
                out.Anhaengen(d + c, static_cast<std::size_t>(nBis - c));
                c = nBis;
                bWeiter = false;
                break;
            }
            // A comment that begins a line takes its line end and the empty lines after it along;
            // one inside a line takes only carriage returns, so the line keeps its line feed. (The
            // byte before b is always there: the filter keeps the one before what it has written.)
            m_bZeilenAnfang = nBasis + b == m_nAnfang || d[b - 1] == '\r' || d[b - 1] == '\n';
            out.Anhaengen(d + c, static_cast<std::size_t>(b - c));
            c = b;
            m_nGesucht = nBasis + b;
            m_eZustand = Zustand::Kommentar;
            break;
        }
        case Zustand::Kommentar: {
            // Searched from the '<' itself, so "<!-->" closes at once; what was searched before
            // is not searched again (but for two bytes of a "-->" that may straddle its end).
            const std::ptrdiff_t nVon = std::max(c, m_nGesucht - nBasis - 2);
            const std::ptrdiff_t q = text.FindeString("-->", nVon);
            if (q >= 0) {
                c = q + 3;
                m_eZustand = Zustand::Zeilenende;
            } else if (bOffen) {
                m_nGesucht = nBasis + n;
                bWeiter = false;
            } else {
                // Never closed: this and every later opener are plain text.
                out.Anhaengen(d + c, static_cast<std::size_t>(n - c));
                c = n;
                m_eZustand = Zustand::Text;
                bWeiter = false;
            }
            break;
        }
        case Zustand::Zeilenende:
            while (c < n && (d[c] == '\r' || (d[c] == '\n' && m_bZeilenAnfang))) ++c;
            if (c < n || !bOffen) m_eZustand = Zustand::Text;
            bWeiter = c < n;
            break;
        }
    }
    m_nKopiert = nBasis + c;
    const std::ptrdiff_t nBehalten = m_nKopiert > m_nAnfang ? m_nKopiert - 1 : m_nKopiert;
    return {nBehalten, m_eZustand == Zustand::Kommentar ? m_nGesucht - 2 : m_nKopiert};
}

void BrixSubString::EntferneKommentare(TextZiel& out) const { KommentarEntferner().Weiter(*this, out); }

void BrixSubString::EntferneKommentare(CString& out) const { InString<KommentarEntferner>(*this, out); }

CString BrixSubString::EntferneKommentare() const
{
    CString ergebnis;
    EntferneKommentare(ergebnis);
    return ergebnis;
}

FilterStand TagEntferner::Weiter(const BrixSubString& text, TextZiel& out)
{
    if (!text.HatDaten()) return {m_nKopiert, m_nKopiert};
    const std::ptrdiff_t nBasis = text.AbsolutAnfang();
    if (!m_bBegonnen) {
        m_bBegonnen = true;
        m_nKopiert = m_nGesucht = nBasis;
    }
    // One pass in search of '<' outside markup and '>' inside it. Each '<' opens a run that the
    // next '>' closes; the text before a '<' is written at once, as it stays whether the run
    // closes or not. A '<' with no '>' behind it, and all text after it, stay as they are.
    const char* d = text.Daten();
    const std::ptrdiff_t n = text.Laenge();
    // The result is never longer than the text.
    out.Erwarte(n);
    std::ptrdiff_t c = m_nKopiert - nBasis;  // start of the text not yet written (a tag's '<' in one)
    bool bDrin = m_bDrin;
    // Takes the '<' or '>' at position i, whichever the state looks for.
    auto treffer = [&](std::ptrdiff_t i) {
        if (!bDrin) {
            out.Anhaengen(d + c, static_cast<std::size_t>(i - c));
            c = i;
        } else {
            c = i + 1;
        }
        bDrin = !bDrin;
    };
    // 64 bytes at a time: a bit mask of the '<' and one of the '>' among them, taken in order.
    std::ptrdiff_t i = bDrin ? m_nGesucht - nBasis : c;
    for (; n - i >= 64; i += 64) {
        std::uint64_t nKl;
        std::uint64_t nGr;
        brixvektor::MaskenZweier(d + i, '<', '>', nKl, nGr);
        for (;;) {
            const std::uint64_t nMaske = bDrin ? nGr : nKl;
            if (nMaske == 0) break;
            const int k = std::countr_zero(nMaske);
            treffer(i + k);
            // Both kinds are looked for only behind this one from now on.
            const std::uint64_t nDahinter = k == 63 ? 0 : ~((std::uint64_t{2} << k) - 1);
            nKl &= nDahinter;
            nGr &= nDahinter;
        }
    }
    for (; i < n; ++i) {
        if (d[i] == (bDrin ? '>' : '<')) treffer(i);
    }
    // At the end: a tag still open waits for its '>' while more may come.
    if (!bDrin || !text.EndeOffen()) {
        out.Anhaengen(d + c, static_cast<std::size_t>(n - c));
        c = n;
        bDrin = false;
    }
    m_bDrin = bDrin;
    m_nKopiert = nBasis + c;
    m_nGesucht = nBasis + n;
    return {m_nKopiert, bDrin ? m_nGesucht : m_nKopiert};
}

void BrixSubString::EntferneTags(TextZiel& out) const { TagEntferner().Weiter(*this, out); }

void BrixSubString::EntferneTags(CString& out) const { InString<TagEntferner>(*this, out); }

CString BrixSubString::EntferneTags() const
{
    CString ergebnis;
    EntferneTags(ergebnis);
    return ergebnis;
}
