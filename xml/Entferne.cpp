// Comment and markup stripping: single left-to-right passes of plain searches that append the
// pieces they keep. Neither parses XML: quotes, CDATA and processing instructions are plain text.
#include "brix/BrixSubString.h"

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
    // The result is never longer than the view.
    out.Erwarte(Laenge());
    int c = 0;  // start of the text not yet copied
    int b = FindeZeichen(u'<');
    while (b >= 0) {
        const int e = FindeZeichen(u'>', b);
        if (e < 0) {
            // No '>' anywhere behind: this and every later '<' are plain text.
            break;
        }
        out.Anhaengen(Mitte(c, b - c));
        c = e + 1;
        b = FindeZeichen(u'<', c);
    }
    out.Anhaengen(Mitte(c));
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
