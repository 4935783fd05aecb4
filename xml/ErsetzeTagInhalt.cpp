// Replacing element content: the content of every element of one name, at any depth, becomes
// the replacement; everything else is copied. The descent into elements of other names keeps
// its levels on an explicit stack and appends straight to out, in the order in which a
// recursive descent would append each level's result as a whole.
#include <vector>

#include "xml/BlockSucher.h"
#include "xml/Filter.h"
#include "xml/XmlFehler.h"

namespace {

// One level of the descent: the view walked and the end tag that follows it.
struct Ebene {
    BrixSubString text;  // the document, or the content of an element of another name
    std::ptrdiff_t c;    // start of the text not yet copied
    std::ptrdiff_t s;    // where the next search starts
    BrixSubString ende;  // that element's end tag, appended when the level is done
};

}  // namespace

void ErsetzeTagInhalt(const BrixSubString& text, const BrixSubString& name, CString& out,
                      const BrixSubString& replacement)
{
    out.Empty();
    StringZiel ziel(out);
    ErsetzeTagInhalt(text, name, ziel, replacement);
}

void ErsetzeTagInhalt(const BrixSubString& text, const BrixSubString& name, TextZiel& out,
                      const BrixSubString& replacement)
{
    BrixBlockSucher sucher;
    std::vector<Ebene> aStapel;
    aStapel.push_back({text, 0, 0, BrixSubString()});

    while (!aStapel.empty()) {
        if (aStapel.size() == 1) {
            // Back at the top level: the searches made inside the elements behind are never
            // asked again, so the seeker holds at most one top-level element's worth.
            sucher.Vergiss();
            sucher.VergissVor(aStapel.back().text, aStapel.back().s);
        }
        Ebene& ebene = aStapel.back();
        std::ptrdiff_t nPos = ebene.s;
        std::ptrdiff_t nNext = -1;
        int nError = XML_OK;
        std::ptrdiff_t nStartTagLen = -1;
        std::ptrdiff_t nEndTagOffset = -1;
        const BrixSubString block =
            sucher.FindeTagBlock(ebene.text, nullptr, nPos, nNext, nError, &nStartTagLen, &nEndTagOffset);
        if (nError != XML_OK) {
            // No further element, or a fault: the rest of this level stays as it is.
            out.Anhaengen(ebene.text.Mitte(ebene.c));
            out.Anhaengen(ebene.ende);
            aStapel.pop_back();
            continue;
        }
        out.Anhaengen(ebene.text.Mitte(ebene.c, nPos - ebene.c));
        ebene.c = nNext;
        ebene.s = nNext;

        const bool bTreffer = block.TagName().Vergleiche(name) == 0;
        if (nStartTagLen < 0 || nEndTagOffset < 0) {
            // Self-closing: no content to replace, so a match gets the replacement behind it.
            out.Anhaengen(block);
            if (bTreffer) {
                out.Anhaengen(replacement);
            }
            continue;
        }
        out.Anhaengen(block.Mitte(0, nStartTagLen));
        const BrixSubString ende = block.Mitte(nEndTagOffset);
        if (bTreffer) {
            // The content is replaced whole, elements inside it included.
            out.Anhaengen(replacement);
            out.Anhaengen(ende);
        } else {
            aStapel.push_back({block.Mitte(nStartTagLen, nEndTagOffset - nStartTagLen), 0, 0, ende});
        }
    }
}
