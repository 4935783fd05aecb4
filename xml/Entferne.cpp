// Comment and markup stripping: single left-to-right passes of plain searches that append the
// pieces they keep. Neither parses XML: quotes, CDATA and processing instructions are plain text.
#include "brix/BrixSubString.h"

#include <cstdint>
#include <cstring>

#include "platform/Grenzen.h"

namespace {

// Writes the kept pieces straight into out: neither result is longer than its view, so out is
// set once to its old length plus the view's and cut to what was written. A view of out itself
// or a sum past the length limit goes through Anhaengen instead (bDirekt false).
class Stuecke {
public:
    Stuecke(const BrixSubString& text, CString& out)
        : m_text(text), m_out(out), m_nAlt(out.GetLength()),
          m_bDirekt(text.m_pString != &out &&
                    static_cast<std::int64_t>(m_nAlt) + text.Laenge() <= MaxTextLaenge())
    {
        if (m_bDirekt) {
            m_pAnfang = out.GetBufferSetLength(static_cast<std::int64_t>(m_nAlt) + text.Laenge());
            m_pW = m_pAnfang + m_nAlt;
        }
    }
    Stuecke(const Stuecke&) = delete;
    Stuecke& operator=(const Stuecke&) = delete;
    // Keeps the view's units from nVon up to nBis.
    void Behalte(int nVon, int nBis)
    {
        if (!m_bDirekt) {
            Anhaengen(m_out, m_text.Mitte(nVon, nBis - nVon));
            return;
        }
        if (nBis <= nVon) return;
        std::memcpy(m_pW, m_text.Daten() + nVon, static_cast<std::size_t>(nBis - nVon) * sizeof(char16_t));
        m_pW += nBis - nVon;
    }
    // Ends the writing: out's length becomes what was written.
    void Fertig()
    {
        if (m_bDirekt) m_out.ReleaseBuffer(static_cast<int>(m_pW - m_pAnfang));
    }

private:
    const BrixSubString& m_text;
    CString& m_out;
    int m_nAlt;
    bool m_bDirekt;
    char16_t* m_pAnfang = nullptr;
    char16_t* m_pW = nullptr;
};

}  // namespace

void BrixSubString::EntferneKommentare(CString& out) const
{
    if (!HatDaten()) {
        return;
    }
    const int nLaenge = Laenge();
    Stuecke stuecke(*this, out);
    int c = 0;  // start of the text not yet copied
    int b = FindeString(u"<!--", 0);
    while (b >= 0) {
        // Searched from the '<' itself, so "<!-->" closes at once.
        const int d = FindeString(u"-->", b);
        if (d < 0) {
            // No "-->" anywhere behind: this and every later opener are plain text.
            break;
        }
        stuecke.Behalte(c, b);
        // A comment that begins a line takes its line end and the empty lines after it along;
        // one inside a line takes only carriage returns, so the line keeps its line feed.
        const bool bZeilenAnfang = b == 0 || ZeichenAn(b - 1) == u'\r' || ZeichenAn(b - 1) == u'\n';
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
    stuecke.Behalte(c, nLaenge);
    stuecke.Fertig();
}

CString BrixSubString::EntferneKommentare() const
{
    CString ergebnis;
    EntferneKommentare(ergebnis);
    return ergebnis;
}

void BrixSubString::EntferneTags(CString& out) const
{
    if (!HatDaten()) {
        return;
    }
    Stuecke stuecke(*this, out);
    int c = 0;  // start of the text not yet copied
    int b = FindeZeichen(u'<');
    while (b >= 0) {
        const int e = FindeZeichen(u'>', b);
        if (e < 0) {
            // No '>' anywhere behind: this and every later '<' are plain text.
            break;
        }
        stuecke.Behalte(c, b);
        c = e + 1;
        b = FindeZeichen(u'<', c);
    }
    stuecke.Behalte(c, Laenge());
    stuecke.Fertig();
}

CString BrixSubString::EntferneTags() const
{
    CString ergebnis;
    EntferneTags(ergebnis);
    return ergebnis;
}
