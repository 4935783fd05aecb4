// -S: steps over the top-level elements of one name and keeps what follows the last of them.
#include "xml/BlockSucher.h"
#include "xml/Filter.h"
#include "xml/XmlFehler.h"

FilterStand BlockSpringer::Weiter(const BrixSubString& text, TextZiel& out)
{
    if (!text.HatDaten()) return {m_nKopiert, m_nSuche};
    const std::ptrdiff_t nBasis = text.AbsolutAnfang();
    if (!m_bBegonnen) {
        m_bBegonnen = true;
        m_nKopiert = m_nSuche = nBasis;
    }
    // The walk goes on behind every element it steps over and behind every fault, so s only
    // grows. Behind an element whose end is missing it goes on inside that element, among
    // elements whose ends its search has just looked for; the seeker remembers those searches,
    // so each element is searched about once and each byte passed a bounded number of times.
    std::ptrdiff_t c = m_nKopiert - nBasis;  // start of the text not yet copied
    std::ptrdiff_t s = m_nSuche - nBasis;    // where the next search starts
    std::ptrdiff_t w = -1;                   // where a search that waits for more text reads on (its cost)
    while (!m_bRest) {
        m_sucher.VergissVor(text, s);
        const TagBlockFund fund = m_sucher.FindeTagBlock(text, &m_name, s);
        if (fund.nError == XML_MEHR) {
            // What follows the last element is kept until it is known whether another comes.
            s = fund.nPos;
            w = fund.nNext;
            break;
        }
        if (fund.nError != XML_OK && fund.nPos > c) {
            // A fault: the text up to it is kept, the stretch the scanner skipped is not.
            out.Anhaengen(text.Mitte(c, fund.nPos - c));
            c = fund.nPos;
        }
        if (fund.nNext < 0 || fund.nNext <= s) {
            // No further element, or a position that would not move the walk on.
            m_bRest = true;
            break;
        }
        // An element of that name: it and the text before it are stepped over.
        c = s = fund.nNext;
    }
    if (m_bRest) {
        out.Anhaengen(text.Mitte(c));
        c = s = text.Laenge();
    }
    m_nKopiert = nBasis + c;
    m_nSuche = nBasis + s;
    return {m_nKopiert, w < 0 ? m_nSuche : nBasis + w};
}

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
