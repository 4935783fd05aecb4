// The tag-block scanner: finds element blocks and end tags in a view without building a tree.
// Every result is a view cut out of the searched view; nothing is copied. Nesting is followed
// with an explicit stack of open element names, so any depth is fine.
//
// The walks read the view's units directly (d[0..n)); names are compared unit by unit where
// they stand, so no view is built for a tag that is only passed over.
#include <algorithm>
#include <vector>

#include "brix/BrixSubString.h"
#include "xml/TagAbtaster.h"
#include "xml/XmlFehler.h"

namespace {

using brixsuche::FindeEinheit;
using brixsuche::GleicheEinheiten;

// A block finder stops at most this far behind an unclosed comment, declaration or
// processing instruction, so that a caller going on from nNext skips only a little text.
constexpr int kSprungNachFehler = 100;

// First '<' in d[nFrom..n), or -1; a start outside 0..n finds nothing.
inline int NaechstesKleiner(const char16_t* d, int n, int nFrom)
{
    if (nFrom < 0 || nFrom > n) {
        return -1;
    }
    return FindeEinheit(d, n, nFrom, u'<');
}

// True when the '<' at p opens a comment "<!--" (p + 1 is known to be inside the view).
inline bool IstKommentar(const char16_t* d, int n, int p)
{
    return p < n - 3 && d[p + 2] == u'-' && d[p + 3] == u'-';
}

// The units of a name, as the scanner compares them: a view without data is the empty name.
struct Name {
    const char16_t* p;
    int n;  // may be negative for a view whose end lies before its start: it equals no name
    bool bOhneGt;  // no '>' among the units
};

Name NameVon(const BrixSubString& v)
{
    if (!v.HatDaten()) {
        return {nullptr, 0, true};
    }
    const int n = v.Laenge();
    const char16_t* p = v.Daten();
    return {p, n, n <= 0 || FindeEinheit(p, n, 0, u'>') < 0};
}

// True when d[nStart..nStart + nLaenge) holds exactly the units of name.
inline bool IstName(const char16_t* d, int nStart, int nLaenge, const Name& name)
{
    return nLaenge == name.n && GleicheEinheiten(d + nStart, name.p, nLaenge);
}

// Name of an element opened inside the one the end-tag search looks for, relative to the view.
struct OffenerName {
    int nStart;
    int nLaenge;
};

// The stack of open names. The first levels live in the object, so that the usual shallow
// nesting needs no allocation; deeper ones go to a vector that each thread keeps between
// searches, so that a deep document does not grow (and map, and fault in) a fresh one for
// every element it searches. It keeps the capacity of the deepest nesting met so far.
class NamensStapel {
public:
    bool Leer() const noexcept { return m_nAnzahl == 0; }
    void Lege(OffenerName name)
    {
        if (m_nAnzahl < kFest) {
            m_aFest[m_nAnzahl] = name;
        } else {
            if (m_nAnzahl == kFest) {
                m_pMehr = &Ueberlauf();
                m_pMehr->clear();
            }
            m_pMehr->push_back(name);
        }
        ++m_nAnzahl;
    }
    const OffenerName& Oben() const noexcept
    {
        return m_nAnzahl <= kFest ? m_aFest[m_nAnzahl - 1] : m_pMehr->back();
    }
    void Nimm() noexcept
    {
        if (m_nAnzahl > kFest) {
            m_pMehr->pop_back();
        }
        --m_nAnzahl;
    }

private:
    static std::vector<OffenerName>& Ueberlauf()
    {
        thread_local std::vector<OffenerName> aMehr;
        return aMehr;
    }

