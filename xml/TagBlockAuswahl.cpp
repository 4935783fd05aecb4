// Tag-block selection: the listing of -s / -t with a name list, and -S, which steps over the
// top-level elements of one name.
#include <cstdint>

#include "brix/CBrixArray.h"
#include "xml/Abtaster.h"
#include "xml/BlockSucher.h"
#include "xml/ErsterTagBlock.h"
#include "xml/Filter.h"
#include "xml/XmlFehler.h"

namespace {

// Adds up the length of the listing.
class ListenMass {
public:
    void Stueck(const BrixSubString& teil) { m_nLaenge += teil.Laenge(); }
    void Zeilenende() { m_nLaenge += 2; }
    std::int64_t Laenge() const { return m_nLaenge; }

private:
    std::int64_t m_nLaenge = 0;
};

// Appends the listing to a text target; a string target throws std::bad_alloc when there is no
// memory for it.
class ListenAnhaenger {
public:
    explicit ListenAnhaenger(TextZiel& out) : m_out(out) {}
    void Stueck(const BrixSubString& teil) { m_out.Anhaengen(teil); }
    void Zeilenende() { m_out.Anhaengen("\r\n", 2); }

private:
    TextZiel& m_out;
};

// The inner elements of one outer element's content: again and again the earliest block of
// any inner name (the first name on equal starts), until a search fails. A fault met by any
// name's search ends the walk.
template <class Senke>
void LaufeInhalt(BrixAbtaster& abtaster, const BrixSubString& inhalt, ErsterTagBlock& erster, Senke& senke)
{
    erster.Neu();
    std::ptrdiff_t k = 0;
    for (;;) {
        std::ptrdiff_t nPos = k;
        std::ptrdiff_t nNext = -1;
        int nIndex = -1;
        int nError = XML_OK;
        const BrixSubString block = erster.Finde(abtaster, inhalt, nPos, nNext, nIndex, nError);
        if (nError != XML_OK) return;
        senke.Stueck(block);
        k = nNext;
    }
}

// The walk of the listing, shared by the measure and the writing so that both make
// exactly the same decisions: one line per top-level outer element, either the whole element
// or its start tag, its inner elements and its end tag.
template <class Senke>
void LaufeListe(const BrixSubString& text, const BrixSubString& names, Senke& senke)
{
    CBrixArray<BrixSubString> aNamen(0);
    names.Teile(',', aNamen, nullptr);
    if (aNamen.m_nCount == 0) {
        return;
    }
    const BrixSubString* pErster = aNamen.Element(0);
    const BrixSubString aussen = pErster != nullptr ? *pErster : BrixSubString();
    aNamen.Entferne(0, 1);
    // One scanner for the outer and the inner walks: they walk the same text.
    BrixAbtaster abtaster;
    ErsterTagBlock erster(aNamen);

    std::ptrdiff_t s = 0;
    for (;;) {
        // The walks never come back before s: what the scanner learned there can go.
        abtaster.VergissVor(text, s);
        std::ptrdiff_t nPos = s;
        std::ptrdiff_t nNext = -1;
        int nError = XML_OK;
        std::ptrdiff_t nStartTagLen = 0;
        std::ptrdiff_t nEndTagOffset = 0;
        const BrixSubString block =
            abtaster.FindeTagBlock(text, &aussen, nPos, nNext, nError, &nStartTagLen, &nEndTagOffset);
        if (nError != XML_OK) {
            break;
        }
        if (aNamen.m_nCount == 0 || nStartTagLen < 0 || nEndTagOffset < 0) {
            // No inner names, or a self-closing element, which has no content: the whole block.
            senke.Stueck(block);
        } else {
            senke.Stueck(block.Mitte(0, nStartTagLen));
            LaufeInhalt(abtaster, block.Mitte(nStartTagLen, nEndTagOffset - nStartTagLen), erster, senke);
            senke.Stueck(block.Mitte(nEndTagOffset));
        }
        senke.Zeilenende();
        s = nNext;
    }
}

}  // namespace

std::int64_t LaengeTagBlockListe(const BrixSubString& text, const BrixSubString& names)
{
    ListenMass mass;
    LaufeListe(text, names, mass);
    return mass.Laenge();
}

void ZeigeTagBlocks(const BrixSubString& text, const BrixSubString& names, CString& out)
{
    out.Empty();
    StringZiel ziel(out);
    ZeigeTagBlocks(text, names, ziel);
}

void ZeigeTagBlocks(const BrixSubString& text, const BrixSubString& names, TextZiel& out)
{
    // One walk that appends as it goes (a measuring walk first would make every search twice).
    ListenAnhaenger anhaenger(out);
    LaufeListe(text, names, anhaenger);
}

void UeberspringeTagBlocks(BrixSubString text, BrixSubString name, CString& out)
{
    out.Empty();
    StringZiel ziel(out);
    UeberspringeTagBlocks(text, name, ziel);
}

void UeberspringeTagBlocks(BrixSubString text, BrixSubString name, TextZiel& out)
{
    // The walk goes on behind every element it steps over and behind every fault, so s only
    // grows. Behind an element whose end is missing it goes on inside that element, among
    // elements whose ends its search has just looked for; the seeker remembers those searches,
    // so each element is searched about once and each byte passed a bounded number of times.
    BrixBlockSucher sucher;
    std::ptrdiff_t c = 0;  // start of the text not yet copied
    std::ptrdiff_t s = 0;  // where the next search starts
    for (;;) {
        sucher.VergissVor(text, s);
        std::ptrdiff_t nPos = s;
        std::ptrdiff_t nNext = -1;
        int nError = XML_OK;
        sucher.FindeTagBlock(text, &name, nPos, nNext, nError);
        if (nError != XML_OK && nPos > c) {
            // A fault: the text up to it is kept, the stretch the scanner skipped is not.
            out.Anhaengen(text.Mitte(c, nPos - c));
            c = nPos;
        }
        if (nNext < 0 || nNext <= s) {
            // No further element, or a position that would not move the walk on.
            break;
        }
        // An element of that name: it and the text before it are stepped over.
        c = nNext;
        s = nNext;
    }
    out.Anhaengen(text.Mitte(c));
}
