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

inline bool LeerLoescher::Schritt(const BrixSubString& text, ElementLauf& lauf, TextZiel& out)
{
    // The walk never comes back before s: what the scanner learned there can go.
    m_abtaster.VergissVor(text, lauf.s);
    const TagBlockFund fund = m_abtaster.FindeTagBlock(text, nullptr, lauf.s);
    if (fund.nError == XML_MEHR) {
        // What comes before the element in question stays, whatever follows.
        out.Anhaengen(text.Mitte(lauf.c, fund.nPos - lauf.c));
        lauf.c = lauf.s = fund.nPos;
        lauf.w = fund.nNext;
        return false;
    }
    if (fund.nError != XML_OK) {
        // No further element, or a fault: the rest stays as it is.
        m_bRest = true;
        return false;
    }
    // Text, comments and the like before the element are kept. (The content is measured first:
    // a target may write over the text it reads.)
    const bool bLeer = IstLeer(fund);
    out.Anhaengen(text.Mitte(lauf.c, fund.nPos - lauf.c));
    if (!bLeer) out.Anhaengen(fund.block);
    lauf.c = lauf.s = fund.nNext;
    return true;
}

template class ElementFilter<LeerLoescher>;

void LoescheLeereTags(BrixSubString text, CString& out)
{
    out.Empty();
    StringZiel ziel(out);
    LoescheLeereTags(text, ziel);
}

void LoescheLeereTags(BrixSubString text, TextZiel& out) { LeerLoescher().Weiter(text, out); }
