// Comment and markup stripping: single left-to-right passes of plain searches that append the
// pieces they keep. Neither parses XML: quotes, CDATA and processing instructions are plain text.
#include "brix/BrixSubString.h"

#include <bit>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "brix/TextZiel.h"

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
    const int nLaenge = Laenge();
    // The result is never longer than the view.
    out.Erwarte(nLaenge);
    int c = 0;  // start of the text not yet copied
    int b = FindeString(u"<!--", 0);
    while (b >= 0) {
        // Searched from the '<' itself, so "<!-->" closes at once.
        const int d = FindeString(u"-->", b);
        if (d < 0) {
            // No "-->" anywhere behind: this and every later opener are plain text.
            break;
        }
        // A comment that begins a line takes its line end and the empty lines after it along;
        // one inside a line takes only carriage returns, so the line keeps its line feed.
        // (Read before the piece is written: a target may write over the text it reads.)
        const bool bZeilenAnfang = b == 0 || ZeichenAn(b - 1) == u'\r' || ZeichenAn(b - 1) == u'\n';
        out.Anhaengen(Mitte(c, b - c));
        int k = d + 3;
        while (k < nLaenge) {
            const char16_t ch = ZeichenAn(k);
            if (ch != u'\r' && !(ch == u'\n' && bZeilenAnfang)) {
                break;
            }
            ++k;
        }
        c = k;
        b = FindeString(u"<!--", c);
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
    const char16_t* d = Daten();
    const int n = Laenge();
    // The result is never longer than the view.
    out.Erwarte(n);
    int c = 0;   // start of the text not yet copied
    int b = 0;   // the '<' of the open run
    bool bDrin = false;
    // Takes the '<' or '>' at position i, whichever the state looks for.
    auto treffer = [&](int i) {
        if (!bDrin) {
            b = i;
        } else {
            out.Anhaengen(d + c, static_cast<std::size_t>(b - c));
            c = i + 1;
        }
        bDrin = !bDrin;
    };
    int i = 0;
#if defined(__SSE2__)
    // Sixteen units at a time: a bit mask of the '<' and one of the '>' among them, taken in
    // order. (With the result written over the text, every write lies before this block.)
    const __m128i nKleiner = _mm_set1_epi16(u'<');
    const __m128i nGroesser = _mm_set1_epi16(u'>');
    for (; n - i >= 16; i += 16) {
        const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + 8));
        unsigned nKl = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(v0, nKleiner), _mm_cmpeq_epi16(v1, nKleiner))));
        unsigned nGr = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(v0, nGroesser), _mm_cmpeq_epi16(v1, nGroesser))));
        for (;;) {
            const unsigned nMaske = bDrin ? nGr : nKl;
            if (nMaske == 0) {
                break;
            }
            const int k = std::countr_zero(nMaske);
            treffer(i + k);
            // Both kinds are looked for only behind this one from now on.
            const unsigned nDahinter = ~((2u << k) - 1u);
            nKl &= nDahinter;
            nGr &= nDahinter;
        }
    }
#endif
    for (; i < n; ++i) {
        if (d[i] == (bDrin ? u'>' : u'<')) {
            treffer(i);
        }
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
