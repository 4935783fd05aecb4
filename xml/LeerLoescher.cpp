// Deleting empty elements: one walk over the top-level elements; those whose content is empty
// (self-closing, or nothing between start and end tag) are left out, everything else is copied.
#include <string_view>

#include "xml/Abtaster.h"
#include "xml/Filter.h"
#include "xml/XmlFehler.h"

namespace {

// Whether the content of a block found is empty, as block.Inhalt() tells it (what lies between
// its first '>' and its last '<'), from what the search found: a block that ends in "/>" has
// none; else the start tag ends at the block's first '>' and the end tag begins at its last '<',
// unless that end tag holds another '<'.
bool IstLeer(const TagBlockFund& fund) noexcept
{
    const std::string_view block = fund.block.Sicht();
    if (block.ends_with("/>")) return true;
    if (fund.nEndTagOffset != fund.nStartTagLen) return false;
    return block.find('<', static_cast<std::size_t>(fund.nEndTagOffset) + 1) == std::string_view::npos;
}

}  // namespace

FilterStand LeerLoescher::Weiter(const BrixSubString& text, TextZiel& out)
{
    if (!text.HatDaten()) return {m_nKopiert, m_nSuche};
    const std::ptrdiff_t nBasis = text.AbsolutAnfang();
    if (!m_bBegonnen) {
        m_bBegonnen = true;
        m_nKopiert = m_nSuche = nBasis;
    }
    std::ptrdiff_t c = m_nKopiert - nBasis;  // start of the text not yet copied
    std::ptrdiff_t s = m_nSuche - nBasis;    // where the next search starts
    std::ptrdiff_t w = -1;                   // where a search that waits for more text reads on (its cost)
    while (!m_bRest) {
        // The walk never comes back before s: what the scanner learned there can go.
        m_abtaster.VergissVor(text, s);
        const TagBlockFund fund = m_abtaster.FindeTagBlock(text, nullptr, s);
        if (fund.nError == XML_MEHR) {
            // What comes before the element in question stays, whatever follows.
            out.Anhaengen(text.Mitte(c, fund.nPos - c));
            c = s = fund.nPos;
            w = fund.nNext;
            break;
        }
        if (fund.nError != XML_OK) {
            // No further element, or a fault: the rest stays as it is.
            m_bRest = true;
            break;
        }
        // Text, comments and the like before the element are kept. (The content is measured
        // first: a target may write over the text it reads.)
        const bool bLeer = IstLeer(fund);
        out.Anhaengen(text.Mitte(c, fund.nPos - c));
        if (!bLeer) out.Anhaengen(fund.block);
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

void LoescheLeereTags(BrixSubString text, CString& out)
{
    out.Empty();
    StringZiel ziel(out);
    LoescheLeereTags(text, ziel);
}

void LoescheLeereTags(BrixSubString text, TextZiel& out) { LeerLoescher().Weiter(text, out); }
