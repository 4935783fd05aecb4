// -S: steps over the top-level elements of one name and keeps what follows the last of them.
#include "xml/BlockSucher.h"
#include "xml/Filter.h"
#include "xml/XmlFehler.h"

// The walk goes on behind every element it steps over and behind every fault, so s only grows.
// Behind an element whose end is missing it goes on inside that element, among elements whose
// ends its search has just looked for; the seeker remembers those searches, so each element is
// searched about once and each byte passed a bounded number of times.
inline bool BlockSpringer::Schritt(const BrixSubString& text, ElementLauf& lauf, TextZiel& out)
{
    m_sucher.VergissVor(text, lauf.s);
    const TagBlockFund fund = m_sucher.FindeTagBlock(text, &m_name, lauf.s);
    if (fund.nError == XML_MEHR) {
        // What follows the last element is kept until it is known whether another comes.
        lauf.s = fund.nPos;
        lauf.w = fund.nNext;
        return false;
    }
    if (fund.nError != XML_OK && fund.nPos > lauf.c) {
        // A fault: the text up to it is kept, the stretch the scanner skipped is not.
        out.Anhaengen(text.Mitte(lauf.c, fund.nPos - lauf.c));
        lauf.c = fund.nPos;
    }
    if (fund.nNext < 0 || fund.nNext <= lauf.s) {
        // No further element, or a position that would not move the walk on.
        m_bRest = true;
        return false;
    }
    // An element of that name: it and the text before it are stepped over.
    lauf.c = lauf.s = fund.nNext;
    return true;
}

template class ElementFilter<BlockSpringer>;

void UeberspringeTagBlocks(BrixSubString text, BrixSubString name, CString& out)
{
    out.Empty();
    StringZiel ziel(out);
    UeberspringeTagBlocks(text, name, ziel);
}

void UeberspringeTagBlocks(BrixSubString text, BrixSubString name, TextZiel& out)
{
    BlockSpringer(name).Weiter(text, out);
}