    static constexpr int kFest = 32;
    int m_nAnzahl = 0;
    OffenerName m_aFest[kFest];
    std::vector<OffenerName>* m_pMehr = nullptr;
};

// FindeEndTag on the view text (units d[0..n)) for the element name.
int SucheEndTag(const BrixSubString& text, const char16_t* d, int n, const Name& name, int nFrom, int& nError,
                int* pnEndTagPos)
{
    // Elements opened inside the one asked for and not yet closed, innermost last. The end tag
    // met next must close the innermost one; once the stack is empty, the one asked for.
    NamensStapel aOffen;

    int nWeiter = nFrom;
    for (;;) {
        const int p = NaechstesKleiner(d, n, nWeiter);
        if (p < 0) {
            nError = XML_UNERWARTETES_ENDE;
            return -1;
        }
        if (p + 1 >= n) {
            // A '<' as the last unit: a start tag whose name never ends.
            nError = XML_NAME_OFFEN;
            return p;
        }

        const char16_t ch = d[p + 1];
        if (ch == u'/') {
            // The end tag's name runs up to its '>', blanks included. The usual case, the name
            // looked for and its '>' right behind it, is checked where it stands; a name
            // without '>' cannot end before that '>'.
            const Name gesucht = aOffen.Leer() ? name : Name{d + aOffen.Oben().nStart, aOffen.Oben().nLaenge, true};
            int g;
            if (gesucht.bOhneGt && gesucht.n >= 0 && gesucht.n < n - (p + 2) && d[p + 2 + gesucht.n] == u'>' &&
                GleicheEinheiten(d + p + 2, gesucht.p, gesucht.n)) {
                g = p + 2 + gesucht.n;
            } else {
                g = FindeEinheit(d, n, p + 2, u'>');
                if (g < 0) {
                    nError = XML_KEIN_LT;
                    return p;
                }
                if (!IstName(d, p + 2, g - (p + 2), gesucht)) {
                    nError = XML_VERSCHACHTELUNG;
                    return p;
                }
            }
            if (pnEndTagPos != nullptr) {
                *pnEndTagPos = p;
            }
            if (aOffen.Leer()) {
                nError = XML_OK;
                return g + 1;
            }
            aOffen.Nimm();
            nWeiter = g + 1;
            continue;
        }
        if (ch == u'!') {
            if (IstKommentar(d, n, p)) {
                const int q = text.FindeString(u"-->", p);
                if (q < 0) {
                    nError = XML_KOMMENTAR_OFFEN;
                    return p;
                }
                nWeiter = q + 3;
            } else {
                const int q = FindeEinheit(d, n, p, u'>');
                if (q < 0) {
                    nError = XML_DEKLARATION_OFFEN;
                    return p;
                }
                nWeiter = q + 1;
            }
            continue;
        }
        if (ch == u'?') {
            const int q = text.FindeString(u"?>", p);
            if (q < 0) {
                nError = XML_PI_OFFEN;
                return p;
            }
            nWeiter = q + 2;
            continue;
        }

        // A nested start tag. Its end is the '>' matching its '<', past brackets and quoted
        // text in the tag.
        int t;
        int k;
        if (!tagabtaster::StartTagEnden(d, n, p, t, k)) {
            nError = XML_NAME_OFFEN;
            return p;
        }
        if (k >= 0 && d[k - 1] == u'/') {
            nWeiter = k + 1;
            continue;
        }
        // Open (also when its '>' was not matched): its end tag is looked for from just
        // behind the name's terminator, which may lie inside the tag's attributes.
        aOffen.Lege({p + 1, t - (p + 1)});
        nWeiter = t + 1;
    }
}

// Shared walk of FindeTagBlock (pName given) and FindeNaechstenTagBlock (pName null).
BrixSubString SucheTagBlock(const BrixSubString& text, const BrixSubString* pName, int& nPos, int& nNext,
                            int& nError, int* pnStartTagLen, int* pnEndTagOffset)
{
    nError = XML_OK;
    if (!text.HatDaten()) {
        nError = XML_KEINE_DATEN;
        nPos = -1;
        nNext = -1;
        return {};
    }
    const int nLaenge = text.Laenge();
    const char16_t* d = text.Daten();
    const Name name = pName != nullptr ? NameVon(*pName) : Name{nullptr, 0, true};

    // Ends the search at the '<' p with a code and the stretch of text the caller skips.
    auto abbrechen = [&](int nCode, int p, int nNeuNext, const BrixSubString& ergebnis) {
        nError = nCode;
        nPos = p;
        nNext = nNeuNext;
        return ergebnis;
    };
    // Unclosed comment, declaration or processing instruction: no block, a short step on.
    auto offen = [&](int nCode, int p) {
        // Written so that it cannot pass the int range near the longest text.
        const int nBis = p < nLaenge - 1 - kSprungNachFehler ? p + kSprungNachFehler : nLaenge - 1;
        return abbrechen(nCode, p, nBis, BrixSubString());
    };

    int nWeiter = nPos;
    for (;;) {
        const int p = NaechstesKleiner(d, nLaenge, nWeiter);
        if (p < 0 || p + 1 >= nLaenge) {
            // No further '<', or it is the last unit of the view.
            nError = XML_TAG_NICHT_GEFUNDEN;
            nPos = -1;
            nNext = -1;
            return {};
        }

        const char16_t ch = d[p + 1];
        if (ch == u'!') {
            if (IstKommentar(d, nLaenge, p)) {
                // Searched from the '<' itself, so "<!-->" is a whole comment.
                const int q = text.FindeString(u"-->", p);
                if (q < 0) {
                    return offen(XML_KOMMENTAR_OFFEN, p);
                }
                nWeiter = q + 3;
            } else {
                const int q = FindeEinheit(d, nLaenge, p, u'>');
                if (q < 0) {
                    return offen(XML_DEKLARATION_OFFEN, p);
                }
                nWeiter = q + 1;
            }
            continue;
        }
        if (ch == u'?') {
            const int q = text.FindeString(u"?>", p);
            if (q < 0) {
                return offen(XML_PI_OFFEN, p);
            }
            nWeiter = q + 2;
            continue;
        }
        if (ch == u'/') {
            // An end tag where a start tag was wanted: reported without its '>'. Without any
            // '>' behind it the rest of the view is reported, so the caller still moves on.
            const int g = FindeEinheit(d, nLaenge, p + 2, u'>');
            if (g < 0) {
                return abbrechen(XML_KEIN_LT, p, nLaenge, text.Mitte(p));
            }
            return abbrechen(XML_CLOSE_TAG, p, g, text.Mitte(p, g - p));
        }

        // A start tag.
        const int t = tagabtaster::NamensEnde(d, nLaenge, p + 1);
        if (t < 0) {
            return abbrechen(XML_NAME_OFFEN, p, nLaenge, text.Mitte(p));
        }
        const int g = FindeEinheit(d, nLaenge, p + 1, u'>');
        if (g < 0) {
            return abbrechen(XML_KEIN_GT, p, nLaenge, text.Mitte(p));
        }
        const bool bPasst = pName == nullptr || IstName(d, p + 1, t - (p + 1), name);

        if (d[g - 1] == u'/') {
            // Self-closing: the tag is the whole block.
            if (!bPasst) {
                nWeiter = g + 1;
                continue;
            }
            if (pnStartTagLen != nullptr) {
                *pnStartTagLen = -1;
            }
            if (pnEndTagOffset != nullptr) {
                *pnEndTagOffset = -1;
            }
            nPos = p;
            nNext = g + 1;
            return text.Mitte(p, g + 1 - p);
        }

        // The element's name has no '>': it ends at the first unit of the name-end set.
        int nEndTagPos = -1;
        const int r = SucheEndTag(text, d, nLaenge, Name{d + p + 1, t - (p + 1), true}, g + 1, nError,
                                  pnEndTagOffset != nullptr ? &nEndTagPos : nullptr);
        if (nError != XML_OK) {
            // A fault inside the element ends the search, whatever its name.
            const int nBis = std::max(r, g);
            return abbrechen(nError, p, nBis, text.Mitte(p, nBis - p));
        }
        if (r <= p) {
            return abbrechen(XML_INTERN, p, g, text.Mitte(p, g - p));
        }
        if (!bPasst) {
            // Another name: step over the whole element, nested ones included.
            nWeiter = r;
            continue;
        }
        if (pnStartTagLen != nullptr) {
            *pnStartTagLen = g - p + 1;
        }
        if (pnEndTagOffset != nullptr) {
            *pnEndTagOffset = nEndTagPos - p;
        }
        nPos = p;
        nNext = r;
        return text.Mitte(p, r - p);
    }
}

}  // namespace

BrixSubString BrixSubString::FindeTagBlock(const BrixSubString& name, int& nPos, int& nNext, int& nError,
                                           int* pnStartTagLen, int* pnEndTagOffset) const
{
    return SucheTagBlock(*this, &name, nPos, nNext, nError, pnStartTagLen, pnEndTagOffset);
}

BrixSubString BrixSubString::FindeNaechstenTagBlock(int& nPos, int& nNext, int& nError, int* pnStartTagLen,
                                                    int* pnEndTagOffset) const
{
    return SucheTagBlock(*this, nullptr, nPos, nNext, nError, pnStartTagLen, pnEndTagOffset);
}

int BrixSubString::FindeEndTag(const BrixSubString& name, int nFrom, int& nError, int* pnEndTagPos) const
{
    if (!HatDaten()) {
        nError = XML_KEINE_DATEN;
        return 0;
    }
    return SucheEndTag(*this, Daten(), Laenge(), NameVon(name), nFrom, nError, pnEndTagPos);
}
