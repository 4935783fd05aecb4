// The tag-block scanner: finds element blocks and end tags in a view without building a tree.
// Every result is a view cut out of the searched view; nothing is copied. Nesting is followed
// with an explicit stack of open element names, so any depth is fine.
#include <algorithm>
#include <vector>

#include "brix/BrixSubString.h"
#include "xml/TagAbtaster.h"
#include "xml/XmlFehler.h"

namespace {

// A block finder stops at most this far behind an unclosed comment, declaration or
// processing instruction, so that a caller going on from nNext skips only a little text.
constexpr int kSprungNachFehler = 100;

// First '<' at or after nFrom, or -1; a start outside 0..length finds nothing.
int NaechstesKleiner(const BrixSubString& text, int nFrom)
{
    if (nFrom < 0 || nFrom > text.Laenge()) {
        return -1;
    }
    return text.FindeZeichen(u'<', nFrom);
}

// True when the '<' at p opens a comment "<!--" (p + 1 is known to be inside the view).
bool IstKommentar(const BrixSubString& text, int p)
{
    return p < text.Laenge() - 3 && text.ZeichenAn(p + 2) == u'-' && text.ZeichenAn(p + 3) == u'-';
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
        const int p = NaechstesKleiner(text, nWeiter);
        if (p < 0 || p + 1 >= nLaenge) {
            // No further '<', or it is the last unit of the view.
            nError = XML_TAG_NICHT_GEFUNDEN;
            nPos = -1;
            nNext = -1;
            return {};
        }

        const char16_t ch = text.ZeichenAn(p + 1);
        if (ch == u'!') {
            if (IstKommentar(text, p)) {
                // Searched from the '<' itself, so "<!-->" is a whole comment.
                const int q = text.FindeString(u"-->", p);
                if (q < 0) {
                    return offen(XML_KOMMENTAR_OFFEN, p);
                }
                nWeiter = q + 3;
            } else {
                const int q = text.FindeZeichen(u'>', p);
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
            const int g = text.FindeZeichen(u'>', p + 2);
            if (g < 0) {
                return abbrechen(XML_KEIN_LT, p, nLaenge, text.Mitte(p));
            }
            return abbrechen(XML_CLOSE_TAG, p, g, text.Mitte(p, g - p));
        }

        // A start tag.
        const int t = tagabtaster::NamensEnde(text, p + 1);
        if (t < 0) {
            return abbrechen(XML_NAME_OFFEN, p, nLaenge, text.Mitte(p));
        }
        const int g = text.FindeZeichen(u'>', p + 1);
        if (g < 0) {
            return abbrechen(XML_KEIN_GT, p, nLaenge, text.Mitte(p));
        }
        const BrixSubString tagName = text.Mitte(p + 1, t - (p + 1));

        if (text.ZeichenAn(g - 1) == u'/') {
            // Self-closing: the tag is the whole block.
            if (pName != nullptr && tagName.Vergleiche(*pName) != 0) {
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

        int nEndTagPos = -1;
        const int r = text.FindeEndTag(tagName, g + 1, nError, pnEndTagOffset != nullptr ? &nEndTagPos : nullptr);
        if (nError != XML_OK) {
            // A fault inside the element ends the search, whatever its name.
            const int nBis = std::max(r, g);
            return abbrechen(nError, p, nBis, text.Mitte(p, nBis - p));
        }
        if (r <= p) {
            return abbrechen(XML_INTERN, p, g, text.Mitte(p, g - p));
        }
        if (pName != nullptr && tagName.Vergleiche(*pName) != 0) {
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

// Name of an element opened inside the one FindeEndTag looks for, relative to the view.
struct OffenerName {
    int nStart;
    int nLaenge;
};

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
    const int nLaenge = Laenge();

    // Elements opened inside the one asked for and not yet closed, innermost last. The end tag
    // met next must close the innermost one; once the stack is empty, the one asked for.
    // The stack's storage is kept from call to call: a deep document would otherwise grow a
    // fresh one, page by page, for every element of the top level.
    thread_local std::vector<OffenerName> tStapel;
    std::vector<OffenerName>& aOffen = tStapel;
    aOffen.clear();
    auto gesucht = [&]() { return aOffen.empty() ? name : Mitte(aOffen.back().nStart, aOffen.back().nLaenge); };

    int nWeiter = nFrom;
    for (;;) {
        const int p = NaechstesKleiner(*this, nWeiter);
        if (p < 0) {
            nError = XML_UNERWARTETES_ENDE;
            return -1;
        }
        if (p + 1 >= nLaenge) {
            // A '<' as the last unit: a start tag whose name never ends.
            nError = XML_NAME_OFFEN;
            return p;
        }

        const char16_t ch = ZeichenAn(p + 1);
        if (ch == u'!') {
            if (IstKommentar(*this, p)) {
                const int q = FindeString(u"-->", p);
                if (q < 0) {
                    nError = XML_KOMMENTAR_OFFEN;
                    return p;
                }
                nWeiter = q + 3;
            } else {
                const int q = FindeZeichen(u'>', p);
                if (q < 0) {
                    nError = XML_DEKLARATION_OFFEN;
                    return p;
                }
                nWeiter = q + 1;
            }
            continue;
        }
        if (ch == u'?') {
            const int q = FindeString(u"?>", p);
            if (q < 0) {
                nError = XML_PI_OFFEN;
                return p;
            }
            nWeiter = q + 2;
            continue;
        }
        if (ch == u'/') {
            const int g = FindeZeichen(u'>', p + 2);
            if (g < 0) {
                nError = XML_KEIN_LT;
                return p;
            }
            // The end tag's name runs up to its '>', blanks included.
            if (Mitte(p + 2, g - (p + 2)).Vergleiche(gesucht()) != 0) {
                nError = XML_VERSCHACHTELUNG;
                return p;
            }
            if (pnEndTagPos != nullptr) {
                *pnEndTagPos = p;
            }
            if (aOffen.empty()) {
                nError = XML_OK;
                return g + 1;
            }
            aOffen.pop_back();
            nWeiter = g + 1;
            continue;
        }

        // A nested start tag.
        const int t = tagabtaster::NamensEnde(*this, p + 1);
        if (t < 0) {
            nError = XML_NAME_OFFEN;
            return p;
        }
        // Its end is the '>' matching its '<', past brackets and quoted text in the tag.
        const int k = tagabtaster::SchliessendeSpitzeKlammer(*this, p);
        if (k >= 0 && ZeichenAn(k - 1) == u'/') {
            nWeiter = k + 1;
            continue;
        }
        // Open (also when its '>' was not matched): its end tag is looked for from just
        // behind the name's terminator, which may lie inside the tag's attributes.
        aOffen.push_back({p + 1, t - (p + 1)});
        nWeiter = t + 1;
    }
}
