// Comment and markup stripping: single left-to-right passes of plain searches that append the
// pieces they keep. Neither parses XML: quotes, CDATA and processing instructions are plain text.
#include "brix/BrixSubString.h"

#include <bit>
#include <cstddef>
#include <cstdint>

#include "brix/TextZiel.h"
#include "brix/Vektor.h"

namespace {

// Both filters append to a string through a StringZiel; a view of the string itself is
// filtered into a copy first, as the target's buffer may move while it grows.
template <class Filter>
void InString(const BrixSubString& text, CString& out, Filter filter)
{
    if (!text.HatDaten()) return;
    if (text.m_pString == &out) {
        CString kopie;
        {
            StringZiel ziel(kopie);
            filter(ziel);
        }
        Anhaengen(out, BrixSubString(kopie));
        return;
    }
    StringZiel ziel(out);
    filter(ziel);
}

}  // namespace

void BrixSubString::EntferneKommentare(TextZiel& out) const
{
    if (!HatDaten()) {
        return;
    }
    const std::ptrdiff_t nLaenge = Laenge();
    // The result is never longer than the view.
    out.Erwarte(nLaenge);
    std::ptrdiff_t c = 0;  // start of the text not yet copied
    std::ptrdiff_t b = FindeString("<!--", 0);
    while (b >= 0) {
        // Searched from the '<' itself, so "<!-->" closes at once.
        const std::ptrdiff_t d = FindeString("-->", b);
        if (d < 0) {
            // No "-->" anywhere behind: this and every later opener are plain text.
            break;
        }
        // A comment that begins a line takes its line end and the empty lines after it along;
        // one inside a line takes only carriage returns, so the line keeps its line feed.
        // (Read before the piece is written: a target may write over the text it reads.)
        const bool bZeilenAnfang = b == 0 || ZeichenAn(b - 1) == '\r' || ZeichenAn(b - 1) == '\n';
        out.Anhaengen(Mitte(c, b - c));
        std::ptrdiff_t k = d + 3;
        while (k < nLaenge) {
            const char ch = ZeichenAn(k);
            if (ch != '\r' && !(ch == '\n' && bZeilenAnfang)) {
                break;
            }
            ++k;
        }
        c = k;
        b = FindeString("<!--", c);
    }
    out.Anhaengen(Mitte(c));
}

void BrixSubString::EntferneKommentare(CString& out) const
{
    InString(*this, out, [this](TextZiel& ziel) { EntferneKommentare(ziel); });
}

CString BrixSubString::EntferneKommentare() const
{
    CString ergebnis;
    EntferneKommentare(ergebnis);
    return ergebnis;
}

void BrixSubString::EntferneTags(TextZiel& out) const
{
    if (!HatDaten()) {
        return;
    }
    // One pass in search of '<' outside markup and '>' inside it. Each '<' opens a run that the
    // next '>' closes; a '<' with no '>' behind it, and all text after it, stay as they are.
    const char* d = Daten();
    const std::ptrdiff_t n = Laenge();
    // The result is never longer than the view.
    out.Erwarte(n);
    std::ptrdiff_t c = 0;  // start of the text not yet copied
    std::ptrdiff_t b = 0;  // the '<' of the open run
    bool bDrin = false;
    // Takes the '<' or '>' at position i, whichever the state looks for.
    auto treffer = [&](std::ptrdiff_t i) {
        if (!bDrin) {
            b = i;
        } else {
            out.Anhaengen(d + c, static_cast<std::size_t>(b - c));
            c = i + 1;
        }
        bDrin = !bDrin;
    };
    // 64 bytes at a time: a bit mask of the '<' and one of the '>' among them, taken in order.
    // (With the result written over the text, every write lies before this block.)
    std::ptrdiff_t i = 0;
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
    out.Anhaengen(d + c, static_cast<std::size_t>(n - c));
}

void BrixSubString::EntferneTags(CString& out) const
{
    InString(*this, out, [this](TextZiel& ziel) { EntferneTags(ziel); });
}

CString BrixSubString::EntferneTags() const
{
    CString ergebnis;
    EntferneTags(ergebnis);
    return ergebnis;
}
