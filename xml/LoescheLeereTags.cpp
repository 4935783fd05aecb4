// Deleting empty elements: one walk over the top-level elements; those whose content is empty
// (self-closing, or nothing between start and end tag) are left out, everything else is copied.
#include "xml/Abtaster.h"
#include "xml/Filter.h"
#include "xml/XmlFehler.h"

void LoescheLeereTags(BrixSubString text, CString& out)
{
    out.Empty();
    StringZiel ziel(out);
    LoescheLeereTags(text, ziel);
}

void LoescheLeereTags(BrixSubString text, TextZiel& out)
{
    BrixAbtaster abtaster;
    std::ptrdiff_t c = 0;  // start of the text not yet copied
    std::ptrdiff_t s = 0;  // where the next search starts
    for (;;) {
        // The walk never comes back before s: what the scanner learned there can go.
        abtaster.VergissVor(text, s);
        std::ptrdiff_t nPos = s;
        std::ptrdiff_t nNext = -1;
        int nError = XML_OK;
        const BrixSubString block = abtaster.FindeTagBlock(text, nullptr, nPos, nNext, nError);
        if (nError != XML_OK) {
            // No further element, or a fault: the rest stays as it is.
            break;
        }
        // Text, comments and the like before the element are kept. (The content is measured
        // first: a target may write over the text it reads.)
        const bool bLeer = block.Inhalt().Laenge() == 0;
        out.Anhaengen(text.Mitte(c, nPos - c));
        if (!bLeer) {
            out.Anhaengen(block);
        }
        c = nNext;
        s = nNext;
    }
    out.Anhaengen(text.Mitte(c));
}
